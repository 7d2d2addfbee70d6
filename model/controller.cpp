#include "controller.h"

#include "device_lock.h"

#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <cerrno>

namespace {

bool readings_alone_differ(const ControllerStatus &announced, ControllerStatus now)
{
    now.light = announced.light;
    now.pwm_width = announced.pwm_width;
    now.brightness_width = announced.brightness_width;
    return now == announced;
}

} // namespace

Controller::Controller(HidBackend &backend, QObject *parent)
    : QObject(parent)
    , hid_device_(backend)
{
    hid_device_.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
    QElapsedTimer clock;
    clock.start();
    clock_ = [clock] { return clock.elapsed(); };

    // Both timers are single-shot and re-armed after their job, so each
    // period counts from the end of the previous run and no job overlaps itself.
    check_timer_ = new QTimer(this);
    check_timer_->setObjectName(QStringLiteral("check_timer"));
    check_timer_->setSingleShot(true);
    // A coarse timer may fire 5 % late; a plugged-in controller should come
    // alive within one check and one tick.
    check_timer_->setTimerType(Qt::PreciseTimer);
    check_timer_->setInterval(DEVICE_CHECK_MS);
    connect(check_timer_, &QTimer::timeout, this, &Controller::check_hid_device);

    // Single-shot too: each retry arms the next one, so a retry and the
    // device check never both have an open on their way.
    open_retry_timer_ = new QTimer(this);
    open_retry_timer_->setObjectName(QStringLiteral("open_retry_timer"));
    open_retry_timer_->setSingleShot(true);
    open_retry_timer_->setTimerType(Qt::PreciseTimer);
    connect(open_retry_timer_, &QTimer::timeout, this, [this] {
        ++open_retries_made_;
        check_hid_device();
    });

    poll_timer_ = new QTimer(this);
    poll_timer_->setObjectName(QStringLiteral("poll_timer"));
    poll_timer_->setSingleShot(true);
    connect(poll_timer_, &QTimer::timeout, this, [this] {
        form_update();
        // After a failed identification the program is ending: the error
        // box holds the tick that reported it, so no other tick follows.
        if (timers_running_ && !identification_failed_ && poll_needed())
            poll_timer_->start(poll_ms());
    });
}

Controller::~Controller() = default;

void Controller::start()
{
    timers_running_ = true;
    keep_checking();
    if (poll_needed())
        poll_timer_->start(poll_ms());
}

void Controller::set_quiet(bool quiet)
{
    quiet_ = quiet;
    if (!quiet)
        hurry_poll();
}

void Controller::hurry_poll()
{
    if (poll_timer_->isActive() && poll_timer_->remainingTime() > POLL_MS)
        poll_timer_->start(0);
}

void Controller::stop()
{
    timers_running_ = false;
    check_timer_->stop();
    poll_timer_->stop();
    open_retry_timer_->stop();
}

bool Controller::open_retried_fast(int error_number)
{
    return error_number == EACCES || error_number == ENOENT || error_number == EBUSY;
}

bool Controller::opening() const
{
    return open_retry_timer_->isActive();
}

void Controller::retry_open()
{
    if (connected() || identity_.path.isEmpty() || closing_ || asleep_)
        return;
    forget_open_retries();
    check_hid_device();
}

void Controller::forget_open_retries()
{
    open_retry_timer_->stop();
    open_retries_made_ = 0;
}

// The device check may fail an open while retries are under way: it leaves
// their timer as it is, and a failure once they are spent arms nothing.
void Controller::follow_open_failure()
{
    const std::vector<HidOpenFailure> &failures = hid_device_.open_failures();
    if (failures.empty()) {
        forget_open_retries();
        return;
    }
    if (!open_retried_fast(failures.front().error_number))
        open_retries_made_ = OPEN_RETRY_MS.size();
    if (open_retries_made_ >= OPEN_RETRY_MS.size() || closing_) {
        open_retry_timer_->stop();
        return;
    }
    if (!open_retry_timer_->isActive())
        open_retry_timer_->start(OPEN_RETRY_MS[open_retries_made_]
                                 - (open_retries_made_ > 0 ? OPEN_RETRY_MS[open_retries_made_ - 1] : 0));
}

bool Controller::connected() const
{
    return hid_device_.connected();
}

