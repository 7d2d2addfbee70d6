#include "tray_wiring.h"

#include "app/hotkeys/global_hot_keys.h"
#include "app/hotkeys/hot_key_ids.h"
#include "model/controller_thread.h"
#include "tray_shell.h"

void wire_tray(ControllerThread &controller, GlobalHotKeys &hot_keys, TrayShell &shell)
{
    QObject::connect(&controller, &ControllerThread::configuration_loaded, &shell.notifier(),
                     &LevelNotifier::set_configuration);
    shell.notifier().set_configuration(controller.applied_config());
    QObject::connect(&controller, &ControllerThread::status_changed, &shell, &TrayShell::show_status);
    shell.show_status(controller.status());

    // Started from the tray or a key, nobody watches a terminal: a refusal
    // shows in the on-screen level.
    const ControllerThread::Reply refused = [&shell](const Outcome &outcome) {
        if (outcome.kind == Outcome::Kind::refused)
            shell.show_refusal(outcome.refusal);
    };
    TrayIcon &tray = shell.tray();
    QObject::connect(&tray, &TrayIcon::manual_toggled, &controller,
                     [&controller, refused](bool manual) { controller.set_manual(manual, ChangeSource::tray, refused); });
    QObject::connect(&tray, &TrayIcon::level_chosen, &controller, [&controller, refused](int width) {
        controller.set_manual_level(width, ChangeSource::tray, refused);
    });
    QObject::connect(&tray, &TrayIcon::step_requested, &controller,
                     [&controller, refused](int direction) { controller.step(direction, ChangeSource::tray, refused); });
    QObject::connect(&hot_keys, &GlobalHotKeys::activated, &controller, [&controller, refused](int id) {
        if (const int direction = hot_key_direction(id))
            controller.step(direction, ChangeSource::hot_key, refused);
    });
}
