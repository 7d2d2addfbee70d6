#include "direct_access.h"

namespace {

// Poll ticks an open may take to identify and load: a reply lost to a
// one-off fault is retried, a controller that stays silent is not waited for.
constexpr int OPEN_TICKS = 3;

} // namespace

DirectAccess::DirectAccess(HidBackend &backend, const QString &lock_path)
    : lock_(lock_path)
    , controller_(backend)
{
    // Reading jobs send nothing but reads; the regulating ones let go below.
    controller_.hold_regulation(true);
    connect(&controller_, &Controller::identification_failed, this,
            [this](const QString &, int, int version_found) { identification_error_ = identification_text(version_found); });
}

Outcome DirectAccess::open(QString *error)
{
    if (!lock_.try_lock(DeviceLock::CLIENT_WAIT_MS)) {
        const QString holder = lock_.holder();
        *error = tr("the controller is in use by %1; try again when it is free")
                     .arg(holder.isEmpty() ? tr("another program") : holder);
        return Outcome::failed;
    }
    controller_.check_hid_device();
    if (!controller_.connected()) {
        const QStringList failures = controller_.open_failures();
        if (failures.isEmpty()) {
            *error = tr("no controller found");
            return Outcome::no_controller;
        }
        *error = tr("cannot open the controller: %1").arg(failures.join(QStringLiteral("; ")));
        return Outcome::failed;
    }
    for (int tick = 0; tick < OPEN_TICKS && !controller_.config_loaded(); ++tick) {
        controller_.form_update();
        if (!identification_error_.isEmpty()) {
            *error = identification_error_;
            return Outcome::failed;
        }
        if (const Outcome gone = still_there(error); gone != Outcome::done)
            return gone;
    }
    if (!controller_.config_loaded()) {
        *error = tr("the controller did not send its configuration");
        return Outcome::failed;
    }
    return Outcome::done;
}

ControllerStatus DirectAccess::status()
{
    ControllerStatus status;
    status.connected = controller_.connected();
    status.identified = controller_.identified();
    status.config_loaded = controller_.config_loaded();
    status.light_reading = controller_.light_reading();
    status.pwm_width = controller_.pwm_width();
    status.mode = controller_.controller_mode();
    status.manual_level = unsigned(controller_.manual_level());
    status.edits_pending = controller_.edits_pending();
    return status;
}

Outcome DirectAccess::configuration(ConfigBlock *config, QString *)
{
    *config = controller_.stored_config();
    return Outcome::done;
}

Outcome DirectAccess::apply_configuration(const ConfigBlock &config, QString *error)
{
    switch (controller_.apply_config(config)) {
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
    controller_.hold_regulation(false);
    controller_.set_wanted_mode(wanted);
    // One tick sends the mode, the next reads back what the controller took on.
    controller_.form_update();
    controller_.form_update();
    if (const Outcome gone = still_there(error); gone != Outcome::done)
        return gone;
    if (controller_.controller_mode() != wanted) {
        *error = tr("the controller did not switch its regulation");
        return Outcome::failed;
    }
    return Outcome::done;
}

Outcome DirectAccess::set_manual_level(int level, QString *error)
{
    if (const Outcome refused = manual_only(error); refused != Outcome::done)
        return refused;
    controller_.set_manual_level(level);
    return send_regulation(error);
}

Outcome DirectAccess::step(int direction, QString *error)
{
    if (const Outcome refused = manual_only(error); refused != Outcome::done)
        return refused;
    if (!controller_.pwm_width_step(direction * Controller::HOTKEY_PWM_STEP)) {
        *error = tr("the controller is busy; try again");
        return Outcome::failed;
    }
    return send_regulation(error);
}

// One status pass carries the manual level to the controller.
Outcome DirectAccess::send_regulation(QString *error)
{
    controller_.hold_regulation(false);
    controller_.form_update();
    return still_there(error);
}

void DirectAccess::watch()
{
    connect(&controller_, &Controller::status_changed, this, &ControllerAccess::status_changed);
    connect(&controller_, &Controller::configuration_loaded, this, &ControllerAccess::status_changed);
    connect(&controller_, &Controller::connected_changed, this, &ControllerAccess::status_changed);
    connect(&controller_, &Controller::identified_changed, this, &ControllerAccess::status_changed);
    connect(&controller_, &Controller::manual_level_changed, this, &ControllerAccess::status_changed);
    connect(&controller_, &Controller::identification_failed, this,
            [this](const QString &, int, int version_found) { emit ended(identification_text(version_found)); });
    controller_.start();
}

QString DirectAccess::identification_text(int version_found)
{
    return version_found < 0 ? tr("the controller did not answer when asked who it is")
                             : tr("the controller reports version %1; this tool knows version %2 only")
                                   .arg(version_found)
                                   .arg(CONTROLLER_VERSION);
}

Outcome DirectAccess::still_there(QString *error)
{
    if (controller_.connected())
        return Outcome::done;
    *error = tr("the controller went away");
    return Outcome::no_controller;
}

Outcome DirectAccess::manual_only(QString *error)
{
    if (controller_.controller_mode() == RegulationMode::manual)
        return Outcome::done;
    *error = tr("the controller is not in manual regulation: run 'morvane-pwmctl manual on' first");
    return Outcome::failed;
}
