// The few libudev functions HidapiBackend calls: which USB port a hidraw
// node hangs off, whether udev runs, and the hidraw monitor. For the
// simulated bus's nodes they answer from the bus with objects of their own;
// every other call goes on to the real libudev, so the rest of the process
// keeps its devices. Other libudev functions are left real and never see
// these objects: only HidapiBackend gets them, and it calls nothing else on
// them.
//
// udev runs exactly while the control file `udev` holds 1; then every
// monitor is the simulated bus's. Its descriptor is an epoll set of an
// inotify watch on the control directories (a plug file written while the
// program sleeps) and an eventfd the bus writes to when it queues an event
// on its own (a fault that unplugs): readable only when something happened.

#include "sim_bus.h"

#include <libudev.h>

#include <dlfcn.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
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
    std::unique_ptr<SimUdevDevice> hid_parent;
    std::string devnode;
    std::string action; // empty: not from a monitor
    std::map<std::string, std::string> properties;
};

struct SimUdevQueue
{
};

struct SimUdevMonitor
{
    int epoll_fd = -1;
    int inotify_fd = -1;
    int wake_fd = -1;
    int subscriber = 0;
    std::set<std::string> subsystems; // empty: every one
    std::deque<SimUdevEvent> ready;
};

std::mutex handed_out_mutex;
std::set<const void *> handed_out; // live simulated objects, parents too

template <typename Object>
Object *simulated_as(const void *object)
{
    std::lock_guard<std::mutex> lock(handed_out_mutex);
    return handed_out.count(object) ? static_cast<Object *>(const_cast<void *>(object)) : nullptr;
}

template <typename Object>
Object *hand_out(Object *object)
{
    std::lock_guard<std::mutex> lock(handed_out_mutex);
    handed_out.insert(object);
    return object;
}

const SimUdevDevice *simulated(const void *device)
{
    return simulated_as<SimUdevDevice>(device);
}

// A hidraw node as udev reports it, with its hid and USB parents.
SimUdevDevice *node_device(const std::string &sysname, const std::string &port, const SimUdevEvent *event)
{
    auto *node = new SimUdevDevice{sysname, nullptr, nullptr, "/dev/" + sysname, {}, {}};
    if (!port.empty())
        node->usb_parent.reset(new SimUdevDevice{port, nullptr, nullptr, {}, {}, {}});
    if (event) {
        node->action = event->action;
        if (event->parents) {
            // As the kernel names a USB HID device and udev its ids.
            char name[32];
            char ids[32];
            std::snprintf(name, sizeof name, "0003:%04X:%04X.0001", event->vendor_id, event->product_id);
            std::snprintf(ids, sizeof ids, "0003:%08X:%08X", event->vendor_id, event->product_id);
            node->hid_parent.reset(new SimUdevDevice{name, nullptr, nullptr, {}, {}, {}});
            node->hid_parent->properties = {{"HID_ID", ids}, {"HID_UNIQ", event->serial}};
        }
    }
    std::lock_guard<std::mutex> lock(handed_out_mutex);
    handed_out.insert(node);
    if (node->usb_parent)
        handed_out.insert(node->usb_parent.get());
    if (node->hid_parent)
        handed_out.insert(node->hid_parent.get());
    return node;
}

void close_monitor(SimUdevMonitor *monitor)
{
    for (const int fd : {monitor->epoll_fd, monitor->inotify_fd, monitor->wake_fd})
        if (fd >= 0)
            ::close(fd);
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
        case SimBus::Node::present:
            return reinterpret_cast<udev_device *>(node_device(sysname, port, nullptr));
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
        const std::string wanted = subsystem ? subsystem : "";
        if (wanted == "usb" && devtype && std::string(devtype) == "usb_device")
            return reinterpret_cast<udev_device *>(node->usb_parent.get());
        if (wanted == "hid" && !devtype)
            return reinterpret_cast<udev_device *>(node->hid_parent.get());
        return nullptr;
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
            handed_out.erase(node->hid_parent.get());
            handed_out.erase(node);
            delete node;
        }
        return nullptr;
    }
    static const auto next = real<decltype(&udev_device_unref)>("udev_device_unref");
    return next ? next(device) : nullptr;
}

const char *udev_device_get_devnode(udev_device *device)
{
    if (const SimUdevDevice *node = simulated(device))
        return node->devnode.empty() ? nullptr : node->devnode.c_str();
    static const auto next = real<decltype(&udev_device_get_devnode)>("udev_device_get_devnode");
    return next ? next(device) : nullptr;
}

const char *udev_device_get_action(udev_device *device)
{
    if (const SimUdevDevice *node = simulated(device))
        return node->action.empty() ? nullptr : node->action.c_str();
    static const auto next = real<decltype(&udev_device_get_action)>("udev_device_get_action");
    return next ? next(device) : nullptr;
}

const char *udev_device_get_property_value(udev_device *device, const char *key)
{
    if (const SimUdevDevice *node = simulated(device)) {
        const auto found = key ? node->properties.find(key) : node->properties.end();
        return found == node->properties.end() ? nullptr : found->second.c_str();
    }
    static const auto next = real<decltype(&udev_device_get_property_value)>("udev_device_get_property_value");
    return next ? next(device, key) : nullptr;
}

// Whether udev runs is the simulator's word alone, never the host's.
udev_queue *udev_queue_new(udev *)
{
    return reinterpret_cast<udev_queue *>(hand_out(new SimUdevQueue));
}

