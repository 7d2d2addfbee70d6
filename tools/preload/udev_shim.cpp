// The few libudev functions HidapiBackend asks which USB port a hidraw node
// hangs off. For the simulated bus's nodes they answer from the bus with
// objects of their own; every other call goes on to the real libudev, so
// the rest of the process keeps its devices. Other libudev functions are
// left real and never see these objects: only HidapiBackend gets them, and
// it calls nothing else on them.

#include "sim_bus.h"

#include <libudev.h>

#include <dlfcn.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace {

// A simulated hidraw node, or the USB device it hangs off (owned by the node,
// as libudev's parents belong to their child).
struct SimUdevDevice
{
    std::string sysname;
    std::unique_ptr<SimUdevDevice> usb_parent;
};

std::mutex handed_out_mutex;
std::set<const void *> handed_out; // live SimUdevDevice objects, parents too

const SimUdevDevice *simulated(const void *device)
{
    std::lock_guard<std::mutex> lock(handed_out_mutex);
    return handed_out.count(device) ? static_cast<const SimUdevDevice *>(device) : nullptr;
}

// The next definition of `name` after this library: the real libudev when
// the process has it, else nullptr.
template <typename Function>
Function real(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

udev_device *udev_device_new_from_subsystem_sysname(udev *context, const char *subsystem,
                                                    const char *sysname)
{
    if (subsystem && std::string(subsystem) == "hidraw") {
        std::string port;
        switch (SimBus::instance().usb_port(sysname, &port)) {
        case SimBus::Node::absent:
            return nullptr;
        case SimBus::Node::present: {
            auto *node = new SimUdevDevice{sysname, nullptr};
            if (!port.empty())
                node->usb_parent.reset(new SimUdevDevice{port, nullptr});
            std::lock_guard<std::mutex> lock(handed_out_mutex);
            handed_out.insert(node);
            if (node->usb_parent)
                handed_out.insert(node->usb_parent.get());
            return reinterpret_cast<udev_device *>(node);
        }
        case SimBus::Node::foreign:
            break;
        }
    }
    static const auto next = real<decltype(&udev_device_new_from_subsystem_sysname)>(
        "udev_device_new_from_subsystem_sysname");
    return next ? next(context, subsystem, sysname) : nullptr;
}

udev_device *udev_device_get_parent_with_subsystem_devtype(udev_device *device,
                                                           const char *subsystem,
                                                           const char *devtype)
{
    if (const SimUdevDevice *node = simulated(device)) {
        const bool usb_device = subsystem && devtype && std::string(subsystem) == "usb"
            && std::string(devtype) == "usb_device";
        return usb_device ? reinterpret_cast<udev_device *>(node->usb_parent.get()) : nullptr;
    }
    static const auto next = real<decltype(&udev_device_get_parent_with_subsystem_devtype)>(
        "udev_device_get_parent_with_subsystem_devtype");
    return next ? next(device, subsystem, devtype) : nullptr;
}

const char *udev_device_get_sysname(udev_device *device)
{
    if (const SimUdevDevice *node = simulated(device))
        return node->sysname.c_str();
    static const auto next = real<decltype(&udev_device_get_sysname)>("udev_device_get_sysname");
    return next ? next(device) : nullptr;
}

// A parent is released with its node, never by itself.
udev_device *udev_device_unref(udev_device *device)
{
    if (const SimUdevDevice *node = simulated(device)) {
        std::lock_guard<std::mutex> lock(handed_out_mutex);
        if (node->sysname.rfind("hidraw", 0) == 0) {
            handed_out.erase(node->usb_parent.get());
            handed_out.erase(node);
            delete node;
        }
        return nullptr;
    }
    static const auto next = real<decltype(&udev_device_unref)>("udev_device_unref");
    return next ? next(device) : nullptr;
}

} // extern "C"
