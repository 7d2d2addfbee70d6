#pragma once

#include "app/shell/termination_signals.h"
#include "level_notifier.h"
#include "model/controller_status.h"
#include "model/outcome.h"
#include "preferences.h"
#include "tray_icon.h"
#include "window_keeper.h"

#include <QObject>

class GlobalHotKeys;
class QDBusConnection;
class QWidget;

// Everything that keeps the program at hand with its window closed: the
// tray icon and its menu, the on-screen level, closing to the tray, start
// at login, the user's preferences, and the endings (Quit, Ctrl+Q,
// SIGTERM). It knows nothing of the model: the controllers' state comes in
// through show_controllers() and show_refusal(), and the tray's wishes about
// them leave through tray()'s signals (see tray_wiring.h).
class TrayShell : public QObject
{
    Q_OBJECT

public:
    TrayShell(QWidget &window, GlobalHotKeys &hot_keys, const QDBusConnection &bus,
              QObject *parent = nullptr);

    // Shows the tray icon (once a tray is there; with the window, after its
    // first frame) and, unless in the background, the window. In the background the program waits for a
    // tray for a while (MORVANE_PWM_TRAY_WAIT_MS, for tests); with none by
    // then the window starts minimised (shown, on Wayland), and one line on
    // stderr says so. Closing the window of a background start hides it
    // while the tray shows the icon.
    void start(bool background);

    // Every controller shown, in the order of their ids; at least one.
    void show_controllers(const QList<ShownController> &controllers);
    void show_refusal(Refusal why);
    WindowPresence window_presence() const;

    TrayIcon &tray() { return tray_; }
    LevelNotifier &notifier() { return notifier_; }

signals:
    // A termination signal came: the program is to end, without a question.
    void end_requested();
    // A refusal came while the window is active: the window says it, not
    // the on-screen level.
    void refused_in_window(Refusal why);
    // The window was shown or hidden (see WindowKeeper::shown_changed).
    void window_shown_changed(bool shown);

private:
    void connect_menu();
    void set_start_at_login(bool on);
    void save_preferences();

    QWidget &window_;
    Preferences preferences_;
    TrayIcon tray_;
    LevelNotifier notifier_;
    WindowKeeper keeper_;
    TerminationSignals termination_;
    bool background_ = false;
};
