#include "controller.h"

#include "device_lock.h"

#include <QTimer>

#include <algorithm>

Controller::Controller(HidBackend &backend, QObject *parent)
    : QObject(parent)
    , hid_device_(backend)
{
    hid_device_.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);

    // Both timers are single-shot and re-armed after their job, so each
    // period counts from the end of the previous run and no job overlaps itself.
    check_timer_ = new QTimer(this);
    check_timer_->setObjectName(QStringLiteral("check_timer"));
    check_timer_->setSingleShot(true);
    // A coarse timer may fire 5 % late; a plugged-in controller should come
    // alive within one check and one tick.
    check_timer_->setTimerType(Qt::PreciseTimer);
    check_timer_->setInterval(DEVICE_CHECK_MS);
    connect(check_timer_, &QTimer::timeout, this, [this] {
        check_hid_device();
        if (timers_running_)
            check_timer_->start();
    });

    poll_timer_ = new QTimer(this);
    poll_timer_->setObjectName(QStringLiteral("poll_timer"));
    poll_timer_->setSingleShot(true);
    poll_timer_->setInterval(POLL_MS);
    connect(poll_timer_, &QTimer::timeout, this, [this] {
        form_update();
        if (timers_running_)
            poll_timer_->start();
    });
}

Controller::~Controller() = default;

void Controller::start()
{
    timers_running_ = true;
    check_timer_->start();
    poll_timer_->start();
}

void Controller::stop()
{
    timers_running_ = false;
    check_timer_->stop();
    poll_timer_->stop();
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

QStringList Controller::open_failures() const
{
    QStringList lines;
    for (const HidOpenFailure &failure : hid_device_.open_failures())
        lines << QString::fromStdString(failure.path + ": " + failure.reason);
    return lines;
}

void Controller::check_hid_device()
{
    const bool was_connected = connected();
    const bool was_identified = identified();
    // While another process holds the lock, the controller is left to it
    // until a later check.
    if (!device_lock_ || device_lock_->try_lock())
        hid_device_.open();
    if (device_lock_ && !connected())
        device_lock_->unlock();
    const QStringList failures = open_failures();
    if (failures != announced_open_failures_) {
        announced_open_failures_ = failures;
        emit open_failures_changed(failures);
    }
    announce_link(was_connected, was_identified);
}

void Controller::announce_link(bool was_connected, bool was_identified)
{
    if (connected() != was_connected)
        emit connected_changed(connected());
    if (identified() != was_identified)
        emit identified_changed(identified());
}

// Switching the regulation mode is not a configuration edit. The manual
// level starts at the brightness the controller drives now; the poll cycle
// switches the controller over on its next pass.
void Controller::set_wanted_mode(RegulationMode mode)
{
    if (mode == wanted_mode_)
        return;
    wanted_mode_ = mode;
    emit wanted_mode_changed(mode);
    set_manual_level(int(stored_config_.pwm_width()));
}

void Controller::set_manual_level(int level)
{
    level = std::clamp(level, 0, PWM_FULL_SCALE);
    if (level == manual_level_)
        return;
    manual_level_ = level;
    emit manual_level_changed(level);
}

// Acts only while the controller itself reports manual regulation: after the
// poll cycle has switched it over, or when it was in manual mode already.
// Nothing is sent here; the next status pass sends the level.
bool Controller::pwm_width_step(int step)
{
    if (!hid_device_.connected() || loading_ || controller_mode() != RegulationMode::manual)
        return false;
    set_manual_level(manual_level_ + step);
    return true;
}

void Controller::hot_key_pressed(int id)
{
    if (id == HOTKEY_PWM_UP)
        pwm_width_step(+HOTKEY_PWM_STEP);
    else if (id == HOTKEY_PWM_DOWN)
        pwm_width_step(-HOTKEY_PWM_STEP);
}

void Controller::set_edits_pending(bool pending)
{
    if (pending == edits_pending_)
        return;
    edits_pending_ = pending;
    emit edits_pending_changed(pending);
}

// Command 56 goes only to a controller identified as version 1 on this
// connection, and only with configuration bytes that a load from it or an
// Apply on it filled: anything else would overwrite the controller's
// settings with bytes that never came from it or from the user.
bool Controller::config_write_allowed() const
{
    return identified() && config_connection_ == hid_device_.connection_serial();
}

bool Controller::send_config_block()
{
    std::copy(stored_config_.bytes.begin(), stored_config_.bytes.end(), payload_buffer_.begin());
    return hid_device_.exchange(cmd_write_config, nullptr, payload_buffer_.data());
}

// Bytes 0..4 go out as the controller last reported them, so nothing is sent
// before it has reported them on this connection: zeros or another
// connection's bytes could change its regulation mode.
Controller::ApplyResult Controller::apply_config(const ConfigBlock &config)
{
    if (!identified() || status_connection_ != hid_device_.connection_serial())
        return ApplyResult::not_sent;
    const bool changed = !std::equal(config.bytes.begin() + ConfigBlock::STATUS_SIZE, config.bytes.end(),
                                     stored_config_.bytes.begin() + ConfigBlock::STATUS_SIZE);
    std::copy(config.bytes.begin() + ConfigBlock::STATUS_SIZE, config.bytes.end(),
              stored_config_.bytes.begin() + ConfigBlock::STATUS_SIZE);
    // The block now holds a whole configuration chosen for the controller
    // identified on this connection; the write-back on close sends it again.
    config_connection_ = hid_device_.connection_serial();
    const bool confirmed = send_config_block();
    if (changed)
        emit configuration_loaded();
    return confirmed ? ApplyResult::written : ApplyResult::not_confirmed;
}

// As last loaded or applied, never a client's unapplied edits.
bool Controller::write_back()
{
    return config_write_allowed() && send_config_block();
}