bool Controller::identified() const
{
    return hid_device_.connected() && !hid_device_.identify_pending();
}

bool Controller::config_loaded() const
{
    return hid_device_.connected() && config_connection_ == hid_device_.connection_serial();
}

RegulationMode Controller::controller_mode() const
{
    return stored_config_.regulation_mode() == unsigned(RegulationMode::manual)
        ? RegulationMode::manual
        : RegulationMode::automatic;
}

bool ControllerStatus::operator==(const ControllerStatus &other) const
{
    const auto same_failures = [](const std::vector<HidOpenFailure> &a, const std::vector<HidOpenFailure> &b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const HidOpenFailure &x, const HidOpenFailure &y) {
            return x.path == y.path && x.reason == y.reason;
        });
    };
    return connected == other.connected && identified == other.identified && loaded == other.loaded
        && live == other.live && answering == other.answering
        && silent_since == other.silent_since && light == other.light && pwm_width == other.pwm_width
        && brightness_width == other.brightness_width && mode == other.mode && wanted_mode == other.wanted_mode
        && manual_level == other.manual_level && edits_pending == other.edits_pending && holder == other.holder
        && lock_problem == other.lock_problem && identity == other.identity && serial == other.serial
        && opening == other.opening && measuring == other.measuring
        && same_failures(open_failures, other.open_failures);
}

ControllerStatus Controller::status() const
{
    ControllerStatus now;
    now.connected = connected();
    now.identified = identified();
    now.loaded = config_loaded();
    now.live = live_;
    now.answering = answering();
    now.silent_since = silent_since();
    now.light = light_reading();
    now.pwm_width = pwm_width();
    now.brightness_width = brightness_width_;
    now.mode = controller_mode();
    now.wanted_mode = wanted_mode_;
    now.manual_level = manual_level_;
    now.edits_pending = edits_pending_;
    now.holder = holder_;
    now.lock_problem = lock_problem_;
    now.opening = opening();
    if (!now.opening)
        now.open_failures = hid_device_.open_failures();
    now.identity = identity_.id;
    now.serial = identity_.serial;
    now.measuring = measuring();
    return now;
}

QStringList Controller::open_failures() const
{
    QStringList lines;
    for (const HidOpenFailure &failure : hid_device_.open_failures())
        lines << QString::fromStdString(failure.path + ": " + failure.reason);
    return lines;
}

void Controller::share_device(bool shared)
{
    shared_ = shared;
    device_lock_.reset(shared && !identity_.path.isEmpty() ? new DeviceLock(DeviceLock::for_node(identity_.path))
                                                           : nullptr);
}

void Controller::sleep()
{
    if (asleep_)
        return;
    asleep_ = true;
    timers_before_sleep_ = timers_running_;
    stop();
    config_before_sleep_.reset();
    if (config_loaded())
        config_before_sleep_ = stored_config_;
    hid_device_.close();
    if (device_lock_)
        device_lock_->unlock();
    stop_coupling(CouplingSweep::UNPLUGGED);
    forget_failed_reads();
    if (settling())
        answer_all(Outcome::refused(unavailable()));
}

void Controller::wake(const ControllerIdentity &identity)
{
    if (!asleep_)
        return;
    asleep_ = false;
    identity_ = identity;
    share_device(shared_);
    // Its node may be new to udev: a failed open gets every retry.
    forget_open_retries();
    waking_ = true;
    check_hid_device();
    if (!connected()) {
        // No tick may follow to say so (under udev none runs without a device).
        waking_ = false;
        announce_value();
    }
    if (timers_before_sleep_)
        start();
}

void Controller::follow_hot_plug(bool followed)
{
    hot_plug_followed_ = followed;
    keep_checking();
}

bool Controller::check_needed() const
{
    return !hot_plug_followed_ || link_failed_
        || (!identity_.path.isEmpty() && (!connected() || !holder_.isEmpty()));
}

// Under udev nothing is polled while no device is held: the tick after the
// device went says so, then the program sleeps until a device check opens one.
bool Controller::poll_needed() const
{
    return !hot_plug_followed_ || connected();
}

// Re-armed after each check, so each period counts from the end of the last.
void Controller::keep_checking()
{
    if (timers_running_ && check_needed() && !check_timer_->isActive())
        check_timer_->start();
    if (timers_running_ && !identification_failed_ && connected() && !poll_timer_->isActive())
        poll_timer_->start(poll_ms());
}

