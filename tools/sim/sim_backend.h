#pragma once

#include "device/hid_backend.h"
#include "sim_firmware.h"

#include <cerrno>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

constexpr int SIM_ANY_COMMAND = -1;   // SimFault::command: every request
constexpr int SIM_ALWAYS = -1;        // SimFault::times: never wears off
constexpr int SIM_QUEUE_CAPACITY = 64; // input reports a handle holds, as hidraw
constexpr unsigned char SIM_UNSOLICITED_CODE = 0xEE; // byte 0 of unsolicited reports

// What can go wrong with one request. `value` < 0 picks the default named.
enum class SimFaultKind {
    write_fails,         // the write returns -1; the controller sees nothing
    silent,              // the request is lost: not acted on, never answered
    wrong_echo,          // the reply carries code `value` (default: command + 1)
    short_reply,         // the reply is only `value` bytes long (default 32)
    late_reply,          // the reply arrives once the host's read has timed out,
                         // so the next read on that handle gets it
    unsolicited,         // `value` reports (default 1) of SIM_UNSOLICITED_CODE
                         // arrive before the reply; more than the queue holds
                         // crowd the reply out, as on hidraw
    unplug_mid_exchange, // the request is acted on, then the device is gone
                         // before it answers
};

// A fault on one interface, for requests with `command` (or any), hitting
// the next `times` of them (or all, SIM_ALWAYS).
struct SimFault
{
    SimFaultKind kind;
    int command = SIM_ANY_COMMAND;
    int times = 1;
    int value = -1;
};

enum class SimDirection { out, in };

// One report that crossed the simulated wire.
struct SimWireRecord
{
    int device;              // interface index
    SimDirection direction;
    long long at_ms;         // virtual clock
    std::vector<unsigned char> bytes; // out: as written, report ID first; in: as read

    // out: byte 1; in: byte 0; -1 when the report is too short.
    int command() const;
    // The bytes after the command.
    std::vector<unsigned char> payload() const;
};

// One call of read(), answered or not.
struct SimReadCall
{
    int device;
    int timeout_ms;  // as the caller asked
    int result;      // as returned: byte count, 0 time-out, -1 error
    long long at_ms; // virtual clock when the call returned
};

// One call of open().
struct SimOpenRecord
{
    int device;   // -1 when the path is not on the bus
    int handle;   // serial of the new handle; 0 when refused
};

// A simulated USB bus of HID interfaces, each with its own firmware, behind
// the HidBackend interface. Interfaces are indexed 0, 1, ... in the order
// they were added, which is also the enumeration order, and are listed at
// "/dev/hidraw<index>".
//
// Like hidraw, every open handle gets its own copy of each report a device
// sends, in its own queue. Nothing sleeps: a read that finds its queue empty
// returns 0 at once and moves the virtual clock on by the time-out it asked
// for. Handles the backend does not hold (closed, or foreign) are never
// dereferenced; such a call fails and counts as a misuse.
//
// Every call may come from any thread (each controller has a worker of its
// own). What the logs and firmware() return by reference is read safely only
// while no other thread is calling in.
class SimBackend : public HidBackend
{
public:
    SimBackend() = default;
    ~SimBackend() override;

    SimBackend(const SimBackend &) = delete;
    SimBackend &operator=(const SimBackend &) = delete;

    // --- The bus ------------------------------------------------------------
    // The controller's ids (0x8D88 / 0x00BB), with the serial number and USB
    // port enumerate() reports (empty: none, as a device without a serial
    // or a system that cannot tell). Returns the interface index.
    int add_controller(const SimState &state = {}, const std::string &serial = {},
                       const std::string &port = {});
    int add_interface(unsigned short vendor, unsigned short product,
                      const SimState &state = {});
    // Interfaces that never match the controller: some share its vendor id,
    // some its product id, some neither.
    void add_decoys(int count);
    int interface_count() const;
    const std::string &path(int device) const;
    SimFirmware &firmware(int device);

