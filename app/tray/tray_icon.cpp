#include "tray_icon.h"

#include "level_words.h"
#include "tray_state_icon.h"

#include "protocol/commands.h"
#include "protocol/pwm_percent.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWheelEvent>

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#include "app/shell/x11_connection.h"

#define MORVANE_XEMBED_TRAY 1
#endif

namespace {

// Qt's own widget that an XEmbed tray embeds; wheel events arrive there.
constexpr char XEMBED_ICON_CLASS[] = "QSystemTrayIconSys";

// How often a tray that is not there yet is looked for.
constexpr int TRAY_LOOK_MS = 1000;

const QString SNI_WATCHER = QStringLiteral("org.kde.StatusNotifierWatcher");

TrayState tray_state(const ControllerStatus &status)
{
    if (!status.answering)
        return TrayState::silent;
    if (!controller_ready(status))
        return TrayState::no_controller;
    return status.wanted_mode == RegulationMode::manual ? TrayState::manual : TrayState::automatic;
}

// Of several controllers, the state that most needs seeing: silence, then
// one not ready, then manual regulation, which the keys step.
TrayState tray_state(const QList<ControllerStatus> &controllers)
{
    QList<TrayState> states;
    for (const ControllerStatus &status : controllers)
        states << tray_state(status);
    for (TrayState most : {TrayState::silent, TrayState::no_controller, TrayState::manual})
        if (states.contains(most))
            return most;
    return TrayState::automatic;
}

// A StatusNotifierItem host (a panel's tray on the session bus).
bool status_notifier_host()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(SNI_WATCHER))
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(SNI_WATCHER, QStringLiteral("/StatusNotifierWatcher"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << SNI_WATCHER << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().first().value<QDBusVariant>().variant().toBool();
}

// An XEmbed tray on the X display: the owner of the system tray selection.
bool xembed_tray()
{
#ifdef MORVANE_XEMBED_TRAY
    xcb_connection_t *connection = x11_connection();
    if (!connection)
        return false;
    // Qt opens the display's default screen, which is the first for all
    // but the rarest setups.
    const xcb_atom_t selection = x11_atom(connection, "_NET_SYSTEM_TRAY_S0");
    if (selection == XCB_NONE)
        return false;
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = owner && owner->owner != XCB_NONE;
    std::free(owner);
    return owned;
#else
    return false;
#endif
}

} // namespace

TrayIcon::TrayIcon(QObject *parent)
    : QObject(parent), menu_(new QMenu)
{
    build_menu();
    show_statuses({ControllerStatus()});
    tray_look_.setInterval(TRAY_LOOK_MS);
    connect(&tray_look_, &QTimer::timeout, this, &TrayIcon::show_in_tray);
    qApp->installEventFilter(this);
}

// The menu has no parent widget to take it along.
TrayIcon::~TrayIcon()
{
    delete menu_;
}

// Looked for here rather than asked of Qt: Qt settles once, at its first
// question, whether a StatusNotifierItem host is there, and an icon made
// before a panel's tray came would never reach it.
bool TrayIcon::tray_available()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return status_notifier_host() || xembed_tray();
#else
    return QSystemTrayIcon::isSystemTrayAvailable();
#endif
}

void TrayIcon::show()
{
    show_in_tray();
    if (!icon_)
        tray_look_.start();
}

bool TrayIcon::in_tray() const
{
    return icon_ && tray_available();
}

// The icon is made only once a tray is there: shown without one, Qt falls
// back to a window of its own that nothing embeds (and on Wayland warns).
void TrayIcon::show_in_tray()
{
    if (icon_ || !tray_available())
        return;
    tray_look_.stop();
    icon_ = new QSystemTrayIcon(tray_state_icon(TrayState(shown_state_)), this);
    icon_->setToolTip(tool_tip_);
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit window_toggle_requested();
    });
    icon_->show();
}

QAction *TrayIcon::add_check(const QString &text, void (TrayIcon::*toggled)(bool))
{
    QAction *action = menu_->addAction(text);
    action->setCheckable(true);
    // Only the user's clicks are wishes; the set_ functions change the check silently.
    connect(action, &QAction::triggered, this, toggled);
    return action;
}