void Controller::reopen(const ControllerIdentity &identity)
{
    waking_ = false;
    const bool other_node = identity.path != identity_.path;
    identity_ = identity;
    link_checked_ = true;
    if (!other_node) {
        announce_value();
        return;
    }
    hid_device_.close();
    stop_coupling(CouplingSweep::UNPLUGGED);
    forget_open_retries();
    // The node's lock goes with it: another node has its own.
    share_device(shared_);
    if (identity_.path.isEmpty()) {
        forget_failed_reads();
        if (!poll_needed()) {
            // Under udev no tick follows to say so.
            live_ = false;
            poll_timer_->stop();
        }
        if (settling())
            answer_all(Outcome::refused(unavailable()));
        announce_value();
        return;
    }
    check_hid_device();
}

void Controller::check_hid_device()
{
    // While another process holds the lock, the controller is left to it
    // until a later check. A lock that cannot be made at all is said, and
    // the controller is opened uncoordinated rather than never.
    const bool locked = !device_lock_ || device_lock_->try_lock();
    holder_ = locked ? QString() : device_lock_->holder();
    lock_problem_ = device_lock_ ? device_lock_->problem() : QString();
    if (!lock_problem_.isEmpty())
        holder_.clear();
    if ((locked || !lock_problem_.isEmpty()) && !identity_.path.isEmpty())
        hid_device_.open(identity_.path.toStdString());
    if (device_lock_ && !connected())
        device_lock_->unlock();
    follow_open_failure();
    const bool same_connection = connected() && check_connection_ == hid_device_.connection_serial();
    check_connection_ = hid_device_.connection_serial();
    if (!same_connection)
        forget_failed_reads();
    else if (link_failed_ && failed_reads_ >= SILENT_AFTER_FAILED_READS)
        silent_ = true; // still there: its link fails, not its plug
    if (!connected())
        stop_coupling(CouplingSweep::UNPLUGGED);
    else if (silent_)
        stop_coupling(CouplingSweep::SILENT);
    if (!connected() && settling())
        answer_all(Outcome::refused(unavailable()));
    link_checked_ = true;
    announce_value();
    keep_checking();
}

// Most ticks change nothing: the live fields are compared before the whole
// value is built. The rest of it changes only at a device check.
void Controller::announce_value(bool paced)
{
    if (asleep_ || waking_)
        return;
    const ControllerStatus &last = announced_value_;
    if (!link_checked_ && last.connected == connected() && last.identified == identified()
        && last.loaded == config_loaded() && last.live == live_ && last.answering == answering()
        && last.silent_since == silent_since() && last.light == light_reading()
        && last.pwm_width == pwm_width() && last.brightness_width == brightness_width_
        && last.mode == controller_mode() && last.wanted_mode == wanted_mode_ && last.manual_level == manual_level_
        && last.edits_pending == edits_pending_ && last.measuring == measuring())
        return;
    link_checked_ = false;
    const ControllerStatus now = status();
    if (now == announced_value_ || (paced && readings_held(now)))
        return;
    announced_value_ = now;
    announced_at_.start();
    emit status_value_changed(now);
}

// Each announcement opens a pace; a change of the readings alone waits for
// its end, any other change goes through it.
bool Controller::readings_held(const ControllerStatus &now) const
{
    return readings_paced_ && announced_at_.isValid()
        && announced_at_.elapsed() < (quiet_ ? QUIET_READINGS_MS : READINGS_MS)
        && readings_alone_differ(announced_value_, now);
}

Refusal Controller::unavailable() const
{
    if (closing_)
        return Refusal::closing;
    if (const Refusal why = link_refusal(connected(), !holder_.isEmpty()); why != Refusal::none)
        return why;
    if (identification_failed_)
        return Refusal::not_identified;
    if (!config_loaded() || loading_)
        return Refusal::loading;
    return Refusal::none;
}

Refusal Controller::action_refusal() const
{
    if (const Refusal why = unavailable(); why != Refusal::none)
        return why;
    return measuring() ? Refusal::measuring : Refusal::none;
}

