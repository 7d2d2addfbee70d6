#include "hidapi_backend.h"

#include <hidapi.h>

#include <cwchar>

namespace {

struct HidapiHandle : HidHandle
{
    hid_device *device = nullptr;
    std::string path;
    unsigned short vendor_id = 0;
    unsigned short product_id = 0;
    // hidapi reported an I/O error here since the last liveness test.
    bool failed = false;
};

std::string narrow(const wchar_t *text)
{
    if (!text)
        return "unknown error";
    std::string out;
    std::mbstate_t state{};
    char buffer[8];
    for (; *text; ++text) {
        const size_t n = std::wcrtomb(buffer, *text, &state);
        out.append(buffer, n == size_t(-1) ? 0 : n);
    }
    return out;
}

} // namespace

HidapiBackend::HidapiBackend()
{
    hid_init();
}

HidapiBackend::~HidapiBackend()
{
    hid_exit();
}

std::vector<HidInterface> HidapiBackend::enumerate()
{
    std::vector<HidInterface> present;
    hid_device_info *list = hid_enumerate(0, 0);
    for (const hid_device_info *info = list; info; info = info->next)
        present.push_back({info->path ? info->path : "", info->vendor_id, info->product_id});
    hid_free_enumeration(list);
    return present;
}

HidHandle *HidapiBackend::open(const std::string &path, std::string *error)
{
    // hidapi 0.13 must only be given paths that came from hid_enumerate.
    hid_device *device = hid_open_path(path.c_str());
    if (!device) {
        // Open failures are reported through the global error, not the handle.
        if (error)
            *error = narrow(hid_error(nullptr));
        return nullptr;
    }
    auto *handle = new HidapiHandle;
    handle->device = device;
    handle->path = path;
    if (const hid_device_info *info = hid_get_device_info(device)) {
        handle->vendor_id = info->vendor_id;
        handle->product_id = info->product_id;
    }
    return handle;
}

int HidapiBackend::write(HidHandle *handle, const unsigned char *data, size_t length)
{
    auto *held = static_cast<HidapiHandle *>(handle);
    const int written = hid_write(held->device, data, length);
    held->failed = held->failed || written < 0;
    return written;
}

int HidapiBackend::read(HidHandle *handle, unsigned char *data, size_t length, int timeout_ms)
{
    auto *held = static_cast<HidapiHandle *>(handle);
    const int received = hid_read_timeout(held->device, data, length, timeout_ms);
    held->failed = held->failed || received < 0;
    return received;
}

// Liveness: list the interfaces with the held device's ids and look for its
// path. hid_enumerate walks udev/sysfs without opening anything, so it does
// not disturb the device; hidapi's cached device info and strings never touch
// the device at all.
//
// The listing alone misses an unplug and replug within one device check: the
// path is listed again, but this handle belongs to the device that went and
// stays dead. So after an I/O error the handle itself is asked, by a read
// with no time-out: on a handle whose device has gone hidraw reports a poll
// error, every time; on a device still there (a transient error: a stalled
// transfer, an interrupted call) it returns a report or nothing. Only then
// is the handle dropped, and the connection with its unapplied edits.
// The read may take a queued report: after an error, a stale one.
bool HidapiBackend::alive(HidHandle *handle)
{
    auto *held = static_cast<HidapiHandle *>(handle);
    if (held->failed) {
        unsigned char report[64];
        if (hid_read_timeout(held->device, report, sizeof report, 0) < 0)
            return false;
        held->failed = false;
    }
    bool present = false;
    hid_device_info *list = hid_enumerate(held->vendor_id, held->product_id);
    for (const hid_device_info *info = list; info && !present; info = info->next)
        present = info->path && held->path == info->path;
    hid_free_enumeration(list);
    return present;
}

void HidapiBackend::close(HidHandle *handle)
{
    auto *held = static_cast<HidapiHandle *>(handle);
    hid_close(held->device);
    delete held;
}
