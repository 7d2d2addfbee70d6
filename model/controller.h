#pragma once

#include "controller_identity.h"
#include "controller_status.h"
#include "coupling_sweep.h"
#include "device/hid_device.h"
#include "manual_change.h"
#include "outcome.h"
#include "protocol/commands.h"
#include "protocol/config_block.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class DeviceLock;
class QTimer;

// One controller as the program knows it, apart from any window: owns the
// HidDevice for the interface it was given (reopen()), the stored
// ConfigBlock and the two single-shot timers (500 ms device check, 50 ms
// poll, 1 s while nobody looks), and runs the poll cycle (identify, load, status pass, mode and
// manual level). Finding controllers is the registry's job. It is plain single-threaded code: the
// program runs it on a worker thread through ControllerThread, tests and
// the direct client drive check_hid_device() and form_update() themselves.
//
// It is also the one rule book: every action is decided here and answers
// once with an Outcome; callers only put that into words.
class Controller : public QObject
{
    Q_OBJECT

public:
    static constexpr int DEVICE_CHECK_MS = 500;
    static constexpr int POLL_MS = 50;
    // The poll while nobody looks (PollCadence). The history counts each
    // status as holding until the next one that differs, so a change seen
    // up to a second late moves a minute's mean by at most 1/60 of that
    // change, and its connected seconds by at most one.
    static constexpr int QUIET_POLL_MS = 1000;
    // How often a change of the readings alone (light, width, brightness)
    // is announced while paced (pace_readings): three times a second while
    // someone looks, so a changing number stays readable and each change
    // costs every view, D-Bus and the history little; once in 5 s while
    // nobody looks, as nobody reads them then but the history (see
    // HistoryRecorder on why its minutes stay sound).
    static constexpr int READINGS_MS = 333;
    static constexpr int QUIET_READINGS_MS = 5000;
    static constexpr int HOTKEY_PWM_STEP = 17;  // one hot-key step, 3 % of PWM_FULL_SCALE
    // How long a mode switch may take to be reported, and a caller waits for
    // a load under way.
    static constexpr int SETTLE_MS = 3000;
    // The longest an action waits for its answer: a tick under way whose
    // exchanges time out both ways, then the action's own, then the settling.
    static constexpr int WORST_ANSWER_MS = 4 * HID_EXCHANGE_TIMEOUT_MS + SETTLE_MS;
    // Status reads that fail in a row before the controller is said to be
    // silent: about 6 s when each waits out the exchange's time limit.
    static constexpr int SILENT_AFTER_FAILED_READS = 2;
    // An open that fails as a new node's do for a moment (open_retried_fast)
    // is tried again this many ms after the failure, before it is said.
    static constexpr std::array<int, 5> OPEN_RETRY_MS = {100, 200, 400, 800, 1600};
    // EACCES (udev has not handed the node to the user yet), ENOENT (nor
    // made it) and EBUSY (the driver still holds it).
    static bool open_retried_fast(int error_number);

    // Answers an action once, on the Controller's thread.
    using Reply = std::function<void(const Outcome &)>;

    explicit Controller(HidBackend &backend, QObject *parent = nullptr);
    ~Controller() override; // writes nothing: write_back() is the caller's choice

