#pragma once

#include "model/controller_status.h"
#include "model/outcome.h"

#include <QMap>
#include <QObject>
#include <QString>

class ControllerThread;
class QLabel;

// Keeps the status line saying in words where the program stands with the
// controller: not found; found but not openable (where, and the udev fix);
// in use by another program; loading; identified and loaded; not answering
// (since when); unplugged after it was loaded. After that: manual
// regulation and its level, edits not applied, a configuration another
// program changed. A note (a write under way, an action the controller
// refused) stands in front of that until the state changes or it is taken back.
// The tool tip names the controller by its id.
// The line is never cut: it wraps, and the window grows to show every line.
class StatusLine : public QObject
{
    Q_OBJECT

public:
    // Lives as long as the label.
    StatusLine(ControllerThread &controller, QLabel *label);

    // From now on the line speaks of `controller`; what it said of the one
    // before (a note, a change by another program) goes with it.
    void follow(ControllerThread &controller);

    void update(const ControllerStatus &status);
    // An empty note takes the last one back.
    void show_note(const QString &note);
    // A refused or unconfirmed action, in the one wording of outcomes.
    void report(const Outcome &outcome);
    // Problems of the program itself (hot keys, history), said after the state.
    void set_problem(const QString &key, const QString &problem);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString state_text(const ControllerStatus &status) const;
    QString changed_elsewhere_text() const;
    void show();
    // The label asks for the height its text needs at its width.
    void fit();

    QLabel *label_;
    ControllerThread *controller_ = nullptr;
    ControllerStatus status_;
    QString state_text_;
    QString note_;
    QMap<QString, QString> problems_;
    // A controller was loaded during this run: its absence is an unplug.
    bool was_live_ = false;
    // Another program's apply changed the configuration (invalid: none since the last load).
    QDateTime changed_elsewhere_at_;
    ChangeSource changed_elsewhere_via_ = ChangeSource::dbus;
};
