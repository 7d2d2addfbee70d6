#include "tray_wiring.h"

#include "app/hotkeys/global_hot_keys.h"
#include "app/hotkeys/hot_key_ids.h"
#include "model/controller_registry.h"
#include "tray_shell.h"

#include <memory>

namespace {

std::vector<ControllerThread *> shown_controllers(ControllerRegistry &registry)
{
    std::vector<ControllerThread *> shown = registry.present();
    if (shown.empty())
        shown.push_back(&registry.first());
    return shown;
}

void show(ControllerRegistry &registry, TrayShell &shell)
{
    QList<ShownController> shown;
    for (ControllerThread *controller : shown_controllers(registry))
        shown << ShownController{controller->status(), controller->applied_config()};
    shell.show_controllers(shown);
}

// The controller a menu entry was for; with one present, that one whatever
// id the entry last saw. Gone meanwhile: none.
ControllerThread *chosen(ControllerRegistry &registry, const QString &id)
{
    if (ControllerThread *found = registry.find(id))
        return found;
    return registry.only();
}

// Which controllers take the step is the model's outcome of each; the
// refusal said, when none took it, is the first controller's.
void step_every(ControllerRegistry &registry, TrayShell &shell, int direction, ChangeSource source)
{
    const std::vector<ControllerThread *> targets = shown_controllers(registry);
    struct Tally
    {
        size_t waiting;
        bool stepped;
        std::vector<Refusal> refusals;
    };
    const auto tally = std::make_shared<Tally>(Tally{targets.size(), false, std::vector<Refusal>(targets.size())});
    for (size_t index = 0; index < targets.size(); ++index) {
        targets[index]->step(direction, source, [tally, index, &shell](const Outcome &outcome) {
            tally->stepped = tally->stepped || outcome.sent();
            tally->refusals[index] = outcome.refusal;
            if (--tally->waiting == 0 && !tally->stepped)
                shell.show_refusal(tally->refusals.front());
        });
    }
}

} // namespace

void wire_tray(ControllerRegistry &registry, GlobalHotKeys &hot_keys, TrayShell &shell)
{
    const auto show_now = [&registry, &shell] { show(registry, shell); };
    // A place let go is deleted with its connection.
    registry.wire_each([&shell, show_now](ControllerThread &each) {
        QObject::connect(&each, &ControllerThread::status_changed, &shell, show_now);
    });
    QObject::connect(&registry, &ControllerRegistry::present_changed, &shell, show_now);
    QObject::connect(&registry, &ControllerRegistry::controller_renamed, &shell, show_now);
    show_now();

    // Hidden to the tray, the window is one looker fewer: the model decides
    // what that does to the polls.
    PollCadence &cadence = registry.cadence();
    cadence.set_window_shown(shell.window_presence() != WindowPresence::hidden);
    QObject::connect(&shell, &TrayShell::window_shown_changed, &cadence, &PollCadence::set_window_shown);

    // Started from the tray or a key, nobody watches a terminal: a refusal
    // shows in the on-screen level.
    const ControllerThread::Reply refused = [&shell](const Outcome &outcome) {
        if (outcome.kind == Outcome::Kind::refused)
            shell.show_refusal(outcome.refusal);
    };
    TrayIcon &tray = shell.tray();
    QObject::connect(&tray, &TrayIcon::manual_toggled, &shell, [&registry, refused](const QString &id, bool manual) {
        if (ControllerThread *controller = chosen(registry, id))
            controller->set_manual(manual, ChangeSource::tray, refused);
    });
    QObject::connect(&tray, &TrayIcon::level_chosen, &shell, [&registry, refused](const QString &id, int width) {
        if (ControllerThread *controller = chosen(registry, id))
            controller->set_manual_level(width, ChangeSource::tray, refused);
    });
    QObject::connect(&tray, &TrayIcon::step_requested, &shell, [&registry, refused](const QString &id, int direction) {
        if (ControllerThread *controller = chosen(registry, id))
            controller->step(direction, ChangeSource::tray, refused);
    });
    QObject::connect(&tray, &TrayIcon::step_all_requested, &shell, [&registry, &shell](int direction) {
        step_every(registry, shell, direction, ChangeSource::tray);
    });
    QObject::connect(&hot_keys, &GlobalHotKeys::activated, &shell, [&registry, &shell](int id) {
        if (const int direction = hot_key_direction(id))
            step_every(registry, shell, direction, ChangeSource::hot_key);
    });
}
