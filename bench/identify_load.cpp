// Baseline for `morvane-pwmctl status` without the program: the least a Qt
// client that opens the controller itself must do. Starts QtCore, then
// through hidapi finds and opens the controller, identifies it (cmd_identify)
// and loads its block once (cmd_read_state), and exits. Exit status 0 when
// both replies came.

#include "protocol/commands.h"

#include <QCoreApplication>

#include <hidapi.h>

#include <cstring>

namespace {

bool exchange(hid_device *device, unsigned char command)
{
    unsigned char request[65] = {0, command};
    unsigned char reply[64];
    return hid_write(device, request, sizeof request) == int(sizeof request)
           && hid_read_timeout(device, reply, sizeof reply, 3000) == int(sizeof reply) && reply[0] == command;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    hid_init();
    hid_device_info *found = hid_enumerate(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID);
    hid_device *device = found ? hid_open_path(found->path) : nullptr;
    hid_free_enumeration(found);
    const bool answered = device && exchange(device, cmd_identify) && exchange(device, cmd_read_state);
    if (device)
        hid_close(device);
    hid_exit();
    return answered ? 0 : 1;
}
