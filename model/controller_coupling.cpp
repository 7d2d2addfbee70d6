// Measuring the lamp's light: the Controller's side of a CouplingSweep. The
// poll cycle feeds it each status read and carries the width it asks for as
// the manual level; every ending puts back the regulation wanted before.

#include "controller.h"

#include <QDateTime>

Refusal Controller::start_coupling(Reply reply)
{
    Refusal why = action_refusal();
    if (why == Refusal::none && status_connection_ != hid_device_.connection_serial())
        why = Refusal::loading;
    // The window's edits are not for the sweep to overrun: the owner applies
    // or discards them first, whoever asks.
    if (why == Refusal::none && edits_pending_)
        why = Refusal::edits_pending;
    if (why != Refusal::none)
        return refuse(why, reply);

    regulation_before_sweep_ = {wanted_mode_, manual_level_, identity_.id};
    sweep_.emplace(stored_config_, coupling_timing_, clock_());
    regulation_held_ = false;
    // A correction not yet sent would be recorded with the sweep's level.
    level_change_waiting_ = false;
    wanted_mode_ = RegulationMode::manual;
    set_level(sweep_->width());
    hurry_poll();
    announce_value();
    emit coupling_progress(0, CouplingSweep::STEPS);
    return refuse(Refusal::none, reply);
}

void Controller::cancel_coupling()
{
    stop_coupling(CouplingSweep::CANCELLED);
}

void Controller::follow_coupling()
{
    if (!sweep_ || !sweep_->feed(stored_config_.pwm_width(), stored_config_.light_adc(), clock_()))
        return;
    if (!sweep_->done()) {
        set_level(sweep_->width());
        emit coupling_progress(sweep_->steps_done(), CouplingSweep::STEPS);
        return;
    }
    emit coupling_progress(CouplingSweep::STEPS, CouplingSweep::STEPS);
    finish_coupling(sweep_->result(QDateTime::currentMSecsSinceEpoch()));
}

void Controller::stop_coupling(const char *why)
{
    if (!sweep_)
        return;
    CouplingResult ended;
    ended.error = why;
    finish_coupling(ended);
}

// Put back as wanted now, and kept for the next load until a status pass
// carries it: the controller may be gone or silent.
void Controller::finish_coupling(const CouplingResult &result)
{
    sweep_.reset();
    wanted_mode_ = regulation_before_sweep_.mode;
    set_level(regulation_before_sweep_.level);
    regulation_to_restore_ = regulation_before_sweep_;
    announce_value();
    emit coupling_finished(result);
}
