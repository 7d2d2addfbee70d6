#include "sim_backend.h"

#include "protocol/commands.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int DEFAULT_SHORT_REPLY = 32;

const SimFault *hit(const std::vector<SimFault> &faults, SimFaultKind kind)
{
    for (const SimFault &fault : faults) {
        if (fault.kind == kind)
            return &fault;
    }
    return nullptr;
}

int value_or(const SimFault &fault, int fallback)
{
    return fault.value >= 0 ? fault.value : fallback;
}

} // namespace

int SimWireRecord::command() const
{
    const size_t at = direction == SimDirection::out ? 1 : 0;
    return bytes.size() > at ? bytes[at] : -1;
}

std::vector<unsigned char> SimWireRecord::payload() const
{
    const size_t at = direction == SimDirection::out ? 2 : 1;
    if (bytes.size() <= at)
        return {};
    return {bytes.begin() + at, bytes.end()};
}

SimBackend::~SimBackend() = default;

int SimBackend::add_controller(const SimState &state, const std::string &serial,
                               const std::string &port)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const int device = add_interface(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, state);
    nodes_[device].id.serial = serial;
    nodes_[device].id.port = port;
    return device;
}

int SimBackend::add_interface(unsigned short vendor, unsigned short product,
                              const SimState &state)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const int device = int(nodes_.size());
    Node node;
    node.id = {"/dev/hidraw" + std::to_string(device), vendor, product, {}, {}};
    node.firmware = SimFirmware(state);
    nodes_.push_back(std::move(node));
    return device;
}

void SimBackend::add_decoys(int count)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (int i = 0; i < count; ++i) {
        const auto other_vendor = static_cast<unsigned short>(0x2000 + i);
        const auto other_product = static_cast<unsigned short>(CONTROLLER_PRODUCT_ID + 1 + i);
        switch (i % 3) {
        case 0:
            add_interface(CONTROLLER_VENDOR_ID, other_product);
            break;
        case 1:
            add_interface(other_vendor, CONTROLLER_PRODUCT_ID);
            break;
        default:
            add_interface(other_vendor, other_product);
            break;
        }
    }
}

int SimBackend::interface_count() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return int(nodes_.size());
}

const std::string &SimBackend::path(int device) const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return nodes_.at(device).id.path;
}

SimFirmware &SimBackend::firmware(int device)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return nodes_.at(device).firmware;
}

void SimBackend::unplug(int device)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Node &node = nodes_.at(device);
    node.plugged = false;
    ++node.generation;
    send_event(device, HidEvent::Action::remove);
}

void SimBackend::replug(int device)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    nodes_.at(device).plugged = true;
    send_event(device, HidEvent::Action::add);
}

void SimBackend::replug(int device, const std::string &port)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    nodes_.at(device).id.port = port;
    replug(device);
}

void SimBackend::deny_open(int device, int error_number, int times)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    nodes_.at(device).open_error = times == 0 ? 0 : error_number;
    nodes_.at(device).open_denials = times;
}

void SimBackend::add_fault(int device, const SimFault &fault)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    nodes_.at(device).faults.push_back(fault);
}

void SimBackend::send_report(int device, const SimReply &report, size_t length)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    deliver(device, Report(report.begin(), report.begin() + std::min(length, report.size())),
            false);
}

// A pipe carries one byte per event, so the monitor's descriptor is
// readable exactly while events wait.
struct SimBackend::EventQueue
{
    EventQueue() { pipe_ok = ::pipe2(pipe, O_NONBLOCK | O_CLOEXEC) == 0; }
    ~EventQueue()
    {
        if (pipe_ok) {
            ::close(pipe[0]);
            ::close(pipe[1]);
        }
    }
    void push(const HidEvent &event)
    {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(event);
        const char byte = 0;
        if (pipe_ok)
            (void)!::write(pipe[1], &byte, 1);
    }

    int pipe[2] = {-1, -1};
    bool pipe_ok = false;
    std::mutex mutex;
    std::vector<HidEvent> events;
};

