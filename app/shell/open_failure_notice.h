#pragma once

#include "device/hid_device.h"

#include <QStringList>

#include <set>
#include <string>
#include <vector>

// Tells the user, once per device, that a controller is plugged in but cannot
// be opened, and how to fix it. The device check runs every 500 ms, so the
// notice remembers which paths it has already named: a path is named again
// only after it has left the failures (unplugged, or opened at last) and come
// back.
class OpenFailureNotice
{
public:
    // Takes the failures of the latest search (HidDevice::open_failures())
    // and returns the lines to print: one for each newly failing path.
    QStringList update(const std::vector<HidOpenFailure> &failures);

private:
    std::set<std::string> reported_;
};
