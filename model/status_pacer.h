#pragma once

#include "controller_status.h"

#include <QObject>
#include <QTimer>

// Hands a controller's statuses on to what people read (the window's
// read-outs, the tray): a change of anything but the readings (light,
// width, brightness) at once; changes of the readings alone at most once
// every `readings_ms`, the last of them always. A drifting light then costs
// a few redraws a second rather than one every poll tick, while the model,
// D-Bus and the history keep every value.
class StatusPacer : public QObject
{
    Q_OBJECT

public:
    // Three times a second: a changing number stays readable, and each
    // change of the read-outs costs a repaint of their group.
    static constexpr int READINGS_MS = 333;

    // readings_ms 0 hands every status on at once.
    explicit StatusPacer(int readings_ms = READINGS_MS, QObject *parent = nullptr);

    void take(const ControllerStatus &status);

signals:
    void paced(const ControllerStatus &status);

private:
    void hand_on(const ControllerStatus &status);

    QTimer pause_;
    ControllerStatus shown_;
    ControllerStatus latest_;
    bool held_ = false; // latest_ waits for the pause to end
};
