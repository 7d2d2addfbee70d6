#include "direct_access.h"

#include "model/controller_registry.h"

#include <memory>
#include <optional>

namespace {

// Poll ticks an open may take to identify and load: a reply lost to a
// one-off fault is retried, a controller that stays silent is not waited for.
constexpr int OPEN_TICKS = 3;
// A change needs two: one sends it, the next reads back what the controller took.
constexpr int CHANGE_TICKS = 2;

} // namespace

DirectAccess::DirectAccess(HidBackend &backend)
    : scanner_(backend)
    , controller_(backend)
{
    scanner_.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
    // Reading jobs send nothing but reads; a regulating action lets go.
    controller_.hold_regulation(true);
    connect(&controller_, &Controller::identification_failed, this,
            [this](int version_found) { identification_error_ = identification_text(version_found); });
}

Answer DirectAccess::open()
{
    QSet<QString> twin_serials = remembered_twin_serials();
    const std::vector<ControllerIdentity> listed = list_controllers(scanner_, &twin_serials);
    if (listed.empty())
        return Answer::of(Outcome::refused(Refusal::not_connected));
    const ControllerIdentity &chosen = listed.front();
    lock_.reset(new DeviceLock(DeviceLock::for_node(chosen.path)));
    DeviceLock &lock = *lock_;
    // Another program's turn is waited for, except the window's when it has
    // no session bus: that one keeps the controller as long as it runs.
    if (!lock.try_lock()) {
        if (!lock.problem().isEmpty())
            return Answer::failure(tr("cannot make the device lock (%1), so the controller cannot be shared safely; "
                                      "nothing was sent to it")
                                       .arg(lock.problem()));
        if (lock.held_by_program())
            return Answer::failure(tr("the running morvane-pwm has no session bus, so morvane-pwmctl cannot reach "
                                      "it and it keeps the controller; use its window, or start it in a session "
                                      "with a D-Bus session bus"));
        if (!lock.try_lock(DeviceLock::CLIENT_WAIT_MS))
            return Answer::of(Outcome::refused(Refusal::held_elsewhere), lock.holder());
    }
    controller_.reopen(chosen);
    if (!controller_.connected())
        return cannot_open();
    const Answer loaded = settled([this](Controller::Reply reply) { controller_.when_loaded(std::move(reply)); },
                                  OPEN_TICKS);
    if (!identification_error_.isEmpty())
        return Answer::failure(identification_error_);
    if (!loaded.ok() && controller_.connected() && loaded.outcome.refusal != Refusal::not_connected)
        return Answer::failure(tr("the controller did not send its configuration"));
    return loaded;
}

Answer DirectAccess::cannot_open() const
{
    const std::vector<HidOpenFailure> &failures = controller_.open_failure_details();
    if (failures.empty())
        return Answer::of(Outcome::refused(Refusal::not_connected));
    const HidOpenFailure &failure = failures.front();
    return Answer::failure(tr("cannot open the controller at %1 (%2); install the udev rule 70-morvane-pwm.rules "
                              "(the package puts it in /usr/lib/udev/rules.d), run 'sudo udevadm control --reload "
                              "&& sudo udevadm trigger' and replug the controller")
                               .arg(QString::fromStdString(failure.path), QString::fromStdString(failure.reason)));
}

Answer DirectAccess::configuration(ConfigBlock *config)
{
    *config = controller_.stored_config();
    return {};
}

Answer DirectAccess::apply_configuration(const ConfigBlock &config)
{
    return answer(controller_.apply_config(config, ChangeSource::client));
}

Answer DirectAccess::set_manual(bool manual)
{
    const RegulationMode mode = manual ? RegulationMode::manual : RegulationMode::automatic;
    return settled([&](Controller::Reply reply) { controller_.set_wanted_mode(mode, ChangeSource::client, reply); },
                   CHANGE_TICKS);
}

Answer DirectAccess::set_manual_level(int level)
{
    return settled([&](Controller::Reply reply) { controller_.set_manual_level(level, ChangeSource::client, reply); },
                   CHANGE_TICKS);
}

Answer DirectAccess::step(int direction)
{
    const int by = direction * Controller::HOTKEY_PWM_STEP;
    return settled([&](Controller::Reply reply) { controller_.pwm_width_step(by, ChangeSource::client, reply); },
                   CHANGE_TICKS);
}

Answer DirectAccess::settled(const std::function<void(Controller::Reply)> &action, int ticks)
{
    // Shared with the reply: one left waiting is answered later, when the
    // controller goes away or this object ends.
    const auto answered = std::make_shared<std::optional<Outcome>>();
    action([answered](const Outcome &outcome) { *answered = outcome; });
    controller_.settle(ticks);
    return answer(answered->value_or(Outcome::not_confirmed()));
}

Answer DirectAccess::answer(const Outcome &outcome) const
{
    return Answer::of(outcome, controller_.status().holder);
}

void DirectAccess::watch()
{
    connect(&controller_, &Controller::status_value_changed, this, &ControllerAccess::status_changed);
    connect(&controller_, &Controller::identification_failed, this,
            [this](int version_found) { emit ended(identification_text(version_found)); });
    controller_.start();
}

QString DirectAccess::identification_text(int version_found)
{
    return version_found < 0 ? tr("the controller did not answer when asked who it is")
                             : tr("the controller reports version %1; this tool knows version %2 only")
                                   .arg(version_found)
                                   .arg(CONTROLLER_VERSION);
}
