// The poll cycle: every 50 ms (every second while nobody looks), identify a newly opened controller, load its
// configuration, then read its live state and carry the wanted regulation
// mode and manual level to it.

#include "controller.h"

#include <QDebug>

#include <algorithm>

void Controller::form_update()
{
    // What a tick shows of an action (a level sent, a mode reported) is
    // said at once, readings and all.
    const bool action_waiting = settling();
    tick();
    waking_ = false;
    answer_waiting(level_sent_);
    announce_value(!action_waiting);
}

void Controller::tick()
{
    level_sent_ = false;
    if (!hid_device_.connected()) {
        live_ = false;
        stop_coupling(CouplingSweep::UNPLUGGED);
        if (settling())
            answer_all(Outcome::refused(unavailable()));
        return;
    }
    // A controller that has just been opened is identified and loaded in the
    // same tick. A load that failed after the version was accepted is tried
    // again on the following ticks: until it succeeds the views do not show
    // this controller's settings, and a write-back would overwrite them.
    const bool identifying = hid_device_.identify_pending();
    if (identifying)
        identify();
    const bool loaded = config_connection_ == hid_device_.connection_serial();
    if ((identifying || !loaded) && !load_config())
        return;
    // A controller that failed identification gets nothing that changes its
    // state: the program ends once the views have been told.
    if (hid_device_.identify_pending())
        return;
    if (status_pass())
        live_ = true;
}

void Controller::identify()
{
    const bool answered = hid_device_.exchange(cmd_identify, reply_buffer_.data(), nullptr);
    // Reply payload byte 0 is the firmware version.
    const int version = answered ? reply_buffer_[1] : -1;
    if (version != CONTROLLER_VERSION) {
        identification_failed_ = true;
        answer_all(Outcome::refused(Refusal::not_identified));
        emit identification_failed(version);
        return;
    }
    hid_device_.clear_identify_pending();
}

bool Controller::load_config()
{
    if (!hid_device_.exchange(cmd_read_state, reply_buffer_.data(), nullptr))
        return false;
    std::copy_n(reply_buffer_.begin() + 1, ConfigBlock::SIZE, stored_config_.bytes.begin());
    config_connection_ = hid_device_.connection_serial();
    status_connection_ = config_connection_;
    note_light_reading();
    // After a sleep, only a configuration that changed meanwhile is news.
    const bool as_before_sleep = waking_ && config_before_sleep_
        && std::equal(stored_config_.bytes.begin() + ConfigBlock::STATUS_SIZE, stored_config_.bytes.end(),
                      config_before_sleep_->bytes.begin() + ConfigBlock::STATUS_SIZE);
    config_before_sleep_.reset();
    loading_ = true;
    if (!as_before_sleep)
        emit configuration_loaded();
    if (regulation_to_restore_ && regulation_to_restore_->identity == identity_.id) {
        // A sweep's ending put it back while the controller was away.
        wanted_mode_ = regulation_to_restore_->mode;
        set_level(regulation_to_restore_->level);
    } else {
        choose_mode(controller_mode());
    }
    regulation_to_restore_.reset();
    loading_ = false;
    // The brightness read-out waits for the status pass that follows.
    return true;
}

bool Controller::status_pass()
{
    // Only the clock's count: the date is made only of a read that failed.
    const qint64 started_ms = QDateTime::currentMSecsSinceEpoch();
    const bool answered = hid_device_.exchange(cmd_read_state, reply_buffer_.data(), nullptr);
    note_status_read(answered, started_ms);
    if (!answered)
        return false;
    // Only the live state is taken; the configuration bytes of this reply are not used.
    std::copy_n(reply_buffer_.begin() + 1, ConfigBlock::STATUS_SIZE, stored_config_.bytes.begin());
    status_connection_ = hid_device_.connection_serial();
    note_light_reading();
    brightness_width_ = int(stored_config_.pwm_width());
    follow_coupling();

    // A client that came to read holds the regulation: nothing is sent.
    const bool passed = regulation_held_ || carry_regulation();
    if (passed && !measuring())
        regulation_to_restore_.reset(); // carried
    return passed;
}

// Carries the wanted mode and, in manual regulation, the manual level to the
// controller; false when an exchange failed.
bool Controller::carry_regulation()
{
    if (wanted_mode_ != RegulationMode::manual) {
        // Byte 4 other than 0 (1, or a value the controller should not
        // report) asks for the switch back to automatic.
        return stored_config_.regulation_mode() == unsigned(RegulationMode::automatic)
            || send_mode(RegulationMode::automatic);
    }
    if (controller_mode() != RegulationMode::manual && !send_mode(RegulationMode::manual))
        return false;
    // Command 57 splits the width into width div 4 and width mod 4.
    payload_buffer_[0] = static_cast<unsigned char>(manual_level_ >> 2);
    payload_buffer_[1] = static_cast<unsigned char>(manual_level_ & 3);
    if (!hid_device_.exchange(cmd_set_pwm_width, nullptr, payload_buffer_.data()))
        return false;
    brightness_width_ = manual_level_;
    level_sent_ = true;
    return true;
}

bool Controller::send_mode(RegulationMode mode)
{
    payload_buffer_[0] = static_cast<unsigned char>(mode);
    return hid_device_.exchange(cmd_set_mode, nullptr, payload_buffer_.data());
}

// The sensor's scale ends at 1023; a larger reading is kept as it came and
// noted on the debug output, once each time it is read.
void Controller::note_light_reading() const
{
    const unsigned reading = stored_config_.light_adc();
    if (reading > unsigned(LIGHT_FULL_SCALE))
        qDebug().nospace() << "ADC = " << ' ' << reading << ' ';
}

// Silence is said only of a controller that is still there: a read the
// controller left without a reply shows that, a failed link waits for the
// device check (an unplugged controller is gone, not silent).
void Controller::note_status_read(bool answered, qint64 started_ms)
{
    if (answered) {
        forget_failed_reads();
        return;
    }
    if (failed_reads_++ == 0)
        first_failed_read_ = QDateTime::fromMSecsSinceEpoch(started_ms, Qt::UTC);
    link_failed_ = hid_device_.last_failure() == HidDevice::Failure::link;
    if (!link_failed_ && failed_reads_ >= SILENT_AFTER_FAILED_READS) {
        silent_ = true;
        stop_coupling(CouplingSweep::SILENT);
    }
    keep_checking(); // a failed link: gone or silent, a device check tells

}

void Controller::forget_failed_reads()
{
    failed_reads_ = 0;
    link_failed_ = false;
    silent_ = false;
}