Refusal Controller::refuse(Refusal why, const Reply &reply) const
{
    if (reply)
        reply(why == Refusal::none ? Outcome::done() : Outcome::refused(why));
    return why;
}

void Controller::answer_all(const Outcome &outcome)
{
    std::vector<Waiting> answered;
    answered.swap(waiting_);
    for (const Waiting &waiting : answered)
        if (waiting.reply)
            waiting.reply(outcome);
    level_change_waiting_ = false;
}

// A mode is answered once the controller reports it; a level once a status
// pass sent it (or failed to); a load once it is done. Past its deadline an
// action is answered as not confirmed.
void Controller::answer_waiting(bool level_sent)
{
    if (waiting_.empty() && !level_change_waiting_)
        return;
    if (level_change_waiting_ && level_sent) {
        level_change_waiting_ = false;
        if (level_before_ != manual_level_)
            emit manual_change({QDateTime::currentDateTimeUtc(), identity_.id, light_reading(), level_before_,
                                manual_level_, level_source_});
    }
    std::vector<Waiting> still;
    std::vector<std::pair<Reply, Outcome>> answers;
    for (Waiting &waiting : waiting_) {
        bool settled = false;
        Outcome outcome = Outcome::done();
        switch (waiting.kind) {
        case Waiting::Kind::mode:
            settled = controller_mode() == waiting.mode && status_connection_ == hid_device_.connection_serial();
            break;
        case Waiting::Kind::level:
            settled = true;
            outcome = level_sent ? Outcome::done() : Outcome::not_confirmed();
            break;
        case Waiting::Kind::loaded:
            settled = config_loaded();
            break;
        }
        if (!settled && waiting.deadline.hasExpired()) {
            settled = true;
            outcome = waiting.kind == Waiting::Kind::loaded ? Outcome::refused(Refusal::loading)
                                                            : Outcome::not_confirmed();
        }
        if (settled)
            answers.emplace_back(std::move(waiting.reply), outcome);
        else
            still.push_back(std::move(waiting));
    }
    waiting_.swap(still);
    for (const auto &[reply, outcome] : answers)
        if (reply)
            reply(outcome);
}

void Controller::settle(int max_ticks)
{
    for (int tick = 0; tick < max_ticks && settling() && connected(); ++tick)
        form_update();
}

void Controller::when_loaded(Reply reply)
{
    const Refusal why = unavailable();
    if (why != Refusal::loading || identification_failed_) {
        refuse(why, reply);
        return;
    }
    waiting_.push_back({Waiting::Kind::loaded, RegulationMode::automatic, QDeadlineTimer(SETTLE_MS), std::move(reply)});
}

// Switching the regulation mode is not a configuration edit. The manual
// level starts at the brightness the controller drives now; the poll cycle
// switches the controller over on its next pass.
Refusal Controller::set_wanted_mode(RegulationMode mode, ChangeSource, Reply reply)
{
    if (const Refusal why = action_refusal(); why != Refusal::none)
        return refuse(why, reply);
    regulation_held_ = false;
    choose_mode(mode);
    announce_value();
    if (controller_mode() == mode)
        return refuse(Refusal::none, reply);
    waiting_.push_back({Waiting::Kind::mode, mode, QDeadlineTimer(SETTLE_MS), std::move(reply)});
    return Refusal::none;
}

void Controller::choose_mode(RegulationMode mode)
{
    if (mode == wanted_mode_)
        return;
    wanted_mode_ = mode;
    set_level(int(stored_config_.pwm_width()));
}

Refusal Controller::set_manual_level(int level, ChangeSource source, Reply reply)
{
    if (level < 0 || level > PWM_FULL_SCALE)
        return refuse(Refusal::out_of_range, reply);
    if (const Refusal why = action_refusal(); why != Refusal::none)
        return refuse(why, reply);
    if (wanted_mode_ != RegulationMode::manual)
        return refuse(Refusal::not_manual, reply);
    return change_level(level, source, std::move(reply));
}

// Acts only while the controller itself reports manual regulation: after the
// poll cycle has switched it over, or when it was in manual mode already.
// Nothing is sent here; the next status pass sends the level.
Refusal Controller::pwm_width_step(int step, ChangeSource source, Reply reply)
{
    if (!connected() || closing_)
        return refuse(unavailable(), reply);
    if (loading_)
        return refuse(Refusal::loading, reply);
    if (measuring())
        return refuse(Refusal::measuring, reply);
    if (controller_mode() != RegulationMode::manual)
        return refuse(Refusal::not_manual, reply);
    return change_level(std::clamp(manual_level_ + step, 0, PWM_FULL_SCALE), source, std::move(reply));
}

