#include "status_pacer.h"

namespace {

bool readings_alone_differ(const ControllerStatus &shown, ControllerStatus now)
{
    now.light = shown.light;
    now.pwm_width = shown.pwm_width;
    now.brightness_width = shown.brightness_width;
    return now == shown;
}

} // namespace

StatusPacer::StatusPacer(int readings_ms, QObject *parent)
    : QObject(parent)
{
    pause_.setSingleShot(true);
    pause_.setInterval(readings_ms);
    connect(&pause_, &QTimer::timeout, this, [this] {
        if (held_)
            hand_on(latest_);
    });
}

void StatusPacer::take(const ControllerStatus &status)
{
    if (pause_.isActive() && readings_alone_differ(shown_, status)) {
        latest_ = status;
        held_ = true;
        return;
    }
    hand_on(status);
}

// Each reading shown opens a pause; a state change goes through it.
void StatusPacer::hand_on(const ControllerStatus &status)
{
    held_ = false;
    shown_ = status;
    if (pause_.interval() > 0)
        pause_.start();
    emit paced(status);
}
