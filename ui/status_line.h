#pragma once

#include "model/controller_status.h"

#include <QMap>
#include <QObject>
#include <QString>

class ControllerThread;
class QLabel;

// Keeps the status line saying in words where the program stands with the
// controller: not found; found but not openable (where, and the udev fix);
// in use by another program; loading; identified and loaded; unplugged
// after it was loaded. A note (a write under way, an action the controller
// refused) stands in front of that until the state changes or it is taken back.
class StatusLine : public QObject
{
    Q_OBJECT

public:
    // Lives as long as the label.
    StatusLine(ControllerThread &controller, QLabel *label);

    // An empty note takes the last one back.
    void show_note(const QString &note);
    // Problems of the program itself (hot keys, history), said after the state.
    void set_problem(const QString &key, const QString &problem);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void update(const ControllerStatus &status);
    void show();

    QLabel *label_;
    ControllerStatus status_;
    QString state_text_;
    QString note_;
    QMap<QString, QString> problems_;
    // A controller was loaded during this run: its absence is an unplug.
    bool was_live_ = false;
};