    // Starts both timers (the program); tests and one-shot clients drive
    // check_hid_device() and form_update() themselves.
    void start();
    void stop();
    // Polls every QUIET_POLL_MS instead of POLL_MS; back from the quiet, a
    // tick due later than POLL_MS from now runs at once instead, so that an
    // action never waits for a quiet tick.
    void set_quiet(bool quiet);
    // A sweep under way polls at POLL_MS whoever looks: its steps wait for readings.
    int poll_ms() const { return quiet_ && !sweep_ ? QUIET_POLL_MS : POLL_MS; }
    // From now on a change of the readings alone is announced at most every
    // READINGS_MS (QUIET_READINGS_MS while quiet), by the first tick after
    // that pace has passed, with the latest readings; every other change at
    // once, with the latest readings too. No timer of its own: a reading
    // held is announced by a later tick, the poll going on anyway. The
    // program's worker paces; tests and the direct client drive ticks
    // themselves and see every change.
    void pace_readings(bool paced) { readings_paced_ = paced; }
    // Shares the controller with other processes (the command-line client):
    // the device check opens it only while holding its device node's lock
    // (DeviceLock::for_node), and lets go once it is closed. Unshared,
    // nothing is coordinated.
    void share_device(bool shared);
    // udev tells the registry when a device goes, so a controller that holds
    // its device needs no device check of its own; one still opening it,
    // left to another process or whose link fails keeps checking.
    void follow_hot_plug(bool followed);
    // From now on the controller is the interface `identity` names: a
    // handle held for another node is closed (with its lock) and the new
    // one is opened at once. An empty path lets the controller go: nothing
    // is opened until the next reopen, and waiting actions are answered.
    void reopen(const ControllerIdentity &identity);
    const ControllerIdentity &identity() const { return identity_; }
    // The system is about to sleep: the timers stop, the device and its lock
    // are let go and waiting actions answered as after an unplug. The views
    // keep what they were told: nothing is announced until after wake().
    void sleep();
    // The system woke: the controller is `identity` now (its node may be
    // another after a replug during sleep; an empty path when it is gone),
    // opened at once, and the timers run again if they ran. The first tick
    // after announces only what changed: a load that finds the configuration
    // as it was before the sleep is not announced.
    void wake(const ControllerIdentity &identity);
    // Opens the controller now if it is not open, and retries a failure of
    // it afresh at OPEN_RETRY_MS (the node's udev "change" event: its
    // permissions may have changed). Not while the system sleeps.
    void retry_open();
    // A failed open is being retried at OPEN_RETRY_MS; its failure is said
    // (open_failures in status()) only once the retries are spent.
    bool opening() const;

    // --- State --------------------------------------------------------------
    // Everything the views show, as one value (also emitted on change).
    ControllerStatus status() const;
    bool connected() const;
    bool identified() const;    // answered version 1 on this connection
    bool config_loaded() const; // bytes 5..36 come from a load or an Apply on this connection
    const ConfigBlock &stored_config() const { return stored_config_; }
    unsigned light_reading() const { return stored_config_.light_adc(); }
    unsigned pwm_width() const { return stored_config_.pwm_width(); }
    // As the last status reported it: manual exactly when byte 4 is 1.
    RegulationMode controller_mode() const;
    // The width the brightness read-out shows: the manual level once a status
    // pass has sent it with command 57, otherwise the width last reported.
    int brightness_width() const { return brightness_width_; }
    // The last poll tick that found the controller completed a whole status
    // pass; cleared by the first tick that finds no controller. The form can
    // be edited exactly while this holds.
    bool live() const { return live_; }
    // False only while connected and the controller has failed
    // SILENT_AFTER_FAILED_READS status reads in a row; clears at the next
    // status read it answers.
    bool answering() const { return !silent_; }
    // When the first of those reads began (UTC); invalid while answering.
    QDateTime silent_since() const { return silent_ ? first_failed_read_ : QDateTime(); }
    RegulationMode wanted_mode() const { return wanted_mode_; }
    int manual_level() const { return manual_level_; } // 0..PWM_FULL_SCALE
    // Matching interfaces the last device search could not open, as
    // "path: reason" lines, and as the device reports them.
    QStringList open_failures() const;
    const std::vector<HidOpenFailure> &open_failure_details() const
    {
        return hid_device_.open_failures();
    }
    // The window holds edits it has not applied (set by the window; other
    // clients read it before they replace the configuration).
    bool edits_pending() const { return edits_pending_; }
    // Actions are waiting for the controller's answer.
    bool settling() const { return !waiting_.empty(); }

    // --- Actions ------------------------------------------------------------
    // Each returns its refusal at once (Refusal::none when it goes ahead)
    // and answers `reply` once, refusals included.

    // Writes bytes 5..36 of `config` (bytes 0..4 go out as last reported),
    // now. Only a confirmed write becomes the configuration the views show
    // and the write-back sends. Callers other than the window are refused
    // while the window holds unapplied edits.
    Outcome apply_config(const ConfigBlock &config, ChangeSource source = ChangeSource::window);
    // One write at a time: a flood of applies from a script would otherwise
    // queue exchanges ahead of every poll tick. An apply handed over from
    // another thread claims its turn first (safe from any thread) and is
    // refused as busy while an earlier one is on its way; apply_config ends
    // the turn.
    Refusal claim_apply();
    // Answered once the controller reports the mode (or after SETTLE_MS).
    Refusal set_wanted_mode(RegulationMode mode, ChangeSource source = ChangeSource::window, Reply reply = {});
    // Only while manual regulation is wanted; answered once a status pass
    // has sent the level with command 57.
    Refusal set_manual_level(int level, ChangeSource source = ChangeSource::window, Reply reply = {});
    // The hot keys' step: only while the controller itself reports manual
    // regulation and no load is under way.
    Refusal pwm_width_step(int step, ChangeSource source = ChangeSource::hot_key, Reply reply = {});
    // The write-back on close: command 56 with the configuration this
    // controller last loaded or confirmed, only to a controller identified
    // on this connection.
    Outcome write_back();
    // The program ends: stops the poll cycle, refuses every action from now
    // on as closing (those still waiting included) and writes back once.
    Outcome end();
    bool closing() const { return closing_; }
    // Done once the configuration is loaded; a load under way is waited for
    // up to SETTLE_MS.
    void when_loaded(Reply reply);
    void set_edits_pending(bool pending);
    // While held, status passes only read: neither the wanted mode nor the
    // manual level goes to the controller (a client that came to read).
    // Any regulating action lets go.
    void hold_regulation(bool held) { regulation_held_ = held; }
    // Runs poll ticks until no action waits for the controller, at most
    // max_ticks (the direct client, which has no timers running).
    void settle(int max_ticks);

