// Instructions of one poll tick, counted by callgrind. The model runs on the
// in-process simulated controller with the window attached as in the program
// and its timers never started; each tick is one direct call of
// Controller::form_update (the window's updates included, as they run from the
// model's signals), and only that call is collected
// (run under valgrind --tool=callgrind --instr-atstart=no --collect-atstart=no).
// Each scenario ends with a dump named "<scenario>/<calls>", from which
// bench/run takes the total and divides it by the calls.
//
// Scenarios:
//   tick.absent        no controller
//   tick.auto          running, automatic regulation, steady reading
//   tick.auto_moving   the same with a new reading and width every tick
//   tick.manual        running, manual regulation, steady slider
//   tick.load          a controller just opened: identify, load, status pass
//   tick.one_of_two    two controllers on the bus, both running automatic
//                      with a steady reading (the window on the first, as
//                      in the program): a tick of the first only
//   tick.two_auto      the same: one tick of each
//   base.bare_exchange one write + read of cmd_read_state on the backend
//   base.exchange      one HidDevice::exchange of cmd_read_state
//   base.set_text      one QLineEdit::setText on a read-out, with a new text
//
// Without valgrind the client requests do nothing, and the program only
// checks that every scenario sends what it should.

#include "bench.h"
#include "protocol/commands.h"
#include "ui/widget.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>

#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int CALLS = 200;  // measured calls per scenario
constexpr int WARM_UP = 5;  // unmeasured calls first: caches, first-time allocations

int requests_sent(const SimBackend &bus)
{
    int sent = 0;
    for (const SimWireRecord &record : bus.wire())
        sent += record.direction == SimDirection::out;
    return sent;
}

[[noreturn]] void fail(const std::string &why)
{
    std::fprintf(stderr, "tick_bench: %s\n", why.c_str());
    std::exit(1);
}

// Collects `act` only; `prepare` runs before each call, uncollected. Each
// call must send `expected_requests` to the controller on `bus`: a tick that
// took another road than the scenario names would be measured in vain.
template <class Prepare, class Act>
void measure(const char *scenario, SimBackend &bus, int expected_requests, Prepare prepare, Act act)
{
    for (int i = 0; i < WARM_UP + CALLS; ++i) {
        prepare();
        bus.clear_logs();
        const bool collected = i >= WARM_UP;
        if (collected)
            CALLGRIND_TOGGLE_COLLECT;
        act();
        if (collected)
            CALLGRIND_TOGGLE_COLLECT;
        if (i >= WARM_UP && requests_sent(bus) != expected_requests)
            fail(std::string(scenario) + ": sent " + std::to_string(requests_sent(bus))
                 + " requests, expected " + std::to_string(expected_requests));
    }
    const std::string dump = std::string(scenario) + "/" + std::to_string(CALLS);
    CALLGRIND_DUMP_STATS_AT(dump.c_str());
}

