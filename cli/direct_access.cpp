#include "direct_access.h"

#include "history/history_store.h"
#include "model/controller_registry.h"
#include "model/device_lock.h"
#include "model/outcome_text.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <memory>
#include <optional>

namespace {

// Poll ticks an open may take to identify and load: a reply lost to a
// one-off fault is retried, a controller that stays silent is not waited for.
constexpr int OPEN_TICKS = 3;
// A change needs two: one sends it, the next reads back what the controller took.
constexpr int CHANGE_TICKS = 2;
// How often a lock another client holds is tried again while waiting for it.
constexpr int LOCK_RETRY_MS = 50;

} // namespace

DirectAccess::DirectAccess(HidBackend &backend)
    : scanner_(backend)
    , controller_(backend)
{
    scanner_.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
    controller_.share_device(true);
    // Reading jobs send nothing but reads; a regulating action lets go.
    controller_.hold_regulation(true);
    connect(&controller_, &Controller::identification_failed, this,
            [this](int version_found) { identification_error_ = identification_text(version_found); });
}

std::vector<SelectableController> DirectAccess::controllers()
{
    // Named as the program names them: it remembers the serials it saw twice.
    QSet<QString> twin_serials = remembered_twin_serials();
    present_ = list_controllers(scanner_, &twin_serials);
    std::vector<SelectableController> named;
    for (const ControllerIdentity &identity : present_)
        named.push_back({identity.id, identity.serial});
    return named;
}

void DirectAccess::choose(int index)
{
    chosen_ = present_.at(size_t(index));
}

Answer DirectAccess::open()
{
    identification_error_.clear();
    if (!chosen_.path.isEmpty()) {
        // Without a lock nothing may be sent: the controller is not even opened.
        if (const QString problem = DeviceLock::for_node(chosen_.path).problem(); !problem.isEmpty())
            return lock_failure(problem);
        controller_.reopen(chosen_);
        if (const QString problem = controller_.status().lock_problem; !problem.isEmpty()) {
            controller_.reopen({});
            return lock_failure(problem);
        }
        // Another client's turn is waited for, except the window's when it
        // has no session bus: that one keeps the controller as long as it runs.
        if (!controller_.status().holder.isEmpty() && DeviceLock::for_node(chosen_.path).held_by_program())
            return Answer::failure(tr("the running morvane-pwm has no session bus, so morvane-pwmctl cannot reach "
                                      "it and it keeps the controller; use its window, or start it in a session "
                                      "with a D-Bus session bus"));
        const QDeadlineTimer turn(DeviceLock::CLIENT_WAIT_MS);
        while (!controller_.status().holder.isEmpty() && !turn.hasExpired()) {
            QThread::msleep(LOCK_RETRY_MS);
            controller_.check_hid_device();
        }
        // A node the system is still setting up gets the program's fast
        // retries before its failure is said.
        while (controller_.opening())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!controller_.connected() && !controller_.open_failure_details().empty())
            return cannot_open();
    }
    // Not connected, held elsewhere or loaded: the model's answer.
    const Answer loaded = settled([this](Controller::Reply reply) { controller_.when_loaded(std::move(reply)); },
                                  OPEN_TICKS);
    if (!identification_error_.isEmpty())
        return Answer::failure(identification_error_);
    if (!loaded.ok() && controller_.connected())
        return Answer::failure(tr("the controller did not send its configuration"));
    return loaded;
}

Answer DirectAccess::lock_failure(const QString &problem)
{
    return Answer::failure(tr("cannot make the device lock (%1), so the controller cannot be shared safely; "
                              "nothing was sent to it")
                               .arg(problem));
}

Answer DirectAccess::cannot_open() const
{
    const HidOpenFailure &failure = controller_.open_failure_details().front();
    return Answer::failure(tr("cannot open the controller at %1: %2; install the udev rule 70-morvane-pwm.rules "
                              "(the package puts it in /usr/lib/udev/rules.d), run 'sudo udevadm control --reload "
                              "&& sudo udevadm trigger' and replug the controller")
                               .arg(QString::fromStdString(failure.path), open_failure_reason(failure)));
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

// The poll cycle runs on its timers from here, as for watch: the sweep
// waits for readings over many ticks.
Answer DirectAccess::start_coupling()
{
    connect(&controller_, &Controller::coupling_progress, this, &ControllerAccess::coupling_progress);
    connect(&controller_, &Controller::coupling_finished, this, &DirectAccess::keep_coupling);
    connect(&controller_, &Controller::identification_failed, this,
            [this](int version_found) { emit ended(identification_text(version_found)); });
    if (const Refusal why = controller_.start_coupling(); why != Refusal::none)
        return answer(Outcome::refused(why));
    controller_.start();
    return {};
}

void DirectAccess::cancel_coupling()
{
    controller_.cancel_coupling();
}

// The regulation the sweep puts back goes to the controller with the next
// status pass and is read back with the one after; this process may end as
// soon as it hears of the end, so those passes run first (outside the pass
// that ended the sweep).
void DirectAccess::keep_coupling(const CouplingResult &result)
{
    QTimer::singleShot(0, this, [this, result] {
        for (int tick = 0; tick < CHANGE_TICKS && controller_.connected(); ++tick)
            controller_.form_update();
        QString not_kept;
        if (result.measured()) {
            HistoryStore store(HistoryStore::default_path());
            if (!store.is_open() || !store.save_coupling(chosen_.id, result))
                not_kept = store.problem();
        }
        emit coupling_finished(result, not_kept);
    });
}

QString DirectAccess::identification_text(int version_found)
{
    return version_found < 0 ? tr("the controller did not answer when asked who it is")
                             : tr("the controller reports version %1; this tool knows version %2 only")
                                   .arg(version_found)
                                   .arg(CONTROLLER_VERSION);
}
