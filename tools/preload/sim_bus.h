#pragma once

// The simulated USB bus behind the hidapi functions of the preload library:
// one controller (with SimFirmware inside) and one decoy interface, steered
// through the control directory named by MORVANE_SIM_DIR (see README.md).
// Unlike the in-process test backend this runs in real time: a read with
// nothing to read waits as long as it was asked to, as on hardware.

#include "sim_channel.h"
#include "tools/sim/sim_firmware.h"

#include <hidapi.h>

#include <sys/types.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// One interface on the simulated bus.
struct SimInterface
{
    const char *path;
    unsigned short vendor_id;
    unsigned short product_id;
    const wchar_t *manufacturer;
    const wchar_t *product;
    const wchar_t *serial;
    bool controller; // false: a decoy that accepts reports and never answers
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

private:
    // A control file as last seen: re-read only when this changes.
    struct FileStamp
    {
        bool exists = false;
        long long mtime_ns = 0;
        ino_t inode = 0;
        off_t size = 0;
        bool operator==(const FileStamp &other) const;
    };
    struct ControlFile
    {
        const char *name;
        void (SimBus::*apply)(const std::string *content); // nullptr: file is absent
        FileStamp seen;
    };

    SimBus();

    long long now_ms() const;
    void refresh(bool force = false);
    void apply_plugged(const std::string *content);
    void apply_version(const std::string *content);
    void apply_light(const std::string *content);
    void apply_mode(const std::string *content);
    void apply_pwm_width(const std::string *content);
    void apply_faults(const std::string *content);

    void set_plugged(bool plugged);
    bool present(const SimInterface &interface) const;
    bool live(const hid_device &device) const;
    bool known(hid_device *device) const;
    std::vector<WireFault> take_faults(bool opening, int command);
    void deliver(const std::vector<unsigned char> &report, long long ready_ms);
    bool state_changed() const;
    void save_state();

    void log_wire(const char *direction, const unsigned char *data, size_t length);
    void log_event(const std::string &text);
    void set_global_error(const std::string &text);
    static void set_error(hid_device *device, const std::string &text);

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::string dir_; // empty: no control directory
    long long start_ms_ = 0;
    long long last_refresh_ms_ = -1;
    std::vector<ControlFile> files_;

    SimFirmware firmware_;
    LightModel light_;
    std::vector<WireFault> faults_;
    bool plugged_ = true;
    unsigned generation_ = 1;
    bool persist_ = false;
    ConfigBlock saved_;

    std::set<hid_device *> handles_;
    std::set<hid_device_info *> enumerations_;
    std::wstring global_error_;
    std::FILE *wire_log_ = nullptr;
    std::FILE *event_log_ = nullptr;
};