int udev_queue_get_udev_is_active(udev_queue *queue)
{
    if (simulated_as<SimUdevQueue>(queue))
        return SimBus::instance().udev_running() ? 1 : 0;
    static const auto next = real<decltype(&udev_queue_get_udev_is_active)>("udev_queue_get_udev_is_active");
    return next ? next(queue) : 0;
}

udev_queue *udev_queue_unref(udev_queue *queue)
{
    if (auto *simulated_queue = simulated_as<SimUdevQueue>(queue)) {
        {
            std::lock_guard<std::mutex> lock(handed_out_mutex);
            handed_out.erase(simulated_queue);
        }
        delete simulated_queue;
        return nullptr;
    }
    static const auto next = real<decltype(&udev_queue_unref)>("udev_queue_unref");
    return next ? next(queue) : nullptr;
}

udev_monitor *udev_monitor_new_from_netlink(udev *context, const char *name)
{
    SimBus &bus = SimBus::instance();
    if (!bus.udev_running()) {
        static const auto next = real<decltype(&udev_monitor_new_from_netlink)>("udev_monitor_new_from_netlink");
        return next ? next(context, name) : nullptr;
    }
    auto *monitor = new SimUdevMonitor;
    monitor->epoll_fd = ::epoll_create1(EPOLL_CLOEXEC);
    monitor->inotify_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    monitor->wake_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (monitor->epoll_fd < 0 || monitor->inotify_fd < 0 || monitor->wake_fd < 0) {
        close_monitor(monitor);
        delete monitor;
        return nullptr;
    }
    // Control files are written whole or renamed into place; the logs stay
    // open and never wake the monitor.
    for (const std::string &dir : bus.control_dirs())
        ::inotify_add_watch(monitor->inotify_fd, dir.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE);
    for (const int fd : {monitor->inotify_fd, monitor->wake_fd}) {
        epoll_event watched{};
        watched.events = EPOLLIN;
        watched.data.fd = fd;
        ::epoll_ctl(monitor->epoll_fd, EPOLL_CTL_ADD, fd, &watched);
    }
    monitor->subscriber = bus.subscribe(monitor->wake_fd);
    return reinterpret_cast<udev_monitor *>(hand_out(monitor));
}

int udev_monitor_filter_add_match_subsystem_devtype(udev_monitor *monitor, const char *subsystem,
                                                    const char *devtype)
{
    if (auto *simulated_monitor = simulated_as<SimUdevMonitor>(monitor)) {
        if (subsystem)
            simulated_monitor->subsystems.insert(subsystem);
        return 0;
    }
    static const auto next = real<decltype(&udev_monitor_filter_add_match_subsystem_devtype)>(
        "udev_monitor_filter_add_match_subsystem_devtype");
    return next ? next(monitor, subsystem, devtype) : -1;
}

int udev_monitor_enable_receiving(udev_monitor *monitor)
{
    if (simulated_as<SimUdevMonitor>(monitor))
        return 0;
    static const auto next = real<decltype(&udev_monitor_enable_receiving)>("udev_monitor_enable_receiving");
    return next ? next(monitor) : -1;
}

int udev_monitor_get_fd(udev_monitor *monitor)
{
    if (const auto *simulated_monitor = simulated_as<SimUdevMonitor>(monitor))
        return simulated_monitor->epoll_fd;
    static const auto next = real<decltype(&udev_monitor_get_fd)>("udev_monitor_get_fd");
    return next ? next(monitor) : -1;
}

// Never blocks, as libudev's own: nullptr once nothing waits. While events
// remain the descriptor stays readable, for callers that take one per wake.
udev_device *udev_monitor_receive_device(udev_monitor *monitor)
{
    auto *simulated_monitor = simulated_as<SimUdevMonitor>(monitor);
    if (!simulated_monitor) {
        static const auto next = real<decltype(&udev_monitor_receive_device)>("udev_monitor_receive_device");
        return next ? next(monitor) : nullptr;
    }
    SimUdevMonitor &sim = *simulated_monitor;
    char drained[4096];
    while (::read(sim.inotify_fd, drained, sizeof drained) > 0) {
    }
    std::uint64_t count;
    while (::read(sim.wake_fd, &count, sizeof count) > 0) {
    }
    if (sim.ready.empty())
        sim.ready = SimBus::instance().take_udev_events(sim.subscriber);
    if (!sim.subsystems.empty() && !sim.subsystems.count("hidraw"))
        sim.ready.clear();
    if (sim.ready.empty())
        return nullptr;
    const SimUdevEvent event = sim.ready.front();
    sim.ready.pop_front();
    if (!sim.ready.empty()) {
        const std::uint64_t one = 1;
        (void)!::write(sim.wake_fd, &one, sizeof one);
    }
    return reinterpret_cast<udev_device *>(node_device(event.sysname, event.port, &event));
}

udev_monitor *udev_monitor_unref(udev_monitor *monitor)
{
    if (auto *simulated_monitor = simulated_as<SimUdevMonitor>(monitor)) {
        {
            std::lock_guard<std::mutex> lock(handed_out_mutex);
            handed_out.erase(simulated_monitor);
        }
        SimBus::instance().unsubscribe(simulated_monitor->subscriber);
        close_monitor(simulated_monitor);
        delete simulated_monitor;
        return nullptr;
    }
    static const auto next = real<decltype(&udev_monitor_unref)>("udev_monitor_unref");
    return next ? next(monitor) : nullptr;
}

} // extern "C"