    // --- Measuring the lamp's light -------------------------------------------
    // Sweeps the brightness in manual regulation (CouplingSweep), fed by the
    // poll cycle; reports coupling_progress and once coupling_finished.
    // Refused while the window holds unapplied edits, the controller cannot
    // be reached or is loading, or a sweep runs (measuring). Meanwhile mode,
    // level, step and apply are refused as measuring, its levels are no
    // manual changes, and every ending (the last step, cancel, silence,
    // unplug, sleep, end()) puts back the mode and manual level wanted
    // before it; when the controller went, its next connection gets them.
    Refusal start_coupling(Reply reply = {});
    // Ends the sweep under way as cancelled; nothing when none runs.
    void cancel_coupling();
    bool measuring() const { return sweep_.has_value(); }
    // The sweep's waits; by default CouplingSweep::Timing::from_environment().
    void set_coupling_timing(CouplingSweep::Timing timing) { coupling_timing_ = timing; }
    // The monotonic clock (ms) the sweep is fed with; tests give the
    // simulator's virtual one.
    void set_clock(std::function<qint64()> now_ms) { clock_ = std::move(now_ms); }

public slots:
    void check_hid_device(); // one device check
    void form_update();    // one poll tick

signals:
    // Any field of status() changed.
    void status_value_changed(const ControllerStatus &status);
    // The controller took a change of the manual level.
    void manual_change(const ManualChange &change);
    // A load filled bytes 5..36, or an apply from any client changed them:
    // views show them. Every load emits it, changed or not, but the first
    // after a sleep that found it as it was.
    void configuration_loaded();
    // A confirmed apply from another program changed bytes 5..36; follows
    // configuration_loaded. `at` is UTC.
    void configuration_changed_elsewhere(ChangeSource via, const QDateTime &at);
    // The controller did not identify as version 1 (version_found, or -1 when
    // it did not answer): the program ends after telling the user. Until then
    // it gets nothing but the load's read, and no poll tick follows.
    void identification_failed(int version_found);
    // A sweep started (0) or finished a step, of `steps`.
    void coupling_progress(int step, int steps);
    // A sweep ended, measured or with the word of why not
    // (CouplingSweep::CANCELLED, ...). The mode and level are put back first.
    void coupling_finished(const CouplingResult &result);

private:
    // Poll cycle steps; those returning bool return false when an exchange failed.
    void identify();
    bool load_config();
    bool status_pass();
    bool carry_regulation();
    bool send_mode(RegulationMode mode);
    void note_light_reading() const;
    void note_status_read(bool answered, qint64 started_ms);
    void forget_failed_reads();
    bool config_write_allowed() const;
    bool send_config_block(const ConfigBlock &block);
    // Why an action cannot reach the controller now (none when it can).
    Refusal unavailable() const;
    Refusal refuse(Refusal why, const Reply &reply) const;
    // Answers the actions waiting for the controller once a tick has shown
    // what became of them.
    void answer_waiting(bool level_sent);
    void answer_all(const Outcome &outcome);
    Refusal change_level(int level, ChangeSource source, Reply reply);
    void set_level(int level);
    void choose_mode(RegulationMode mode);
    void tick();
    // Unpaced, a change of the readings alone is announced at once too.
    void announce_value(bool paced = true);
    bool readings_held(const ControllerStatus &now) const;
    bool check_needed() const;
    bool poll_needed() const;
    // Arms the device check and the poll each where needed.
    void keep_checking();
    // After each open: arms the next fast retry of a failure, or forgets the
    // retries once the controller is open or gone.
    void follow_open_failure();
    void forget_open_retries();
    // A tick due later than POLL_MS from now runs at once instead.
    void hurry_poll();
    // Why a regulating or configuring action cannot go ahead now.
    Refusal action_refusal() const;
    // Feeds the sweep this tick's status read and drives its width.
    void follow_coupling();
    // Ends the sweep under way, if any, without a result: `why` is the word.
    void stop_coupling(const char *why);
    // Puts back the regulation wanted before the sweep, then says how it ended.
    void finish_coupling(const CouplingResult &result);

