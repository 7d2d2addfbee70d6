#include "model_session.h"

#include "byte_source.h"
#include "fault_injector.h"

#include "protocol/commands.h"

#include <QLoggingCategory>

#include <algorithm>

CheckedRun::CheckedRun(Bench &bench, HidBackend &inner)
    : checker(inner)
    , bench_(bench)
{
    bench_.run_on(checker);
    watch();
}

void CheckedRun::watch()
{
    checker.watch(&bench_.model());
    QObject::connect(&bench_.model(), &Controller::identification_failed, [this](int version_found) {
        checker.identification_failed(version_found);
        // As the program ends: 1 without an answer, 2 for another version.
        exit_code_ = version_found < 0 ? 1 : 2;
    });
}

int CheckedRun::tick()
{
    checker.begin(Step::tick);
    exit_code_ = -1;
    bench_.tick();
    checker.end(exit_code_);
    return exit_code_;
}

void CheckedRun::check()
{
    checker.begin(Step::check);
    bench_.check();
    checker.end();
}

Outcome CheckedRun::apply(const ConfigBlock &config)
{
    checker.begin(Step::apply);
    checker.applying(config);
    const Outcome result = bench_.model().apply_config(config);
    checker.applied(result);
    checker.end();
    return result;
}

void CheckedRun::set_wanted_mode(RegulationMode mode)
{
    checker.begin(Step::edit);
    bench_.model().set_wanted_mode(mode);
    checker.end();
}

void CheckedRun::set_manual_level(int level)
{
    checker.begin(Step::edit);
    bench_.model().set_manual_level(level);
    checker.end();
}

void CheckedRun::hot_key(int step)
{
    checker.begin(Step::hot_key, step);
    if (step != 0)
        bench_.model().pwm_width_step(step);
    checker.end();
}

void CheckedRun::close()
{
    if (!bench_.running())
        return;
    checker.begin(Step::close);
    bench_.close();
    checker.watch(nullptr);
    checker.end();
}

void CheckedRun::restart()
{
    close();
    bench_.restart();
    watch();
}

namespace {

// Something that happens on the bus between two steps of the program.
void bus_event(SimBackend &sim, int controller, ByteSource &input)
{
    switch (input.byte() % 10) {
    case 0:
        sim.unplug(controller);
        break;
    case 1:
    case 2:
        sim.replug(controller);
        break;
    case 3:
        sim.deny_open(controller);
        break;
    case 4:
    case 5:
        sim.deny_open(controller, 0);
        break;
    case 6: {
        // A report nobody asked for; its code may equal a command's, like a
        // reply that comes after its exchange gave up.
        SimReply stray{};
        stray[0] = static_cast<unsigned char>(input.byte());
        stray[1] = static_cast<unsigned char>(input.byte());
        sim.send_report(controller, stray);
        break;
    }
    case 7: {
        // Another firmware: seen at the next identification.
        const unsigned version = input.byte();
        sim.firmware(controller).state().version = version < 224 ? CONTROLLER_VERSION : int(version);
        break;
    }
    case 8: {
        // The controller's own state moves: light, width, mode or settings.
        const unsigned at = input.byte() % ConfigBlock::SIZE;
        sim.firmware(controller).state().config.bytes[at] = static_cast<unsigned char>(input.byte());
        break;
    }
    default:
        // Out and in again between two device checks: the model's handle is
        // dead, and the same path holds a fresh connection.
        sim.unplug(controller);
        sim.replug(controller);
        break;
    }
}

// The hot keys' step, or a key nobody registered.
int hot_key_step(ByteSource &input)
{
    const unsigned choice = input.byte() % 3;
    return choice == 0 ? Controller::HOTKEY_PWM_STEP : choice == 1 ? -Controller::HOTKEY_PWM_STEP : 0;
}

// A user's edit of the configuration a window would hold, within the
// ranges its controls keep.
void edit_setting(ConfigBlock &config, int field, unsigned value)
{
    switch (field) {
    case 0: config.set_pwm_step_delay(value); break;
    case 1: config.set_pwm_slide_delay(value); break;
    case 2: config.set_avrg_light_num(std::clamp(value, 1u, 50u)); break;
    default: config.set_pwm_smooth_alg(config.pwm_smooth_alg() == 0); break;
    }
}

} // namespace

void quiet_debug_output()
{
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
}

SessionReport run_model_session(const uint8_t *data, size_t size)
{
    ByteSource input(data, size);
    Bench bench(ControllerState().decoys(int(input.byte() % 4)));
    FaultInjector faults(bench.sim(), bench.device(), input);
    CheckedRun run(bench, faults);
    bench.while_failure_reported = [&] {
        // The error box's own event loop runs the device check while it is open.
        if (input.byte() % 2)
            bench.check();
    };
    // The configuration the user edits: what the model last loaded or
    // applied, with the user's changes on top, as a window's form holds it.
    ConfigBlock edits = bench.model().stored_config();

    while (!input.exhausted() && !run.checker.failed()) {
        // Ticks and device checks dominate, as they do in the running tool.
        const unsigned action = input.byte() % 32;
        const int loads_before = run.checker.stats().loads;
        if (action < 14) {
            // After an identification failure the program ends; a new start
            // follows.
            if (run.tick() != -1)
                run.restart();
        } else if (action < 18) {
            run.check();
        } else if (action == 18 || action == 31) {
            // As the window's Apply, which can be pressed only while the
            // model is live.
            if (bench.model().live())
                run.apply(edits);
        } else if (action == 19) {
            const bool manual = bench.model().wanted_mode() == RegulationMode::manual;
            run.set_wanted_mode(manual ? RegulationMode::automatic : RegulationMode::manual);
        } else if (action == 20) {
            run.set_manual_level(int(input.word() % 640));
        } else if (action < 23) {
            const int point = int(input.byte() % ConfigBlock::CURVE_POINTS) + 1;
            edits.set_auto_pwm(point, std::min(input.word() % 640, unsigned(PWM_FULL_SCALE)));
            edits.set_auto_light(point, std::min(input.word() % 1100, unsigned(LIGHT_FULL_SCALE)));
        } else if (action == 23) {
            const int field = int(input.byte() % 4);
            edit_setting(edits, field, input.byte());
        } else if (action < 26) {
            run.hot_key(hot_key_step(input));
        } else if (action < 30) {
            run.checker.begin(Step::bus);
            bus_event(bench.sim(), bench.device(), input);
            run.checker.end();
        } else {
            run.restart();
        }
        // A load replaces the form's configuration, unapplied edits and all.
        if (run.checker.stats().loads != loads_before)
            edits = bench.model().stored_config();
    }
    run.close();
    return {run.checker.violation(), run.checker.stats()};
}
