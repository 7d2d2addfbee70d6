#include "poll_cadence.h"

#include "controller_thread.h"

PollCadence::PollCadence(QObject *parent)
    : QObject(parent)
{
    after_action_.setSingleShot(true);
    after_action_.setInterval(AFTER_ACTION_MS);
    connect(&after_action_, &QTimer::timeout, this, &PollCadence::update);
}

void PollCadence::follow(ControllerThread &controller)
{
    controller.set_quiet(quiet_);
    connect(this, &PollCadence::quiet_changed, &controller, &ControllerThread::set_quiet);
    connect(&controller, &ControllerThread::action_asked, this, &PollCadence::note_action);
}

void PollCadence::set_window_shown(bool shown)
{
    window_shown_ = shown;
    update();
}

void PollCadence::set_watched(bool watched)
{
    watched_ = watched;
    update();
}

void PollCadence::note_action()
{
    after_action_.start();
    update();
}

bool PollCadence::nobody_looks() const
{
    return !window_shown_ && !watched_ && !after_action_.isActive();
}

void PollCadence::update()
{
    if (nobody_looks() == quiet_)
        return;
    quiet_ = !quiet_;
    emit quiet_changed(quiet_);
}