// A configuration that differs from `config` in every field the form shows,
// so that a load of one after the other changes every control.
ConfigBlock other_config(const ConfigBlock &config)
{
    ConfigBlock other = config;
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        other.set_auto_light(n, config.auto_light(n) + 7);
        other.set_auto_pwm(n, config.auto_pwm(n) > 10 ? config.auto_pwm(n) - 10 : 0);
    }
    other.set_pwm_step_delay(config.pwm_step_delay() + 1);
    other.set_pwm_slide_delay(config.pwm_slide_delay() + 1);
    other.set_avrg_light_num(config.avrg_light_num() + 1);
    other.set_pwm_smooth_alg(config.pwm_smooth_alg() == 0);
    return other;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    Bench bench(ControllerState(), Bench::View::attached);
    SimBackend &bus = bench.sim();
    const int controller = bench.device();
    Controller &model = bench.model();
    bench.view().show();
    QLineEdit *const light_text = bench.light_readout();

    // Between ticks the event loop runs as it would.
    const auto between_ticks = [] { QCoreApplication::processEvents(); };
    const auto tick = [&] { model.form_update(); };
    const auto check_hid_device = [&] { bench.check(); };

    CALLGRIND_START_INSTRUMENTATION;

    bus.unplug(controller);
    check_hid_device();
    measure("tick.absent", bus, 0, between_ticks, tick);

    bus.replug(controller);
    check_hid_device();
    tick(); // identifies and loads
    measure("tick.auto", bus, 1, between_ticks, tick);

    // Both read-outs change every tick: the light, and the width the
    // controller drives from it.
    SimState &state = bus.firmware(controller).state();
    int moves = 0;
    measure("tick.auto_moving", bus, 1, [&] {
        between_ticks();
        const unsigned step = ++moves % 2;
        state.config.set_light_adc(512 + step);
        state.config.set_pwm_width(282 + 17 * step);
    }, tick);

    bench.manual()->setChecked(true);
    tick(); // switches the controller to manual regulation
    measure("tick.manual", bus, 2, between_ticks, tick);

    // Every load is of a controller just plugged in again, whose settings
    // differ from the form's: the form changes every control.
    const ConfigBlock first = sim_default_config();
    const ConfigBlock second = other_config(first);
    int loads = 0;
    measure("tick.load", bus, 3, [&] {
        between_ticks();
        bus.unplug(controller);
        check_hid_device();
        bus.replug(controller);
        check_hid_device();
        state.config = ++loads % 2 ? second : first;
    }, tick);

    // Every controller polls on its own: two cost twice one tick at most.
    Bench pair(ControllerState(), Bench::View::attached);
    pair.sim().add_controller();
    pair.check();
    const std::vector<ControllerThread *> both = pair.registry().present();
    if (both.size() != 2)
        fail("the registry found " + std::to_string(both.size()) + " controllers, expected 2");
    pair.view().show();
    Controller &desk = both[0]->controller();
    Controller &lamp = both[1]->controller();
    const auto tick_both = [&] {
        desk.form_update();
        lamp.form_update();
    };
    tick_both(); // identifies and loads both
    // One of them alone first: the simulated bus hands each reply past
    // every open handle, so a tick on it costs a little more than on a bus
    // with one controller; that is the simulator's, not the program's.
    measure("tick.one_of_two", pair.sim(), 1, between_ticks, [&] { desk.form_update(); });
    measure("tick.two_auto", pair.sim(), 2, between_ticks, tick_both);

    // The baselines, on a bus of their own so that the model's handle does
    // not receive their replies.
    SimBackend bare_bus;
    const int bare_controller = bare_bus.add_controller();
    HidOpenFailure failure;
    HidHandle *handle = bare_bus.open(bare_bus.path(bare_controller), &failure);
    if (!handle)
        fail("cannot open the simulated controller: " + failure.reason);
    std::array<unsigned char, 65> request{};
    request[1] = cmd_read_state;
    std::array<unsigned char, HID_REPLY_SIZE> reply{};
    measure("base.bare_exchange", bare_bus, 1, [] {}, [&] {
        bare_bus.write(handle, request.data(), request.size());
        bare_bus.read(handle, reply.data(), reply.size(), HID_EXCHANGE_TIMEOUT_MS);
    });
    bare_bus.close(handle);

    HidDevice device(bare_bus);
    device.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
    if (!device.open(bare_bus.path(bare_controller)))
        fail("HidDevice cannot open the simulated controller");
    measure("base.exchange", bare_bus, 1, [] {}, [&] {
        device.exchange(cmd_read_state, reply.data(), nullptr);
    });

    // Texts as a tick writes them, alternating so that every call changes
    // the read-out, prepared outside the collected call.
    const QString texts[2] = {QStringLiteral("512"), QStringLiteral("513")};
    int shown = 0;
    QString next;
    measure("base.set_text", bus, 0, [&] {
        between_ticks();
        next = texts[++shown % 2];
    }, [&] { light_text->setText(next); });

    CALLGRIND_STOP_INSTRUMENTATION;
    return 0;
}
