// What HidDevice::exchange adds to the write and read it wraps: the same
// number of cmd_read_state requests, once as bare backend calls and once
// through the exchange, against the in-process simulated controller, which
// answers at once. Prints the median time per call of each kind, in
// microseconds, as "bare_us <value>" and "exchange_us <value>".

#include "device/hid_device.h"
#include "protocol/commands.h"
#include "tools/sim/sim_backend.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int ROUNDS = 5;           // alternating rounds of each kind; the median counts
constexpr int LOG_FLUSH_EVERY = 1024; // the simulator logs every report: keep it short

// Runs `count` requests and returns microseconds per request. Requests that
// fail are counted in *failures: a benchmark of failing calls means nothing.
template <class Request>
double time_per_call(SimBackend &bus, int count, int *failures, Request request)
{
    bus.clear_logs();
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        if (!request())
            ++*failures;
        // Both kinds pay for the same flushes, so the difference stays the exchange's.
        if (i % LOG_FLUSH_EVERY == 0)
            bus.clear_logs();
    }
    const std::chrono::duration<double, std::micro> took = Clock::now() - start;
    return took.count() / count;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    if (count <= 0) {
        std::fprintf(stderr, "usage: %s [requests per round]\n", argv[0]);
        return 2;
    }

    SimBackend bus;
    const int controller = bus.add_controller();
    HidDevice device(bus);
    device.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);

    // Every open handle gets its own copy of each reply, so only one handle
    // is open at a time: the bare calls' own, or the HidDevice's.
    std::array<unsigned char, 65> request{};
    request[1] = cmd_read_state;
    std::array<unsigned char, HID_REPLY_SIZE> reply{};
    int failures = 0;
    std::vector<double> bare, exchange;
    for (int round = 0; round < ROUNDS; ++round) {
        HidOpenFailure failure;
        HidHandle *handle = bus.open(bus.path(controller), &failure);
        if (!handle) {
            std::fprintf(stderr, "cannot open the simulated controller: %s\n", failure.reason.c_str());
            return 1;
        }
        bare.push_back(time_per_call(bus, count, &failures, [&] {
            return bus.write(handle, request.data(), request.size()) == int(request.size())
                && bus.read(handle, reply.data(), reply.size(), HID_EXCHANGE_TIMEOUT_MS)
                       == HID_REPLY_SIZE;
        }));
        bus.close(handle);

        if (!device.open(bus.path(controller))) {
            std::fprintf(stderr, "HidDevice cannot open the simulated controller\n");
            return 1;
        }
        exchange.push_back(time_per_call(bus, count, &failures, [&] {
            return device.exchange(cmd_read_state, reply.data(), nullptr);
        }));
        device.close();
    }
    if (failures > 0) {
        std::fprintf(stderr, "%d requests failed\n", failures);
        return 1;
    }
    std::printf("bare_us %.4f\nexchange_us %.4f\n", median(bare), median(exchange));
    return 0;
}