namespace {

class SimMonitor : public HidMonitor
{
public:
    explicit SimMonitor(std::shared_ptr<SimBackend::EventQueue> queue)
        : queue_(std::move(queue))
    {
    }
    int fd() const override { return queue_->pipe[0]; }
    std::vector<HidEvent> receive() override
    {
        std::lock_guard<std::mutex> lock(queue_->mutex);
        char drained[64];
        while (::read(queue_->pipe[0], drained, sizeof drained) > 0) {
        }
        std::vector<HidEvent> taken;
        taken.swap(queue_->events);
        return taken;
    }

private:
    std::shared_ptr<SimBackend::EventQueue> queue_;
};

} // namespace

void SimBackend::run_udev()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    udev_ = true;
}

void SimBackend::send_event(int device, HidEvent::Action action)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    HidEvent event{action, nodes_.at(device).id};
    if (action == HidEvent::Action::remove)
        event.hid = {event.hid.path, 0, 0, {}, {}};
    monitors_.erase(std::remove_if(monitors_.begin(), monitors_.end(),
                                   [](const std::weak_ptr<EventQueue> &queue) { return queue.expired(); }),
                    monitors_.end());
    for (const std::weak_ptr<EventQueue> &each : monitors_)
        if (const std::shared_ptr<EventQueue> queue = each.lock())
            queue->push(event);
}

std::unique_ptr<HidMonitor> SimBackend::monitor()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!udev_)
        return nullptr;
    auto queue = std::make_shared<EventQueue>();
    monitors_.push_back(queue);
    return std::make_unique<SimMonitor>(std::move(queue));
}

int SimBackend::open_attempts(int device) const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return int(std::count_if(opens_.begin(), opens_.end(),
                             [device](const SimOpenRecord &r) { return r.device == device; }));
}

std::vector<int> SimBackend::open_devices() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<int> devices;
    for (const auto &handle : handles_)
        devices.push_back(handle->device);
    return devices;
}

void SimBackend::advance_clock(long long ms)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    clock_ms_ += std::max(ms, 0LL);
}

long long SimBackend::now_ms() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return clock_ms_;
}

const std::vector<SimWireRecord> &SimBackend::wire() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return wire_;
}

const std::vector<SimReadCall> &SimBackend::reads() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return reads_;
}

const std::vector<SimOpenRecord> &SimBackend::opens() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return opens_;
}

const std::vector<int> &SimBackend::closes() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return closes_;
}

int SimBackend::misuses() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return misuses_;
}

int SimBackend::dropped_reports() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return dropped_reports_;
}

void SimBackend::clear_logs()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    wire_.clear();
    reads_.clear();
    opens_.clear();
    closes_.clear();
    misuses_ = 0;
    dropped_reports_ = 0;
}

std::vector<HidInterface> SimBackend::enumerate()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<HidInterface> present;
    for (const Node &node : nodes_) {
        if (node.plugged)
            present.push_back(node.id);
    }
    return present;
}

HidHandle *SimBackend::open(const std::string &path, HidOpenFailure *failure)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto node = std::find_if(nodes_.begin(), nodes_.end(), [&path](const Node &n) {
        return n.plugged && n.id.path == path;
    });
    const int device = node == nodes_.end() ? -1 : int(node - nodes_.begin());
    const int error_number = device < 0 ? ENOENT : node->open_error;
    if (error_number != 0) {
        opens_.push_back({device, 0});
        if (device >= 0 && node->open_denials > 0 && --node->open_denials == 0)
            node->open_error = 0;
        if (failure) {
            failure->error_number = error_number;
            failure->reason = "Failed to open a device with path '" + path + "': " + std::strerror(error_number);
        }
        return nullptr;
    }

    auto handle = std::make_unique<Handle>();
    handle->serial = next_serial_++;
    handle->device = device;
    handle->generation = node->generation;
    opens_.push_back({device, handle->serial});
    handles_.push_back(std::move(handle));
    return handles_.back().get();
}

