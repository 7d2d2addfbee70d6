#pragma once

#include "controller_identity.h"
#include "controller_status.h"
#include "coupling_result.h"
#include "manual_change.h"
#include "outcome.h"
#include "protocol/config_block.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class Controller;
class HidBackend;
class QThread;
class ThreadHandOff;

// The controller as the GUI thread reaches it. Owns a Controller and, when
// threaded, the worker thread its poll cycle and exchanges run on; the GUI
// thread never waits for the controller. Actions go in as queued calls and
// answer once with an Outcome, delivered on the caller's thread; the
// status and the applied configuration come out as values. Nothing is
// shared between the threads but these copies.
//
// Unthreaded (tests), the Controller lives on the caller's thread: actions
// and signals are direct, and a test drives the poll cycle through
// controller() as before.
class ControllerThread : public QObject
{
    Q_OBJECT

public:
    using Reply = std::function<void(const Outcome &)>;
    enum class Threading { worker, caller };

    ControllerThread(HidBackend &backend, Threading threading, QObject *parent = nullptr);
    // Ends the worker after its current exchange; writes nothing.
    ~ControllerThread() override;

    // Shares the controller with morvane-pwmctl through its node's lock
    // (see Controller::share_device).
    void share_device(bool shared);
    // The registry hears of unplugs from udev (see Controller::follow_hot_plug).
    void follow_hot_plug(bool followed);
    // The controller is now the interface `identity` names (see
    // Controller::reopen); identity() has it at once on this thread.
    void reopen(const ControllerIdentity &identity);
    const ControllerIdentity &identity() const { return identity_; }
    // Lets the device go (reopen with no path); `released` runs on this
    // thread once every action that was waiting has been answered.
    void release(std::function<void()> released);
    // The system is about to sleep (see Controller::sleep); `ready` runs on
    // this thread once the exchange under way is over and the device let go.
    void sleep(std::function<void()> ready);
    // The system woke: the controller is `identity` now (see Controller::wake).
    void wake(const ControllerIdentity &identity);
    // Opens the controller now if it is not open, and retries a failure of
    // it afresh (Controller::retry_open): for the node's udev "change" event.
    void retry_open();
    // Starts the device check and the poll cycle on the Controller's thread.
    void start();
    // Stops them after the tick under way; actions still reach the controller.
    void stop();
    // The slow poll while nobody looks (see Controller::set_quiet).
    void set_quiet(bool quiet);

    // The last values the Controller announced (copies on this thread).
    const ControllerStatus &status() const { return status_; }
    const ConfigBlock &applied_config() const { return applied_config_; }

    // Only for the caller's own thread when unthreaded (tests drive ticks).
    Controller &controller() { return *controller_; }

    // --- Actions: each answers `reply` once, on this object's thread ---------
    // Refused as busy while an earlier apply is still on its way.
    void apply(const ConfigBlock &config, ChangeSource source, Reply reply = {});
    void set_manual(bool manual, ChangeSource source, Reply reply = {});
    void set_manual_level(int level, ChangeSource source, Reply reply = {});
    void step(int direction, ChangeSource source, Reply reply = {}); // +1 up, -1 down
    // The program ends: from now on every action is refused at once as
    // closing; the poll cycle stops and, after whatever was asked before,
    // command 56 goes out once with the configuration this controller last
    // loaded or confirmed. `reply` gets the write-back's outcome.
    void end(Reply reply);
    bool closing() const { return closing_; }
    // Bounded wait for a load under way: done once loaded, refused otherwise.
    void when_loaded(Reply reply);
    // Measures the lamp's light (Controller::start_coupling): `reply` says
    // at once whether the sweep started; coupling_progress and once
    // coupling_finished follow.
    void start_coupling(Reply reply = {});
    // Ends the sweep under way as cancelled; nothing when none runs.
    void cancel_coupling();
    // The window's edits are not applied: the window's word, kept here
    // over every status copy from the Controller's thread, which may be
    // older than the last change.
    void set_edits_pending(bool pending);

signals:
    // apply, set_manual, set_manual_level or step was asked (not refused as
    // closing), before it goes to the Controller.
    void action_asked();
    // Threaded, changes of the readings alone come paced (see
    // Controller::pace_readings); unthreaded, every change.
    void status_changed(const ControllerStatus &status);
    // A load filled bytes 5..36, or an apply confirmed new ones: views show them.
    void configuration_loaded(const ConfigBlock &config);
    // Another program's apply changed the configuration (see Controller).
    void configuration_changed_elsewhere(ChangeSource via, const QDateTime &at);
    // The controller did not identify as version 1 (version_found, -1 when it did not answer).
    void identification_failed(int version_found);
    void manual_change(const ManualChange &change);
    // See Controller::coupling_progress and coupling_finished.
    void coupling_progress(int step, int steps);
    void coupling_finished(const CouplingResult &result);

private:
    // Runs `job` on the Controller's thread.
    void run(std::function<void(Controller &)> job);
    // Runs `deliver` on this object's thread.
    void deliver(std::function<void()> deliver);
    // The Controller's kind of reply, answering `reply` on this thread.
    std::function<void(const Outcome &)> answer(Reply reply);
    // Answers `reply` as closing when the program ends.
    bool refused_as_closing(const Reply &reply) const;

    std::unique_ptr<Controller> controller_;
    ThreadHandOff *worker_jobs_;  // runs jobs on the Controller's thread
    ThreadHandOff *caller_jobs_;  // runs jobs on this object's thread
    QThread *worker_ = nullptr;
    ControllerIdentity identity_;
    ControllerStatus status_;
    ConfigBlock applied_config_;
    bool closing_ = false;
    bool edits_pending_ = false;
};
