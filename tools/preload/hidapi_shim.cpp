// Every function of hidapi 0.13's public header, answered by the simulated
// bus. Loaded with LD_PRELOAD in front of a program linked to the system
// hidapi, these definitions win, so no call reaches real hardware. The
// version script exports these names and nothing else.

#include "sim_bus.h"

namespace {

SimBus &bus()
{
    return SimBus::instance();
}

} // namespace

extern "C" {

int hid_init(void)
{
    bus();
    return 0;
}

int hid_exit(void)
{
    return 0;
}

hid_device_info *hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    return bus().enumerate(vendor_id, product_id);
}

void hid_free_enumeration(hid_device_info *devs)
{
    bus().free_enumeration(devs);
}

hid_device *hid_open(unsigned short vendor_id, unsigned short product_id, const wchar_t *serial_number)
{
    return bus().open(vendor_id, product_id, serial_number);
}

hid_device *hid_open_path(const char *path)
{
    return bus().open_path(path);
}

int hid_write(hid_device *dev, const unsigned char *data, size_t length)
{
    return bus().write(dev, data, length);
}

int hid_read_timeout(hid_device *dev, unsigned char *data, size_t length, int milliseconds)
{
    return bus().read(dev, data, length, milliseconds);
}

int hid_read(hid_device *dev, unsigned char *data, size_t length)
{
    return bus().read_default(dev, data, length);
}

int hid_set_nonblocking(hid_device *dev, int nonblock)
{
    return bus().set_nonblocking(dev, nonblock);
}

int hid_send_feature_report(hid_device *dev, const unsigned char *, size_t)
{
    return bus().unsupported(dev, "hid_send_feature_report");
}

int hid_get_feature_report(hid_device *dev, unsigned char *, size_t)
{
    return bus().unsupported(dev, "hid_get_feature_report");
}

int hid_get_input_report(hid_device *dev, unsigned char *, size_t)
{
    return bus().unsupported(dev, "hid_get_input_report");
}

void hid_close(hid_device *dev)
{
    bus().close(dev);
}

int hid_get_manufacturer_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    return bus().string(dev, SimBus::StringKind::manufacturer, string, maxlen);
}

int hid_get_product_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    return bus().string(dev, SimBus::StringKind::product, string, maxlen);
}

int hid_get_serial_number_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    return bus().string(dev, SimBus::StringKind::serial, string, maxlen);
}

hid_device_info *hid_get_device_info(hid_device *dev)
{
    return bus().device_info(dev);
}

int hid_get_indexed_string(hid_device *dev, int, wchar_t *, size_t)
{
    return bus().unsupported(dev, "hid_get_indexed_string");
}

const wchar_t *hid_error(hid_device *dev)
{
    return bus().error(dev);
}

const hid_api_version *hid_version(void)
{
    static const hid_api_version version = {HID_API_VERSION_MAJOR, HID_API_VERSION_MINOR,
                                            HID_API_VERSION_PATCH};
    return &version;
}

const char *hid_version_str(void)
{
    return HID_API_VERSION_STR;
}

} // extern "C"