int SimBackend::write(HidHandle *handle, const unsigned char *data, size_t length)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Handle *held = find(handle);
    if (!held || !live(*held) || length == 0)
        return -1;
    const int device = held->device;
    const int command = length > 1 ? data[1] : 0;
    const std::vector<SimFault> faults = take_faults(device, command);
    if (hit(faults, SimFaultKind::write_fails))
        return -1;

    wire_.push_back({device, SimDirection::out, clock_ms_, Report(data, data + length)});
    if (hit(faults, SimFaultKind::silent))
        return int(length);

    const SimReply reply = nodes_[device].firmware.handle(data, length, clock_ms_);
    if (hit(faults, SimFaultKind::unplug_mid_exchange)) {
        unplug(device);
        return int(length);
    }

    if (const SimFault *fault = hit(faults, SimFaultKind::unsolicited)) {
        SimReply unsolicited{};
        unsolicited[0] = SIM_UNSOLICITED_CODE;
        for (int i = value_or(*fault, 1); i > 0; --i)
            send_report(device, unsolicited);
    }

    Report out(reply.begin(), reply.end());
    if (const SimFault *fault = hit(faults, SimFaultKind::wrong_echo))
        out[0] = static_cast<unsigned char>(value_or(*fault, command + 1));
    if (const SimFault *fault = hit(faults, SimFaultKind::short_reply))
        out.resize(std::min<size_t>(value_or(*fault, DEFAULT_SHORT_REPLY), out.size()));
    deliver(device, out, hit(faults, SimFaultKind::late_reply) != nullptr);
    return int(length);
}

int SimBackend::read(HidHandle *handle, unsigned char *data, size_t length, int timeout_ms)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Handle *held = find(handle);
    if (!held)
        return -1;

    int result = 0;
    if (!live(*held)) {
        result = -1;
    } else if (!held->queue.empty()) {
        Report report = std::move(held->queue.front());
        held->queue.pop_front();
        report.resize(std::min(report.size(), length));
        std::copy(report.begin(), report.end(), data);
        result = int(report.size());
        wire_.push_back({held->device, SimDirection::in, clock_ms_, std::move(report)});
    } else {
        // Nothing came within the time-out: let the virtual time pass, and
        // let replies held back for later arrive now, after the host gave up.
        // A negative (blocking) time-out would wait forever on a real device.
        clock_ms_ += std::max(timeout_ms, 0);
        for (Report &late : held->late)
            held->queue.push_back(std::move(late));
        held->late.clear();
    }
    reads_.push_back({held->device, timeout_ms, result, clock_ms_});
    return result;
}

bool SimBackend::alive(HidHandle *handle)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const Handle *held = find(handle);
    return held && live(*held);
}

void SimBackend::close(HidHandle *handle)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const Handle *held = find(handle);
    if (!held)
        return;
    closes_.push_back(held->serial);
    handles_.erase(std::find_if(handles_.begin(), handles_.end(),
                                [held](const auto &h) { return h.get() == held; }));
}

SimBackend::Handle *SimBackend::find(HidHandle *handle)
{
    for (const auto &held : handles_) {
        if (held.get() == handle)
            return held.get();
    }
    ++misuses_;
    return nullptr;
}

bool SimBackend::live(const Handle &handle) const
{
    const Node &node = nodes_[handle.device];
    return node.plugged && node.generation == handle.generation;
}

// The faults that hit this request, each worn down by one use.
std::vector<SimFault> SimBackend::take_faults(int device, int command)
{
    std::vector<SimFault> &faults = nodes_[device].faults;
    std::vector<SimFault> hits;
    for (SimFault &fault : faults) {
        if (fault.times == 0 || (fault.command != SIM_ANY_COMMAND && fault.command != command))
            continue;
        hits.push_back(fault);
        if (fault.times > 0)
            --fault.times;
    }
    faults.erase(std::remove_if(faults.begin(), faults.end(),
                                [](const SimFault &f) { return f.times == 0; }),
                 faults.end());
    return hits;
}

// Every live handle on the device gets its own copy; a full queue drops the
// new report, as hidraw does.
void SimBackend::deliver(int device, const Report &report, bool late)
{
    for (const auto &handle : handles_) {
        if (handle->device != device || !live(*handle))
            continue;
        if (late) {
            handle->late.push_back(report);
        } else if (handle->queue.size() < size_t(SIM_QUEUE_CAPACITY)) {
            handle->queue.push_back(report);
        } else {
            ++dropped_reports_;
        }
    }
}
