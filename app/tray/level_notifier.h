#pragma once

#include "model/controller_status.h"
#include "model/outcome.h"
#include "protocol/config_block.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QObject>

// Where the window stands, for deciding whether a change needs telling.
enum class WindowPresence {
    active,   // shown and with the focus: the window itself shows the change
    inactive, // shown behind others or minimised
    hidden,   // not shown at all: the program runs in the background
};

// A controller as the on-screen level tells it: its status, and the
// configuration whose curve gives its level in automatic regulation.
struct ShownController
{
    ControllerStatus status;
    ConfigBlock configuration;
};

// The on-screen level: a desktop notification (org.freedesktop.Notifications)
// when the level or the mode changes while the window is out of sight (not
// when the controller comes or goes), and why a step from a key or the tray
// was refused. One notification, replaced in place as the level moves;
// transient, so it does not pile up in the desktop's history. Without a
// notification server nothing is shown and nothing is said.
//
// With several controllers the notification lists, a line each, those
// whose level changed while it was up (a key steps them all at once).
class LevelNotifier : public QObject
{
    Q_OBJECT

public:
    static constexpr int EXPIRE_MS = 2000;

    explicit LevelNotifier(const QDBusConnection &bus, QObject *parent = nullptr);

    void set_enabled(bool enabled) { enabled_ = enabled; }
    bool enabled() const { return enabled_; }

    // Every controller shown, on every new status of one of them; a
    // controller's first ready status only sets its starting point.
    void show_controllers(const QList<ShownController> &controllers, WindowPresence window);
    // A step or level the model refused (a hot key in automatic regulation, say).
    void show_refusal(Refusal why, WindowPresence window);

signals:
    // The server showed (or replaced) notification id; for tests and benchmarks.
    void shown(uint id);

private:
    // The mode and manual level the user last saw (-1 in automatic).
    struct Shown
    {
        bool manual;
        int manual_level;
    };

    struct Notice
    {
        QString summary;
        QString body;
        int percent;
    };

    static QString several_summary();
    void notify(const Notice &notice);
    void send(const Notice &notice);

    QDBusConnection bus_;
    bool enabled_ = true;
    QHash<QString, Shown> shown_; // by id: the ready controllers
    QList<ControllerStatus> last_;
    // With several controllers: the lines of the notification up now, by
    // id, and when it was last sent.
    QMap<QString, QString> changed_lines_;
    QElapsedTimer last_notice_;
    uint replaces_id_ = 0;
    // One call at a time, so that each replaces the last; what came meanwhile
    // waits here (only the latest matters).
    bool in_flight_ = false;
    bool have_waiting_ = false;
    Notice waiting_;
};
