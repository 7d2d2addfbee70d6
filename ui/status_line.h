#pragma once

#include <QObject>

class Controller;
class QLabel;

// Keeps the status line saying in words where the program stands with the
// controller: not found; found but not openable (where, and the udev fix);
// loading; identified and loaded; unplugged after it was loaded.
class StatusLine : public QObject
{
    Q_OBJECT

public:
    // Lives as long as the label.
    StatusLine(Controller &controller, QLabel *label);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void update();

    Controller &controller_;
    QLabel *label_;
    // A controller was loaded during this run: its absence is an unplug.
    bool was_live_ = false;
};
