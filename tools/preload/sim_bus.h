#pragma once

// The simulated USB bus behind the hidapi functions of the preload library:
// one decoy interface and one or more controllers (each with SimFirmware
// inside), steered through the control directory named by MORVANE_SIM_DIR
// (see README.md).
// Unlike the in-process test backend this runs in real time: a read with
// nothing to read waits as long as it was asked to, as on hardware.

#include "sim_channel.h"
#include "tools/sim/sim_firmware.h"

#include <hidapi.h>

#include <sys/types.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// A control file as last seen: re-read only when this changes.
struct SimFileStamp
{
    bool exists = false;
    long long mtime_ns = 0;
    ino_t inode = 0;
    off_t size = 0;
    bool operator==(const SimFileStamp &other) const;
};

// One simulated controller: its firmware, its control files and its logs.
struct SimController
{
    std::string name;
    std::string dir;       // its control files and logs; empty: none
    std::string port;      // the USB port udev reports; empty: none
    std::string next_port; // from the `port` file, taken on at the next plug-in
    SimFirmware firmware;
    LightModel light;
    RoomSettings room_file; // the `room` file as last applied
    std::vector<WireFault> faults;
    // Where a deny_open's for=MS counts from: the last plug-in or the
    // faults file's arrival, whichever came later.
    long long deny_from_ms = 0;
    bool plugged = true;
    unsigned generation = 1; // bumped by every unplug: older handles stay dead
    bool persist = false;
    ConfigBlock saved;
    std::vector<SimFileStamp> seen; // one per control file
    std::FILE *wire_log = nullptr;
    std::FILE *event_log = nullptr;
};

// A udev event about a simulated hidraw node, as a monitor hands it out.
struct SimUdevEvent
{
    std::string action; // add, remove, change, bind, unbind, ...
    std::string sysname; // hidraw1
    unsigned short vendor_id = 0;
    unsigned short product_id = 0;
    std::string serial;
    std::string port;
    // A removed node's parents are gone: it comes with its name alone.
    bool parents = true;
};

// One interface on the simulated bus.
struct SimInterface
{
    std::string path;
    unsigned short vendor_id;
    unsigned short product_id;
    std::wstring manufacturer;
    std::wstring product;
    std::wstring serial;
    SimController *controller; // nullptr: a decoy that accepts reports and never answers
};

// An input report on its way to one open handle.
struct SimPending
{
    long long ready_ms; // readable from this moment on
    std::vector<unsigned char> bytes;
};

// hidapi's opaque device handle.
struct hid_device_
{
    const SimInterface *interface = nullptr;
    unsigned generation = 0; // the controller's plug-in this handle belongs to
    bool nonblocking = false;
    std::deque<SimPending> queue;
    std::wstring error;
    hid_device_info info{};
};

class SimBus
{
public:
    // The process's one bus, created at the first hidapi call and never
    // destroyed, so calls made while the process exits stay safe.
    static SimBus &instance();

    hid_device_info *enumerate(unsigned short vendor_id, unsigned short product_id);
    void free_enumeration(hid_device_info *list);
    hid_device *open(unsigned short vendor_id, unsigned short product_id, const wchar_t *serial);
    hid_device *open_path(const char *path);
    int write(hid_device *device, const unsigned char *data, size_t length);
    // timeout_ms < 0 blocks until a report comes or the device goes away.
    int read(hid_device *device, unsigned char *data, size_t length, int timeout_ms);
    // hid_read: blocking unless the handle was made non-blocking.
    int read_default(hid_device *device, unsigned char *data, size_t length);
    int set_nonblocking(hid_device *device, int nonblock);
    // Feature and input reports over the control pipe, indexed strings: the
    // controller has none of these.
    int unsupported(hid_device *device, const char *what);
    enum class StringKind { manufacturer, product, serial };
    int string(hid_device *device, StringKind kind, wchar_t *out, size_t max_length);
    hid_device_info *device_info(hid_device *device);
    const wchar_t *error(hid_device *device);
    void close(hid_device *device);

    // For the library's libudev functions: whether the hidraw node `sysname`
    // ("hidraw1") is on the simulated bus, and if so, whether it is present
    // now and the USB port it hangs off.
    enum class Node { foreign, absent, present };
    Node usb_port(const char *sysname, std::string *port);

    // For the library's udev monitors. udev runs while the control file
    // `udev` holds 1.
    bool udev_running() const;
    // Directories whose control files may bring events.
    std::vector<std::string> control_dirs() const;
    // A monitor's own queue of events from now on; `wake_fd` (an eventfd)
    // is written to whenever one is queued.
    int subscribe(int wake_fd);
    void unsubscribe(int subscriber);
    // Applies the control files, then hands out what was queued.
    std::deque<SimUdevEvent> take_udev_events(int subscriber);

private:
    struct ControlFile
    {
        const char *name;
        // Given nullptr when the file is absent.
        void (SimBus::*apply)(SimController &controller, const std::string *content);
    };

    SimBus();
    void add_controller(const ControllerLine &line, const std::string &dir);

    long long now_ms() const;
    void refresh(bool force = false);
    void apply_port(SimController &controller, const std::string *content);
    void apply_plugged(SimController &controller, const std::string *content);
    void apply_version(SimController &controller, const std::string *content);
    void apply_light(SimController &controller, const std::string *content);
    void apply_room(SimController &controller, const std::string *content);
    void apply_mode(SimController &controller, const std::string *content);
    void apply_pwm_width(SimController &controller, const std::string *content);
    void apply_regulate(SimController &controller, const std::string *content);
    void apply_faults(SimController &controller, const std::string *content);

    void set_plugged(SimController &controller, bool plugged);
    void apply_udev_events(const std::string &content);
    void queue_udev_event(const SimInterface &interface, const std::string &action);
    static bool present(const SimInterface &interface);
    static bool live(const hid_device &device);
    bool known(hid_device *device) const;
    std::vector<WireFault> take_faults(SimController &controller, bool opening, int command);
    void deliver(SimController &controller, const std::vector<unsigned char> &report,
                 long long ready_ms);
    static bool state_changed(const SimController &controller);
    static void save_state(SimController &controller);

    void log_wire(SimController &controller, const char *direction, const unsigned char *data,
                  size_t length);
    // nullptr: the bus itself, logged with the first controller.
    void log_event(SimController *controller, const std::string &text);
    void set_global_error(const std::string &text);
    static void set_error(hid_device *device, const std::string &text);

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::string dir_; // empty: no control directory
    long long start_ms_ = 0;
    long long last_refresh_ms_ = -1;
    static const ControlFile FILES[];

    // Built once by the constructor: handles and udev point into them.
    std::deque<SimController> controllers_;
    std::deque<SimInterface> interfaces_;

    std::set<hid_device *> handles_;
    std::set<hid_device_info *> enumerations_;
    std::wstring global_error_;

    struct UdevSubscriber
    {
        int wake_fd;
        std::deque<SimUdevEvent> events;
    };
    std::map<int, UdevSubscriber> udev_subscribers_;
    int next_subscriber_ = 1;
    SimFileStamp udev_events_seen_;
};
