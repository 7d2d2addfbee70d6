#pragma once

#include "model/controller_status.h"
#include "tray_state_icon.h"

#include <QObject>
#include <QTimer>

#include <vector>

class QAction;
class QMenu;
class QSystemTrayIcon;

// The program in the desktop's tray: an icon for the state, a tool tip with
// the light, the level and the mode, and a menu. It only shows and asks:
// what it is given through show_statuses() and the set_ functions, and the
// user's wishes as signals, which whoever owns the model carries out.
//
// With one controller (or none) the menu holds its regulation entries
// itself; with several, each controller has a submenu with them, titled by
// its number, id and level. The icon then shows the state that most needs
// seeing: a silent controller, then one not ready, then manual regulation
// (the keys step it), then the curve's.
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
    // Every controller shown, in the order of their ids; at least one.
    void show_statuses(const QList<ControllerStatus> &controllers);
    void set_hot_keys_missing(bool missing);
    void set_keep_running(bool on);
    void set_start_at_login(bool on);
    void set_on_screen_level(bool on);

    QMenu *menu() const { return menu_; }
    TrayState state() const { return TrayState(shown_state_); }
    QString tool_tip() const { return tool_tip_; }

    // The wheel over the icon (XEmbed trays hand it to the icon's window).
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // A click on the icon: the window appears, or goes if it is up.
    void window_toggle_requested();
    void show_window_requested();
    // The menu's wishes for one controller, by its id (empty: no controller).
    void manual_toggled(const QString &controller, bool manual);
    // A manual level chosen from the menu, as a PWM width.
    void level_chosen(const QString &controller, int width);
    // +1 brighter, -1 dimmer.
    void step_requested(const QString &controller, int direction);
    // The wheel over the icon: every controller, as the hot keys.
    void step_all_requested(int direction);
    void keep_running_toggled(bool on);
    void start_at_login_toggled(bool on);
    void on_screen_level_toggled(bool on);
    void quit_requested();

private:
    // One controller's entries: the manual check, Brighter, Dimmer, the levels.
    struct Regulation
    {
        QString id;
        QMenu *submenu = nullptr; // with several controllers
        QAction *manual = nullptr;
        QList<QAction *> manual_actions; // Brighter, Dimmer and the levels
    };

    void build_menu();
    // Flat for one controller, a submenu each for several.
    void lay_out_regulation(int controllers);
    void add_regulation(QMenu *into, QAction *before, int index);
    void show_in_tray();
    void update_tool_tip();
    QAction *add_check(const QString &text, void (TrayIcon::*toggled)(bool));

    QSystemTrayIcon *icon_ = nullptr; // made once a tray is there
    QTimer tray_look_;
    QMenu *menu_;
    QAction *regulation_end_ = nullptr; // the separator after the regulation entries
    std::vector<Regulation> regulations_;
    QAction *keep_running_ = nullptr;
    QAction *start_at_login_ = nullptr;
    QAction *on_screen_level_ = nullptr;
    QList<ControllerStatus> statuses_;
    bool hot_keys_missing_ = false;
    QString tool_tip_;
    int shown_state_ = -1;
    // Wheel deltas below one notch, kept for the next event (touchpads).
    int wheel_rest_ = 0;
};
