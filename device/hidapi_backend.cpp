#include "hidapi_backend.h"

#include <hidapi.h>
#include <libudev.h>

#include <cstdio>
#include <cerrno>

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

// hidapi's wide strings (UTF-32 on Linux) as UTF-8, whatever the locale;
// what is no character becomes U+FFFD. Null gives an empty string.
std::string utf8(const wchar_t *text)
{
    std::string out;
    for (; text && *text; ++text) {
        auto code = static_cast<unsigned long>(*text);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = 0xFFFD;
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }
    return out;
}

// The hidraw monitor on a udev context of its own: libudev contexts are not
// shared between threads, and the backend's serves the workers.
class UdevHidMonitor : public HidMonitor
{
public:
    UdevHidMonitor(udev *context, udev_monitor *monitor)
        : context_(context)
        , monitor_(monitor)
    {
    }
    ~UdevHidMonitor() override
    {
        udev_monitor_unref(monitor_);
        udev_unref(context_);
    }

    int fd() const override { return udev_monitor_get_fd(monitor_); }

    // The monitor's socket does not block: it answers nullptr once drained.
    std::vector<HidEvent> receive() override
    {
        std::vector<HidEvent> events;
        while (udev_device *device = udev_monitor_receive_device(monitor_)) {
            events.push_back(event_of(device));
            udev_device_unref(device);
        }
        return events;
    }

private:
    static HidEvent event_of(udev_device *device)
    {
        HidEvent event;
        const char *action = udev_device_get_action(device);
        const std::string name = action ? action : "";
        event.action = name == "add"      ? HidEvent::Action::add
            : name == "remove"            ? HidEvent::Action::remove
            : name == "change"            ? HidEvent::Action::change
                                          : HidEvent::Action::other;
        const char *node = udev_device_get_devnode(device);
        event.hid.path = node ? node : "";
        // HID_ID is "BUS:VENDOR:PRODUCT" in hex; HID_UNIQ the serial.
        if (udev_device *hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr)) {
            unsigned bus = 0, vendor = 0, product = 0;
            const char *ids = udev_device_get_property_value(hid, "HID_ID");
            if (ids && std::sscanf(ids, "%x:%x:%x", &bus, &vendor, &product) == 3) {
                event.hid.vendor_id = static_cast<unsigned short>(vendor);
                event.hid.product_id = static_cast<unsigned short>(product);
            }
            const char *serial = udev_device_get_property_value(hid, "HID_UNIQ");
            event.hid.serial = serial ? serial : "";
        }
        if (udev_device *usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device")) {
            const char *port = udev_device_get_sysname(usb);
            event.hid.port = port ? port : "";
        }
        return event;
    }

    udev *context_;
    udev_monitor *monitor_;
};

} // namespace

HidapiBackend::HidapiBackend()
    : udev_context_(udev_new())
{
    hid_init();
}

HidapiBackend::~HidapiBackend()
{
    hid_exit();
    if (udev_context_)
        udev_unref(udev_context_);
}

std::vector<HidInterface> HidapiBackend::enumerate()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<HidInterface> present;
    hid_device_info *list = hid_enumerate(0, 0);
    for (const hid_device_info *info = list; info; info = info->next) {
        const std::string path = info->path ? info->path : "";
        present.push_back({path, info->vendor_id, info->product_id, utf8(info->serial_number),
                           usb_port(path)});
    }
    hid_free_enumeration(list);
    return present;
}

HidHandle *HidapiBackend::open(const std::string &path, HidOpenFailure *failure)
{
    std::lock_guard<std::mutex> lock(mutex_);
    // hidapi 0.13 must only be given paths that came from hid_enumerate.
    errno = 0;
    hid_device *device = hid_open_path(path.c_str());
    if (!device) {
        // On hidraw hid_open_path returns right after its failed open(2) of
        // the node, keeping that call's errno (only freeing and formatting
        // come between); its text is reported through the global error,
        // not the handle.
        if (failure) {
            failure->error_number = errno;
            const wchar_t *reason = hid_error(nullptr);
            failure->reason = reason ? utf8(reason) : "unknown error";
        }
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
    std::lock_guard<std::mutex> lock(mutex_);
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
    std::lock_guard<std::mutex> lock(mutex_);
    auto *held = static_cast<HidapiHandle *>(handle);
    hid_close(held->device);
    delete held;
}

// The USB device above the hidraw node, named as the kernel names its port
// ("1-2.3"). Empty when udev is missing or the node is not on USB.
std::string HidapiBackend::usb_port(const std::string &path)
{
    if (!udev_context_)
        return {};
    const std::string node = path.substr(path.rfind('/') + 1);
    udev_device *hidraw = udev_device_new_from_subsystem_sysname(udev_context_, "hidraw", node.c_str());
    if (!hidraw)
        return {};
    // The parent belongs to the child: only the child is released.
    udev_device *usb = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device");
    const char *name = usb ? udev_device_get_sysname(usb) : nullptr;
    std::string port = name ? name : "";
    udev_device_unref(hidraw);
    return port;
}

std::unique_ptr<HidMonitor> HidapiBackend::monitor()
{
    udev *context = udev_new();
    if (!context)
        return nullptr;
    udev_queue *queue = udev_queue_new(context);
    const bool running = queue && udev_queue_get_udev_is_active(queue);
    if (queue)
        udev_queue_unref(queue);
    udev_monitor *monitor = running ? udev_monitor_new_from_netlink(context, "udev") : nullptr;
    if (monitor && udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) >= 0
        && udev_monitor_enable_receiving(monitor) >= 0)
        return std::make_unique<UdevHidMonitor>(context, monitor);
    if (monitor)
        udev_monitor_unref(monitor);
    udev_unref(context);
    return nullptr;
}
