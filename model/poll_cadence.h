#pragma once

#include <QObject>
#include <QTimer>

class ControllerThread;

// How often every controller's status is polled, and the one rule behind
// it: nobody looks while the window is hidden (to the tray; minimised
// counts as shown) and no client watches. Then each poll slows to
// Controller::QUIET_POLL_MS. The window shown, a watcher, or any action
// asked of a controller brings back Controller::POLL_MS at once; after an
// action with nobody looking, the quiet returns AFTER_ACTION_MS later.
//
// Until told otherwise the window counts as shown: a program without one
// polls as it always did.
class PollCadence : public QObject
{
    Q_OBJECT

public:
    // Hot keys come in runs a second or two apart, and a mode switch is
    // confirmed by a status pass up to Controller::SETTLE_MS after it is
    // asked: twice that keeps a run of keys and the answers prompt, and
    // costs a few seconds of fast polls per action.
    static constexpr int AFTER_ACTION_MS = 6000;

    explicit PollCadence(QObject *parent = nullptr);

    // `controller` polls at the cadence from now on, and its actions count
    // as actions (until it is destroyed).
    void follow(ControllerThread &controller);
    void set_window_shown(bool shown);
    // Clients that asked for live values (D-Bus Watch) are there.
    void set_watched(bool watched);
    // An action was asked of a controller.
    void note_action();
    bool nobody_looks() const;

signals:
    // nobody_looks() changed.
    void quiet_changed(bool quiet);

private:
    void update();

    bool window_shown_ = true;
    bool watched_ = false;
    bool quiet_ = false;
    QTimer after_action_;
};
