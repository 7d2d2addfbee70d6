#include "tray_wiring.h"

#include "global_hot_keys.h"
#include "model/controller.h"
#include "tray_shell.h"

namespace {

// The facade's ControllerStatus, read off the Controller.
ControllerStatus status_of(const Controller &controller)
{
    ControllerStatus status;
    status.connected = controller.connected();
    status.identified = controller.identified();
    status.loaded = controller.config_loaded();
    status.live = controller.live();
    status.light = controller.light_reading();
    status.pwm_width = controller.pwm_width();
    status.brightness_width = controller.brightness_width();
    status.mode = controller.controller_mode();
    status.wanted_mode = controller.wanted_mode();
    status.manual_level = controller.manual_level();
    status.edits_pending = controller.edits_pending();
    return status;
}

// What the facade will answer a step with; the Controller only says whether it acted.
Refusal step_refusal(const Controller &controller)
{
    if (!controller.connected())
        return Refusal::not_connected;
    if (!controller.config_loaded())
        return Refusal::loading;
    return Refusal::not_manual;
}

} // namespace

void wire_tray(Controller &controller, GlobalHotKeys &hot_keys, TrayShell &shell)
{
    const auto show = [&controller, &shell] { shell.show_status(status_of(controller)); };
    QObject::connect(&controller, &Controller::status_changed, &shell, show);
    QObject::connect(&controller, &Controller::connected_changed, &shell, show);
    QObject::connect(&controller, &Controller::configuration_loaded, &shell, show);
    QObject::connect(&controller, &Controller::live_changed, &shell, show);
    QObject::connect(&controller, &Controller::wanted_mode_changed, &shell, show);
    QObject::connect(&controller, &Controller::manual_level_changed, &shell, show);
    show();

    TrayIcon &tray = shell.tray();
    QObject::connect(&tray, &TrayIcon::manual_toggled, &controller, [&controller](bool manual) {
        controller.set_wanted_mode(manual ? RegulationMode::manual : RegulationMode::automatic);
    });
    QObject::connect(&tray, &TrayIcon::level_chosen, &controller, [&controller, &shell](int width) {
        if (controller.wanted_mode() == RegulationMode::manual && controller.config_loaded())
            controller.set_manual_level(width);
        else
            shell.show_refusal(step_refusal(controller));
    });
    QObject::connect(&tray, &TrayIcon::step_requested, &controller, [&controller, &shell](int direction) {
        if (!controller.pwm_width_step(direction * Controller::HOTKEY_PWM_STEP))
            shell.show_refusal(step_refusal(controller));
    });
    // The keys themselves are connected in main; here only their refusals.
    QObject::connect(&hot_keys, &GlobalHotKeys::activated, &shell, [&controller, &shell] {
        if (!controller.connected() || !controller.config_loaded()
            || controller.controller_mode() != RegulationMode::manual)
            shell.show_refusal(step_refusal(controller));
    });
}