    // An action waiting for the controller.
    struct Waiting
    {
        enum class Kind { mode, level, loaded } kind;
        RegulationMode mode; // for Kind::mode
        QDeadlineTimer deadline;
        Reply reply;
    };

    HidDevice hid_device_;
    ConfigBlock stored_config_;
    std::array<unsigned char, HID_REPLY_SIZE> reply_buffer_{};
    std::array<unsigned char, HID_REPLY_SIZE> payload_buffer_{};
    RegulationMode wanted_mode_ = RegulationMode::automatic;
    int manual_level_ = 0;
    bool edits_pending_ = false;
    bool regulation_held_ = false;
    bool closing_ = false;
    // Claimed from the caller's thread while the worker reads its
    // neighbours: a line of its own, so that the compiler's wider loads of
    // the plain fields never span it (ThreadSanitizer reported one in
    // announce_value) and a claim does not evict the worker's line.
    alignas(64) std::atomic<bool> apply_claimed_{false};
    int brightness_width_ = 0;
    bool live_ = false;
    // Status reads failed in a row on this connection, and when the first
    // of them started. A read that failed on the link (as an unplug makes
    // it fail) counts towards silence once a device check has found the
    // controller still there; one left without a reply counts at once.
    int failed_reads_ = 0;
    QDateTime first_failed_read_;
    bool link_failed_ = false;
    bool silent_ = false;
    // Set while a load announces itself: the hot keys' step waits.
    bool loading_ = false;
    bool identification_failed_ = false;
    bool level_sent_ = false; // this tick's status pass sent the manual level
    std::vector<Waiting> waiting_;
    // The level change waiting for a status pass to send it, for the history.
    bool level_change_waiting_ = false;
    int level_before_ = 0;
    ChangeSource level_source_ = ChangeSource::window;
    QString holder_;       // who else has the controller, as the lock says
    QString lock_problem_; // the lock could not be made
    ControllerIdentity identity_; // the interface this controller is (reopen)
    unsigned check_connection_ = 0; // the connection the last device check saw
    ControllerStatus announced_value_;
    bool readings_paced_ = false;
    QElapsedTimer announced_at_; // the last announcement, for the pace
    // A device check ran since the last announcement: the holder, the open
    // failures or the identity may have changed.
    bool link_checked_ = true;
    // Connection whose configuration bytes 5..36 of stored_config_ hold (from
    // a load or an Apply on it); 0 while they hold nothing written to or read
    // from the connected controller. Guards command 56.
    unsigned config_connection_ = 0;
    // Connection on which bytes 0..4 were last read (a load or a status
    // pass); 0 before the first read.
    unsigned status_connection_ = 0;
    bool timers_running_ = false;
    bool quiet_ = false;
    bool timers_before_sleep_ = false;
    bool asleep_ = false;
    // From wake() to the end of the first tick or reopen after it:
    // announcements wait.
    bool waking_ = false;
    // What was loaded or confirmed before the sleep, if anything.
    std::optional<ConfigBlock> config_before_sleep_;
    bool hot_plug_followed_ = false;
    bool shared_ = false;
    std::unique_ptr<DeviceLock> device_lock_; // of identity_.path while shared
    QTimer *poll_timer_ = nullptr;
    QTimer *check_timer_ = nullptr;
    QTimer *open_retry_timer_ = nullptr;
    size_t open_retries_made_ = 0; // OPEN_RETRY_MS.size(): spent, or not worth one

    // What was wanted of the controller `identity` before a sweep.
    struct Regulation
    {
        RegulationMode mode;
        int level;
        QString identity;
    };
    std::optional<CouplingSweep> sweep_;
    Regulation regulation_before_sweep_{RegulationMode::automatic, 0, QString()};
    // Put back by a sweep's ending and not yet carried to the controller:
    // its next load takes it instead of the controller's own mode.
    std::optional<Regulation> regulation_to_restore_;
    CouplingSweep::Timing coupling_timing_ = CouplingSweep::Timing::from_environment();
    std::function<qint64()> clock_;
};
