#pragma once

#include "model/controller_status.h"

#include <QObject>
#include <QTimer>

class QAction;
class QMenu;
class QSystemTrayIcon;

// The program in the desktop's tray: an icon for the state, a tool tip with
// the light, the level and the mode, and a menu. It only shows and asks:
// what it is given through show_status() and the set_ functions, and the
// user's wishes as signals, which whoever owns the model carries out.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    // The manual levels the menu offers, in percent.
    static constexpr int MENU_LEVELS[] = {25, 50, 75, 100};

    explicit TrayIcon(QObject *parent = nullptr);
    ~TrayIcon() override;

    // A tray host is there to show the icon: a StatusNotifierItem host on
    // the session bus, or an XEmbed tray on X11.
    static bool tray_available();

    // Shows the icon as soon as a tray is there: now, or once one appears.
    void show();
    // The icon is shown in a tray that is there now.
    bool in_tray() const;
    void show_status(const ControllerStatus &status);
    void set_hot_keys_missing(bool missing);
    void set_keep_running(bool on);
    void set_start_at_login(bool on);
    void set_on_screen_level(bool on);

    QMenu *menu() const { return menu_; }
    QString tool_tip() const { return tool_tip_; }

    // The wheel over the icon (XEmbed trays hand it to the icon's window).
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // A click on the icon: the window appears, or goes if it is up.
    void window_toggle_requested();
    void show_window_requested();
    void manual_toggled(bool manual);
    // A manual level chosen from the menu, as a PWM width.
    void level_chosen(int width);
    // +1 brighter, -1 dimmer: the menu's entries and the wheel.
    void step_requested(int direction);
    void keep_running_toggled(bool on);
    void start_at_login_toggled(bool on);
    void on_screen_level_toggled(bool on);
    void quit_requested();

private:
    void build_menu();
    void show_in_tray();
    void update_tool_tip();
    QAction *add_check(const QString &text, void (TrayIcon::*toggled)(bool));

    QSystemTrayIcon *icon_ = nullptr; // made once a tray is there
    QTimer tray_look_;
    QMenu *menu_;
    QAction *manual_ = nullptr;
    QList<QAction *> manual_actions_; // Brighter, Dimmer and the levels
    QAction *keep_running_ = nullptr;
    QAction *start_at_login_ = nullptr;
    QAction *on_screen_level_ = nullptr;
    ControllerStatus status_;
    bool hot_keys_missing_ = false;
    QString tool_tip_;
    int shown_state_ = -1;
    // Wheel deltas below one notch, kept for the next event (touchpads).
    int wheel_rest_ = 0;
};
