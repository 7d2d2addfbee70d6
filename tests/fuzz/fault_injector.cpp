#include "fault_injector.h"

namespace {

// Input bytes below this let a request through untouched, so that a random
// stream reaches the deeper states (identified, loaded, manual regulation)
// often enough; the bytes above it pick one fault each.
constexpr unsigned FIRST_FAULT = 200;

// More unsolicited reports than a handle's queue holds crowd the reply out.
constexpr unsigned MAX_FLOOD = SIM_QUEUE_CAPACITY + 16;

} // namespace

FaultInjector::FaultInjector(SimBackend &sim, int controller, ByteSource &input)
    : sim_(sim)
    , controller_(controller)
    , input_(input)
{
}

void FaultInjector::plan(int command)
{
    const unsigned choice = input_.byte();
    if (choice < FIRST_FAULT)
        return;
    const auto inject = [&](SimFaultKind kind, int value = -1) {
        sim_.add_fault(controller_, SimFault{kind, command, 1, value});
    };
    switch ((choice - FIRST_FAULT) % 9) {
    case 0: inject(SimFaultKind::write_fails); break;
    case 1: inject(SimFaultKind::silent); break;
    case 2: inject(SimFaultKind::wrong_echo, int(input_.byte())); break;
    case 3: inject(SimFaultKind::short_reply, int(input_.byte() % SIM_REPLY_SIZE)); break;
    case 4: inject(SimFaultKind::late_reply); break;
    case 5: inject(SimFaultKind::unsolicited, int(input_.byte() % MAX_FLOOD)); break;
    case 6: inject(SimFaultKind::unplug_mid_exchange); break;
    case 7: fail_next_read_ = true; break;
    default: garble_next_reply_ = true; break;
    }
}

int FaultInjector::write(HidHandle *handle, const unsigned char *data, size_t length)
{
    plan(length > 1 ? data[1] : -1);
    return sim_.write(handle, data, length);
}

int FaultInjector::read(HidHandle *handle, unsigned char *data, size_t length, int timeout_ms)
{
    // An I/O error on a device that is still there.
    if (fail_next_read_) {
        fail_next_read_ = false;
        return -1;
    }
    const int result = sim_.read(handle, data, length, timeout_ms);
    // A reply with the right echo and whatever payload the input says: odd
    // versions, widths beyond full scale, unknown modes, out-of-range settings.
    if (garble_next_reply_ && result == SIM_REPLY_SIZE) {
        garble_next_reply_ = false;
        for (unsigned n = input_.byte() % 8 + 1; n > 0; --n) {
            const unsigned at = 1 + input_.byte() % (SIM_REPLY_SIZE - 1);
            data[at] = static_cast<unsigned char>(input_.byte());
        }
    }
    return result;
}
