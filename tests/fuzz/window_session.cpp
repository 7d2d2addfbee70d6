#include "window_session.h"

#include "byte_source.h"
#include "fault_injector.h"
#include "window_driver.h"

#include "app/widget.h"
#include "protocol/commands.h"

#include <QLoggingCategory>

namespace {

// Something that happens on the bus between two steps of the window.
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
        sim.deny_open(controller, "");
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
        // Out and in again between two device checks: the window's handle is
        // dead, and the same path holds a fresh connection.
        sim.unplug(controller);
        sim.replug(controller);
        break;
    }
}

void hot_key(WindowDriver &driver, ByteSource &input)
{
    const unsigned choice = input.byte();
    const int id = choice % 3 == 0 ? Widget::HOTKEY_PWM_UP
        : choice % 3 == 1          ? Widget::HOTKEY_PWM_DOWN
                                   : int(choice); // an id nobody registered
    driver.hot_key(id);
}

} // namespace

void quiet_debug_output()
{
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
}

SessionReport run_window_session(const uint8_t *data, size_t size)
{
    ByteSource input(data, size);
    SimBackend sim;
    sim.add_decoys(int(input.byte() % 4));
    const int controller = sim.add_controller();
    FaultInjector faults(sim, controller, input);
    InvariantChecker checker(faults);
    WindowDriver driver(checker);
    driver.while_box_open = [&] {
        if (input.byte() % 2)
            driver.run_device_check();
    };

    driver.open_window();
    while (!input.exhausted() && !checker.failed()) {
        // Ticks and device checks dominate, as they do in the running tool.
        const unsigned action = input.byte() % 32;
        if (action < 14) {
            // After an identification error the application ends; a new
            // start follows.
            if (driver.tick() != -1)
                driver.open_window();
        } else if (action < 18) {
            driver.check();
        } else if (action == 18) {
            driver.click_apply();
        } else if (action == 19) {
            driver.toggle_manual();
        } else if (action == 20) {
            driver.set_manual_level(int(input.word() % 640));
        } else if (action < 23) {
            const int point = int(input.byte() % ConfigBlock::CURVE_POINTS) + 1;
            const int level = int(input.word() % 640);
            driver.set_curve_point(point, level, int(input.word() % 1100));
        } else if (action == 23) {
            const int field = int(input.byte() % 4);
            driver.set_setting(field, int(input.byte()));
        } else if (action < 26) {
            hot_key(driver, input);
        } else if (action < 30) {
            checker.begin(Step::bus);
            bus_event(sim, controller, input);
            checker.end();
        } else if (action == 30) {
            driver.open_window();
        } else {
            driver.click_apply();
        }
    }
    driver.close_window();
    return {checker.violation(), checker.stats()};
}
