#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// One HID interface as the platform lists it.
struct HidInterface
{
    std::string path;
    unsigned short vendor_id = 0;
    unsigned short product_id = 0;
    // The USB serial number as UTF-8; empty when the device reports none.
    std::string serial;
    // The USB port the device hangs off, as the kernel names it ("1-2.3");
    // empty where the system cannot tell.
    std::string port;
};

// A matching interface that was found but could not be opened.
struct HidOpenFailure
{
    std::string path;
    std::string reason; // the platform's text (hidapi's, in the process's language)
    // errno of the failed open(2) of the node (EACCES while udev has not yet
    // handed the node to the user); 0 when the platform did not tell.
    int error_number = 0;
};

// A hidraw node came, went or changed, as udev reports it. Only `path` is
// sure; a node that went may come without its ids (its parents are gone).
struct HidEvent
{
    enum class Action { add, remove, change, other }; // other: bind, unbind, ...
    Action action = Action::other;
    HidInterface hid;
};

// udev's stream of hidraw events, modelled on libudev's monitor: fd() turns
// readable when events wait; receive() takes all of them without blocking.
class HidMonitor
{
public:
    virtual ~HidMonitor() = default;
    virtual int fd() const = 0;
    virtual std::vector<HidEvent> receive() = 0;
};

// An open interface. Each backend derives its own handle type.
class HidHandle
{
public:
    virtual ~HidHandle() = default;
};

// The few platform operations HidDevice needs, modelled on hidapi's C API.
// Production runs on hidapi (HidapiBackend); tests run on a simulated
// controller that implements the same interface.
class HidBackend
{
public:
    virtual ~HidBackend() = default;

    // The HID interfaces present now, in the platform's enumeration order.
    virtual std::vector<HidInterface> enumerate() = 0;

    // Opens a path returned by enumerate() for reading and writing, shared
    // with other openers. Returns nullptr and fills the reason and the errno
    // of *failure (when given) on failure.
    virtual HidHandle *open(const std::string &path, HidOpenFailure *failure) = 0;

    // Writes one output report (byte 0 is the report ID).
    // Returns the number of bytes written, or -1 on error.
    virtual int write(HidHandle *handle, const unsigned char *data, size_t length) = 0;

    // Reads the next input report without its report-ID byte, waiting at most
    // timeout_ms. Returns the number of bytes read, 0 on time-out, -1 on error.
    virtual int read(HidHandle *handle, unsigned char *data, size_t length, int timeout_ms) = 0;

    // Cheap test that the device behind an open handle is still present.
    virtual bool alive(HidHandle *handle) = 0;

    // Closes and deletes the handle.
    virtual void close(HidHandle *handle) = 0;

    // The hidraw events from now on, or nullptr where udev does not run (a
    // container): then only listing again finds what changed.
    virtual std::unique_ptr<HidMonitor> monitor() { return nullptr; }
};
