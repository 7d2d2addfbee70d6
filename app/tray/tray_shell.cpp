#include "tray_shell.h"

#include "app/hotkeys/global_hot_keys.h"
#include "app/shell/after_first_frame.h"
#include "autostart_entry.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QShortcut>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

// How long a background start waits for a tray: at login the program may
// start before the panel that holds it. Tests shorten it.
constexpr int TRAY_WAIT_MS = 15000;

void say(const QString &line)
{
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

int tray_wait_ms()
{
    bool set = false;
    const int chosen = qEnvironmentVariableIntValue("MORVANE_PWM_TRAY_WAIT_MS", &set);
    return set && chosen >= 0 ? chosen : TRAY_WAIT_MS;
}

} // namespace

TrayShell::TrayShell(QWidget &window, GlobalHotKeys &hot_keys, const QDBusConnection &bus,
                     QObject *parent)
    : QObject(parent), window_(window), preferences_(Preferences::load()), notifier_(bus),
      keeper_(window)
{
    tray_.set_keep_running(preferences_.keep_running);
    tray_.set_start_at_login(autostart_entry::exists());
    tray_.set_on_screen_level(preferences_.on_screen_level);
    notifier_.set_enabled(preferences_.on_screen_level);
    tray_.set_hot_keys_missing(hot_keys.missing());
    connect(&hot_keys, &GlobalHotKeys::went_missing, this, [this] { tray_.set_hot_keys_missing(true); });

    // Closing hides the window only where the tray can bring it back; a
    // background start (the login's) runs in the background whatever
    // "keep running" says.
    keeper_.set_hide_on_close([this] { return (preferences_.keep_running || background_) && tray_.in_tray(); });
    // A signal ends the program as the last window would, minus the question.
    connect(&termination_, &TerminationSignals::received, this, &TrayShell::end_requested);
    connect(&keeper_, &WindowKeeper::shown_changed, this, &TrayShell::window_shown_changed);
    auto *quit_key = new QShortcut(QKeySequence::Quit, &window_);
    connect(quit_key, &QShortcut::activated, &keeper_, &WindowKeeper::quit);
    connect_menu();
}

void TrayShell::connect_menu()
{
    connect(&tray_, &TrayIcon::show_window_requested, &keeper_, &WindowKeeper::show);
    connect(&tray_, &TrayIcon::window_toggle_requested, &keeper_, &WindowKeeper::toggle);
    connect(&tray_, &TrayIcon::quit_requested, &keeper_, &WindowKeeper::quit);
    connect(&tray_, &TrayIcon::keep_running_toggled, this, [this](bool on) {
        preferences_.keep_running = on;
        save_preferences();
    });
    connect(&tray_, &TrayIcon::on_screen_level_toggled, this, [this](bool on) {
        preferences_.on_screen_level = on;
        notifier_.set_enabled(on);
        save_preferences();
    });
    connect(&tray_, &TrayIcon::start_at_login_toggled, this, &TrayShell::set_start_at_login);
}

void TrayShell::start(bool background)
{
    background_ = background;
    if (!background) {
        window_.show();
        // Looking for a tray asks the session bus and the display: after
        // the window's first frame.
        after_first_frame(window_, [this] { tray_.show(); });
        return;
    }
    tray_.show();
    if (tray_.in_tray())
        return;
    QTimer::singleShot(tray_wait_ms(), this, [this] {
        if (tray_.in_tray() || window_.isVisible())
            return;
        // A Wayland window cannot start minimised: the compositor shows it.
        if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
            window_.show();
            say(QCoreApplication::translate("TrayShell", "morvane-pwm: no system tray to run in the background "
                                                         "from; the window is shown instead"));
        } else {
            window_.showMinimized();
            say(QCoreApplication::translate("TrayShell", "morvane-pwm: no system tray to run in the background "
                                                         "from; the window starts minimised instead"));
        }
    });
}

void TrayShell::show_controllers(const QList<ShownController> &controllers)
{
    QList<ControllerStatus> statuses;
    for (const ShownController &shown : controllers)
        statuses << shown.status;
    tray_.show_statuses(statuses);
    notifier_.show_controllers(controllers, window_presence());
}

void TrayShell::show_refusal(Refusal why)
{
    const WindowPresence window = window_presence();
    if (window == WindowPresence::active && why != Refusal::none)
        emit refused_in_window(why);
    notifier_.show_refusal(why, window);
}

WindowPresence TrayShell::window_presence() const
{
    if (!window_.isVisible())
        return WindowPresence::hidden;
    if (window_.isMinimized() || !window_.isActiveWindow())
        return WindowPresence::inactive;
    return WindowPresence::active;
}

void TrayShell::set_start_at_login(bool on)
{
    QString why;
    const bool done = on ? autostart_entry::write(QCoreApplication::applicationFilePath(), &why)
                         : autostart_entry::remove(&why);
    if (!done) {
        say(QCoreApplication::translate("TrayShell", "morvane-pwm: cannot change %1: %2")
                .arg(autostart_entry::path(), why));
    }
    // The check shows what is on disk, whatever was asked.
    tray_.set_start_at_login(autostart_entry::exists());
    // A start at login runs in the background, and so should a window
    // opened from there and closed again.
    if (on && done && !preferences_.keep_running) {
        preferences_.keep_running = true;
        tray_.set_keep_running(true);
        save_preferences();
    }
}

void TrayShell::save_preferences()
{
    QString why;
    if (!preferences_.save(&why))
        say(QCoreApplication::translate("TrayShell", "morvane-pwm: cannot save the preferences in %1")
                .arg(why));
}
