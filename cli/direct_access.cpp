#include "direct_access.h"

namespace {

// Poll ticks an open may take to identify and load: a reply lost to a
// one-off fault is retried, a controller that stays silent is not waited for.
constexpr int OPEN_TICKS = 3;

} // namespace

DirectAccess::DirectAccess(HidBackend &backend, const QString &lock_path)
    : lock(lock_path)
    , controller(backend)
{
    connect(&controller, &Controller::identification_failed, this,
            [this](const QString &reason, int, int) { identification_error = reason; });
}

Outcome DirectAccess::open(QString *error)
{
    if (!lock.try_lock(DeviceLock::CLIENT_WAIT_MS)) {
        const QString holder = lock.holder();
        *error = tr("the controller is in use by %1; try again when it is free")
                     .arg(holder.isEmpty() ? tr("another program") : holder);
        return Outcome::failed;
    }
    controller.check_device();
    if (!controller.connected()) {
        const QStringList failures = controller.open_failures();
        if (failures.isEmpty()) {
            *error = tr("no controller found");
            return Outcome::no_controller;
        }
        *error = tr("cannot open the controller: %1").arg(failures.join(QStringLiteral("; ")));
        return Outcome::failed;
    }
    for (int tick = 0; tick < OPEN_TICKS && !controller.config_loaded(); ++tick) {
        controller.poll_tick();
        if (!identification_error.isEmpty()) {
            *error = tr("the controller did not identify itself: %1").arg(identification_error);
            return Outcome::failed;
        }
        if (const Outcome gone = still_there(error); gone != Outcome::done)
            return gone;
    }
    if (!controller.config_loaded()) {
        *error = tr("the controller did not send its configuration");
        return Outcome::failed;
    }
    return Outcome::done;
}

ControllerStatus DirectAccess::status()
{
    ControllerStatus status;
    status.connected = controller.connected();
    status.identified = controller.identified();
    status.config_loaded = controller.config_loaded();
    status.light_reading = controller.light_reading();
    status.pwm_width = controller.pwm_width();
    status.mode = controller.controller_mode();
    status.manual_level = unsigned(controller.manual_level());
    status.edits_pending = controller.edits_pending();
    return status;
}

Outcome DirectAccess::configuration(ConfigBlock *config, QString *)
{
    *config = controller.stored_config();
    return Outcome::done;
}

Outcome DirectAccess::apply_configuration(const ConfigBlock &config, QString *error)
{
    switch (controller.apply_config(config)) {
    case Controller::ApplyResult::written:
        return Outcome::done;
    case Controller::ApplyResult::not_confirmed:
        *error = tr("the controller did not confirm the write");
        return Outcome::failed;
    case Controller::ApplyResult::not_sent:
        break;
    }
    *error = tr("nothing was written: the controller is no longer connected");
    return Outcome::no_controller;
}

Outcome DirectAccess::set_manual(bool manual, QString *error)
{
    const RegulationMode wanted = manual ? RegulationMode::manual : RegulationMode::automatic;
    controller.set_wanted_mode(wanted);
    // One tick sends the mode, the next reads back what the controller took on.
    controller.poll_tick();
    controller.poll_tick();
    if (const Outcome gone = still_there(error); gone != Outcome::done)
        return gone;
    if (controller.controller_mode() != wanted) {
        *error = tr("the controller did not switch its regulation");
        return Outcome::failed;
    }
    return Outcome::done;
}

Outcome DirectAccess::set_manual_level(int level, QString *error)
{
    if (const Outcome refused = manual_only(error); refused != Outcome::done)
        return refused;
    controller.set_manual_level(level);
    controller.poll_tick();
    return still_there(error);
}

Outcome DirectAccess::step(int direction, QString *error)
{
    if (const Outcome refused = manual_only(error); refused != Outcome::done)
        return refused;
    if (!controller.step_manual_level(direction * Controller::PWM_STEP)) {
        *error = tr("the controller is busy; try again");
        return Outcome::failed;
    }
    controller.poll_tick();
    return still_there(error);
}

void DirectAccess::watch()
{
    connect(&controller, &Controller::status_changed, this, &ControllerAccess::status_changed);
    connect(&controller, &Controller::configuration_loaded, this, &ControllerAccess::status_changed);
    connect(&controller, &Controller::connected_changed, this, &ControllerAccess::status_changed);
    connect(&controller, &Controller::identified_changed, this, &ControllerAccess::status_changed);
    connect(&controller, &Controller::manual_level_changed, this, &ControllerAccess::status_changed);
    connect(&controller, &Controller::identification_failed, this,
            [this](const QString &reason) { emit ended(tr("the controller did not identify itself: %1").arg(reason)); });
    controller.start();
}

Outcome DirectAccess::still_there(QString *error)
{
    if (controller.connected())
        return Outcome::done;
    *error = tr("the controller went away");
    return Outcome::no_controller;
}

Outcome DirectAccess::manual_only(QString *error)
{
    if (controller.controller_mode() == RegulationMode::manual)
        return Outcome::done;
    *error = tr("the controller is not in manual regulation: run 'morvane-pwmctl manual on' first");
    return Outcome::failed;
}
