#pragma once

#include "hid_backend.h"

#include <array>
#include <string>
#include <vector>

// Byte 0 report ID (always 0), byte 1 command code, bytes 2..64 payload.
using HidReport = std::array<unsigned char, 65>;

constexpr int HID_PAYLOAD_SIZE = 63;
constexpr int HID_REPLY_SIZE = 64;      // echoed command + 63 reply payload bytes
constexpr int HID_EXCHANGE_TIMEOUT_MS = 3000;
constexpr int HID_MAX_INTERFACES = 64;  // interfaces examined per scan

// The link to one controller: lists the interfaces with its ids, keeps the
// one it was given open, notices when it has gone, and exchanges one
// request report for one echoed reply. Reports nothing itself; callers
// read the flags and the results.
class HidDevice
{
public:
    explicit HidDevice(HidBackend &backend);
    ~HidDevice();

    HidDevice(const HidDevice &) = delete;
    HidDevice &operator=(const HidDevice &) = delete;

    bool set_ids(int vendor, int product, int alt_vendor, int alt_product);
    // The interfaces with these ids among the first HID_MAX_INTERFACES
    // listed, in the platform's order. Opens nothing.
    std::vector<HidInterface> scan() const;
    // Opens the interface at `path` while scan() lists it. A handle already
    // held for it is only checked for life; one held for another path, or
    // one whose device has gone, is closed first.
    bool open(const std::string &path);
    bool close();
    bool exchange(int command, unsigned char *reply, const unsigned char *payload);

    // Why the last exchange failed: the controller let the time limit pass
    // without its reply, or the link itself failed (a write or read error,
    // a short report), which an unplugged controller also causes.
    enum class Failure { none, no_reply, link };
    Failure last_failure() const { return last_failure_; }

    bool connected() const { return connected_; }
    bool identify_pending() const { return identify_pending_; }
    // Only the poll cycle calls this, when the controller reports version 1.
    void clear_identify_pending() { identify_pending_ = false; }

    // Counts the handles opened so far: tells one connection from the next.
    unsigned connection_serial() const { return connection_serial_; }

    // The interface the open handle came from; empty while none is open.
    const std::string &path() const { return path_; }

    // Why the last open of its path failed (permission, busy); empty after a success.
    const std::vector<HidOpenFailure> &open_failures() const { return open_failures_; }

private:
    bool matches(const HidInterface &hid) const;

    HidBackend &backend_;
    bool connected_ = false;
    bool identify_pending_ = false;
    int vendor_id_ = 0;
    int product_id_ = 0;
    int alt_vendor_id_ = 0;
    int alt_product_id_ = 0;
    HidReport out_report_{};
    HidReport in_report_{};
    HidHandle *handle_ = nullptr;
    std::string path_;
    unsigned connection_serial_ = 0;
    Failure last_failure_ = Failure::none;
    std::vector<HidOpenFailure> open_failures_;
};