    // --- Knobs --------------------------------------------------------------
    // Unplugged: not listed, open fails, existing handles fail for good.
    // Replugged: listed again at the same path with the firmware state kept;
    // only a new open reaches it. Given a port, it comes back in that one.
    void unplug(int device);
    void replug(int device);
    void replug(int device, const std::string &port);
    // The next `times` opens (or all, SIM_ALWAYS) fail as open(2) of the node
    // fails with `error_number`, in hidapi's words: "Failed to open a device
    // with path '<path>': <strerror>". Error 0 allows opening again.
    void deny_open(int device, int error_number = EACCES, int times = SIM_ALWAYS);
    void add_fault(int device, const SimFault &fault);
    // The device sends an input report (length bytes, at most 64) by itself.
    void send_report(int device, const SimReply &report, size_t length = SIM_REPLY_SIZE);
    // From now on udev runs: monitor() answers, and unplug() and replug()
    // send remove and add events to every monitor made.
    void run_udev();
    // One more event for the interface, as udev may send it (a second add,
    // a bind, a change); a remove names only the node, as after an unplug.
    void send_event(int device, HidEvent::Action action);

    // Lets virtual time pass, as between two polls: the firmware's room and
    // regulation see it at the next request.
    void advance_clock(long long ms);

    // --- What happened --------------------------------------------------------
    // The virtual clock, also the firmware's: it moves on by a read's time-out
    // when nothing came, and by advance_clock().
    long long now_ms() const;
    const std::vector<SimWireRecord> &wire() const;
    const std::vector<SimReadCall> &reads() const;
    const std::vector<SimOpenRecord> &opens() const;
    const std::vector<int> &closes() const; // handle serials
    int open_attempts(int device) const;
    std::vector<int> open_devices() const; // device of each handle open now
    int misuses() const;
    int dropped_reports() const; // queue was full
    void clear_logs();

    // --- HidBackend -----------------------------------------------------------
    std::vector<HidInterface> enumerate() override;
    HidHandle *open(const std::string &path, HidOpenFailure *failure) override;
    int write(HidHandle *handle, const unsigned char *data, size_t length) override;
    int read(HidHandle *handle, unsigned char *data, size_t length, int timeout_ms) override;
    bool alive(HidHandle *handle) override;
    void close(HidHandle *handle) override;
    std::unique_ptr<HidMonitor> monitor() override;

    struct EventQueue;

private:
    using Report = std::vector<unsigned char>;

    struct Node
    {
        HidInterface id;
        SimFirmware firmware;
        bool plugged = true;
        unsigned generation = 0; // bumped by unplug: older handles stay dead
        int open_error = 0;            // errno of a denied open; 0: allowed
        int open_denials = SIM_ALWAYS; // opens still denied
        std::vector<SimFault> faults;
    };

    struct Handle : HidHandle
    {
        int serial = 0;
        int device = 0;
        unsigned generation = 0;
        std::deque<Report> queue;
        std::vector<Report> late; // replies that arrive after the next time-out
    };

    Handle *find(HidHandle *handle);
    bool live(const Handle &handle) const;
    std::vector<SimFault> take_faults(int device, int command);
    void deliver(int device, const Report &report, bool late);

    // Recursive: public calls use each other (a fault unplugs, a flood sends).
    mutable std::recursive_mutex mutex_;
    std::deque<Node> nodes_; // deque: firmware() references stay valid
    std::vector<std::unique_ptr<Handle>> handles_;
    std::vector<SimWireRecord> wire_;
    std::vector<SimReadCall> reads_;
    std::vector<SimOpenRecord> opens_;
    std::vector<int> closes_;
    long long clock_ms_ = 0;
    int next_serial_ = 1;
    int misuses_ = 0;
    int dropped_reports_ = 0;
    bool udev_ = false;
    std::vector<std::weak_ptr<EventQueue>> monitors_;
};