// Consecutive changes before one status pass are one correction: from the
// brightness before the first to the level the pass sends.
Refusal Controller::change_level(int level, ChangeSource source, Reply reply)
{
    regulation_held_ = false;
    if (!level_change_waiting_ && level != manual_level_) {
        level_change_waiting_ = true;
        level_before_ = brightness_width_;
    }
    level_source_ = source;
    set_level(level);
    waiting_.push_back({Waiting::Kind::level, RegulationMode::manual, QDeadlineTimer(SETTLE_MS), std::move(reply)});
    announce_value();
    return Refusal::none;
}

// The controller may report a width beyond the scale; the level stays on it.
void Controller::set_level(int level)
{
    manual_level_ = std::clamp(level, 0, PWM_FULL_SCALE);
}

void Controller::set_edits_pending(bool pending)
{
    if (pending == edits_pending_)
        return;
    edits_pending_ = pending;
    announce_value();
}

// Command 56 goes only to a controller identified as version 1 on this
// connection, and only with configuration bytes that a load from it or an
// Apply on it filled: anything else would overwrite the controller's
// settings with bytes that never came from it or from the user.
bool Controller::config_write_allowed() const
{
    return identified() && config_connection_ == hid_device_.connection_serial();
}

bool Controller::send_config_block(const ConfigBlock &block)
{
    std::copy(block.bytes.begin(), block.bytes.end(), payload_buffer_.begin());
    return hid_device_.exchange(cmd_write_config, nullptr, payload_buffer_.data());
}

// Bytes 0..4 go out as the controller last reported them, so nothing is sent
// before it has reported them on this connection: zeros or another
// connection's bytes could change its regulation mode.
Refusal Controller::claim_apply()
{
    return apply_claimed_.exchange(true) ? Refusal::busy : Refusal::none;
}

Outcome Controller::apply_config(const ConfigBlock &config, ChangeSource source)
{
    const auto turn_ends = qScopeGuard([this] { apply_claimed_ = false; });
    if (const Refusal why = action_refusal(); why != Refusal::none)
        return Outcome::refused(why);
    if (status_connection_ != hid_device_.connection_serial())
        return Outcome::refused(Refusal::loading);
    if (const Refusal why = replacement_refusal(edits_pending_, source); why != Refusal::none)
        return Outcome::refused(why);
    ConfigBlock block = stored_config_;
    std::copy(config.bytes.begin() + ConfigBlock::STATUS_SIZE, config.bytes.end(),
              block.bytes.begin() + ConfigBlock::STATUS_SIZE);
    if (!send_config_block(block))
        return Outcome::not_confirmed();
    // Confirmed: the block now holds the configuration chosen for the
    // controller on this connection; the write-back sends it again.
    const bool changed = block.bytes != stored_config_.bytes;
    stored_config_ = block;
    config_connection_ = hid_device_.connection_serial();
    if (changed) {
        emit configuration_loaded();
        if (source != ChangeSource::window)
            emit configuration_changed_elsewhere(source, QDateTime::currentDateTimeUtc());
    }
    return Outcome::done();
}

// As last loaded or confirmed, never anyone's unapplied edits.
Outcome Controller::write_back()
{
    if (!config_write_allowed())
        return Outcome::refused(unavailable() == Refusal::none ? Refusal::loading : unavailable());
    return send_config_block(stored_config_) ? Outcome::done() : Outcome::not_confirmed();
}

// Whatever was queued before the end has been answered already (one thread,
// in order); whatever still waits for a tick would wait for ever. No tick
// follows to carry the regulation a sweep put back: it goes out here.
Outcome Controller::end()
{
    if (closing_)
        return Outcome::refused(Refusal::closing);
    closing_ = true;
    stop();
    if (measuring()) {
        stop_coupling(CouplingSweep::CLOSING);
        if (connected())
            carry_regulation();
    }
    answer_all(Outcome::refused(Refusal::closing));
    return write_back();
}