void TrayIcon::build_menu()
{
    connect(menu_->addAction(tr("Показать окно")), &QAction::triggered, this,
            &TrayIcon::show_window_requested);
    menu_->addSeparator();
    regulation_end_ = menu_->addSeparator();
    keep_running_ = add_check(tr("Работать в фоне"), &TrayIcon::keep_running_toggled);
    start_at_login_ = add_check(tr("Запускать при входе в систему"), &TrayIcon::start_at_login_toggled);
    on_screen_level_ = add_check(tr("Показывать яркость на экране"), &TrayIcon::on_screen_level_toggled);
    menu_->addSeparator();
    QAction *quit = menu_->addAction(tr("Выход"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &TrayIcon::quit_requested);
}

void TrayIcon::add_regulation(QMenu *into, QAction *before, int index)
{
    const auto add = [into, before](const QString &text) {
        auto *action = new QAction(text, into);
        into->insertAction(before, action);
        return action;
    };
    // The id is looked up when chosen: it comes with the status.
    const auto id = [this, index] { return regulations_[size_t(index)].id; };
    Regulation &regulation = regulations_[size_t(index)];
    regulation.manual = add(tr("Ручная регулировка"));
    regulation.manual->setCheckable(true);
    // Only the user's clicks are wishes; show_statuses() changes the check silently.
    connect(regulation.manual, &QAction::triggered, this, [this, id](bool on) { emit manual_toggled(id(), on); });
    QAction *brighter = add(tr("Ярче"));
    connect(brighter, &QAction::triggered, this, [this, id] { emit step_requested(id(), +1); });
    QAction *dimmer = add(tr("Темнее"));
    connect(dimmer, &QAction::triggered, this, [this, id] { emit step_requested(id(), -1); });
    regulation.manual_actions << brighter << dimmer;
    for (int percent : MENU_LEVELS) {
        QAction *level = add(tr("Яркость %1 %").arg(percent));
        // The width whose truncated percentage is this one, as the window's slider.
        const int width = pwm_width_of_percent(percent);
        connect(level, &QAction::triggered, this, [this, id, width] { emit level_chosen(id(), width); });
        regulation.manual_actions << level;
    }
}

void TrayIcon::lay_out_regulation(int controllers)
{
    if (int(regulations_.size()) == controllers)
        return;
    // Let go later: the menu may be open, in the middle of its own event.
    for (const Regulation &regulation : regulations_) {
        if (regulation.submenu) {
            menu_->removeAction(regulation.submenu->menuAction());
            regulation.submenu->deleteLater();
            continue;
        }
        for (QAction *action : regulation.manual_actions + QList<QAction *>{regulation.manual}) {
            menu_->removeAction(action);
            action->deleteLater();
        }
    }
    regulations_.assign(size_t(controllers), Regulation());
    if (controllers == 1) {
        add_regulation(menu_, regulation_end_, 0);
        return;
    }
    for (int index = 0; index < controllers; ++index) {
        auto *submenu = new QMenu(menu_);
        menu_->insertMenu(regulation_end_, submenu);
        regulations_[size_t(index)].submenu = submenu;
        add_regulation(submenu, nullptr, index);
    }
}

void TrayIcon::show_statuses(const QList<ControllerStatus> &controllers)
{
    if (controllers.isEmpty())
        return show_statuses({ControllerStatus()});
    statuses_ = controllers;
    const TrayState state = tray_state(controllers);
    // Setting the icon sends it to the tray host: only when it changes.
    if (int(state) != shown_state_) {
        shown_state_ = int(state);
        if (icon_)
            icon_->setIcon(tray_state_icon(state));
    }
    lay_out_regulation(int(controllers.size()));
    for (int index = 0; index < controllers.size(); ++index) {
        const ControllerStatus &status = controllers[index];
        Regulation &regulation = regulations_[size_t(index)];
        regulation.id = status.identity;
        // Numbered as `morvane-pwmctl list` numbers them, the number its key.
        if (regulation.submenu)
            regulation.submenu->setTitle(QStringLiteral("&%1 %2").arg(index + 1).arg(
                controller_line(status, level_words(status)).replace(QLatin1Char('&'), QLatin1String("&&"))));
        const bool ready = controller_ready(status);
        const bool manual = status.wanted_mode == RegulationMode::manual;
        regulation.manual->setEnabled(ready);
        regulation.manual->setChecked(manual);
        for (QAction *action : std::as_const(regulation.manual_actions))
            action->setEnabled(ready && manual);
    }
    update_tool_tip();
}

void TrayIcon::set_hot_keys_missing(bool missing)
{
    hot_keys_missing_ = missing;
    update_tool_tip();
}

void TrayIcon::set_keep_running(bool on)
{
    keep_running_->setChecked(on);
}

void TrayIcon::set_start_at_login(bool on)
{
    start_at_login_->setChecked(on);
}

void TrayIcon::set_on_screen_level(bool on)
{
    on_screen_level_->setChecked(on);
}

void TrayIcon::update_tool_tip()
{
    const QString text = tray_tool_tip(statuses_, hot_keys_missing_);
    if (text == tool_tip_)
        return;
    tool_tip_ = text;
    if (icon_)
        icon_->setToolTip(text);
}

bool TrayIcon::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel || !watched->inherits(XEMBED_ICON_CLASS))
        return false;
    wheel_rest_ += static_cast<QWheelEvent *>(event)->angleDelta().y();
    // One step per notch of a wheel (120), up brighter.
    while (qAbs(wheel_rest_) >= QWheelEvent::DefaultDeltasPerStep) {
        const int direction = wheel_rest_ > 0 ? +1 : -1;
        wheel_rest_ -= direction * QWheelEvent::DefaultDeltasPerStep;
        emit step_all_requested(direction);
    }
    return true;
}
