#pragma once

#include "outcome.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>

// One change of the manual level (or of the mode) that the controller took:
// what the history records as the owner overruling the curve.
struct ManualChange
{
    QDateTime time;   // UTC
    QString identity; // ControllerStatus::identity
    unsigned light = 0;
    int level_before = 0; // the brightness driven before, 0..PWM_FULL_SCALE
    int level_after = 0;
    ChangeSource source = ChangeSource::window;
};
Q_DECLARE_METATYPE(ManualChange)
