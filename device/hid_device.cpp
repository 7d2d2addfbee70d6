#include "hid_device.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {
using Clock = std::chrono::steady_clock;
}

HidDevice::HidDevice(HidBackend &backend)
    : backend_(backend)
{
}

HidDevice::~HidDevice()
{
    if (handle_)
        backend_.close(handle_);
}

bool HidDevice::set_ids(int vendor, int product, int alt_vendor, int alt_product)
{
    vendor_id_ = vendor;
    product_id_ = product;
    alt_vendor_id_ = alt_vendor;
    alt_product_id_ = alt_product;
    // A handle held for the old ids is dropped, so that `connected` stays
    // true exactly while a handle is held and the next open searches anew.
    close();
    return true;
}

bool HidDevice::close()
{
    connected_ = false;
    open_failures_.clear();
    identify_pending_ = true;
    if (handle_) {
        backend_.close(handle_);
        handle_ = nullptr;
    }
    path_.clear();
    return true;
}

// The primary pair is compared as given; the alternative pair only takes part
// when both of its ids are positive. The interface's ids are 16-bit unsigned,
// so a stored id outside 0..65535 can never match.
bool HidDevice::matches(const HidInterface &hid) const
{
    if (hid.vendor_id == vendor_id_ && hid.product_id == product_id_)
        return true;
    return alt_vendor_id_ > 0 && alt_product_id_ > 0
        && hid.vendor_id == alt_vendor_id_ && hid.product_id == alt_product_id_;
}

std::vector<HidInterface> HidDevice::scan() const
{
    std::vector<HidInterface> found;
    const std::vector<HidInterface> present = backend_.enumerate();
    const size_t examined = std::min(present.size(), size_t(HID_MAX_INTERFACES));
    for (size_t i = 0; i < examined; ++i)
        if (matches(present[i]))
            found.push_back(present[i]);
    return found;
}

bool HidDevice::open(const std::string &path)
{
    if (handle_) {
        if (path == path_ && backend_.alive(handle_))
            return true;
        close();
    }

    open_failures_.clear();
    // Only a listed interface is opened: a node that went away is gone, not
    // a failure to open.
    const std::vector<HidInterface> listed = scan();
    if (std::none_of(listed.begin(), listed.end(), [&path](const HidInterface &hid) { return hid.path == path; })) {
        close();
        return false;
    }
    HidOpenFailure failure;
    HidHandle *handle = backend_.open(path, &failure);
    if (!handle) {
        close();
        failure.path = path;
        open_failures_.push_back(failure);
        return false;
    }
    handle_ = handle;
    path_ = path;
    connected_ = true;
    ++connection_serial_;
    return true;
}

bool HidDevice::exchange(int command, unsigned char *reply, const unsigned char *payload)
{
    last_failure_ = Failure::link;
    if (!connected_)
        return false;

    out_report_[0] = 0;
    out_report_[1] = static_cast<unsigned char>(command);
    // Without a payload the previous request's payload bytes go out again.
    if (payload)
        std::memcpy(out_report_.data() + 2, payload, HID_PAYLOAD_SIZE);

    // On hidraw a write is bounded by the kernel's USB transfer time-out, not
    // by HID_EXCHANGE_TIMEOUT_MS: hidapi offers no timed write.
    if (backend_.write(handle_, out_report_.data(), out_report_.size()) < 0)
        return false;

    // Reports that do not echo this request (unsolicited ones, or the late
    // reply to an earlier request that gave up) are skipped. Failing on one
    // would leave this request's reply queued, and every later exchange
    // would then read its predecessor's reply and fail. The whole wait stays
    // within HID_EXCHANGE_TIMEOUT_MS.
    const auto deadline = Clock::now() + std::chrono::milliseconds(HID_EXCHANGE_TIMEOUT_MS);
    int wait_ms = HID_EXCHANGE_TIMEOUT_MS;
    for (;;) {
        // The backend delivers the 64 report bytes after the report ID.
        in_report_[0] = 0;
        const int received = backend_.read(handle_, in_report_.data() + 1, HID_REPLY_SIZE, wait_ms);
        if (received == 0) {
            last_failure_ = Failure::no_reply;
            return false;
        }
        // An error or a short report: a short one would leave the previous
        // reply's bytes behind the fresh ones, so it fails too.
        if (received != HID_REPLY_SIZE)
            return false;
        if (in_report_[1] == out_report_[1])
            break;
        wait_ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                          .count());
        if (wait_ms <= 0) {
            last_failure_ = Failure::no_reply;
            return false;
        }
    }
    last_failure_ = Failure::none;
    if (reply)
        std::memcpy(reply, in_report_.data() + 1, HID_REPLY_SIZE);
    return true;
}
