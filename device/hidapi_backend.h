#pragma once

#include "hid_backend.h"

#include <mutex>

struct udev;

// HidBackend on the system hidapi library (hidraw on Linux), with libudev
// telling which USB port each interface hangs off.
//
// Each controller's worker calls in from its own thread. hidapi keeps its
// open error in one global and walks udev without locking, so listing,
// opening, the liveness test and closing take turns; reads and writes on
// different handles run side by side (a read may wait 3 s).
class HidapiBackend : public HidBackend
{
public:
    HidapiBackend();
    ~HidapiBackend() override;

    HidapiBackend(const HidapiBackend &) = delete;
    HidapiBackend &operator=(const HidapiBackend &) = delete;

    std::vector<HidInterface> enumerate() override;
    HidHandle *open(const std::string &path, HidOpenFailure *failure) override;
    int write(HidHandle *handle, const unsigned char *data, size_t length) override;
    int read(HidHandle *handle, unsigned char *data, size_t length, int timeout_ms) override;
    bool alive(HidHandle *handle) override;
    void close(HidHandle *handle) override;
    std::unique_ptr<HidMonitor> monitor() override;

private:
    std::string usb_port(const std::string &path);

    std::mutex mutex_;
    udev *udev_context_ = nullptr; // nullptr: no ports known
};
