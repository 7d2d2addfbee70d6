#include "tray_icon.h"

#include "level_words.h"
#include "tray_state_icon.h"

#include "protocol/commands.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWheelEvent>

namespace {

// Qt's own widget that an XEmbed tray embeds; wheel events arrive there.
constexpr char XEMBED_ICON_CLASS[] = "QSystemTrayIconSys";

TrayState tray_state(const ControllerStatus &status)
{
    if (!controller_ready(status))
        return TrayState::no_controller;
    return status.wanted_mode == RegulationMode::manual ? TrayState::manual : TrayState::automatic;
}

} // namespace

TrayIcon::TrayIcon(QObject *parent)
    : QObject(parent), icon_(new QSystemTrayIcon(this)), menu_(new QMenu)
{
    build_menu();
    icon_->setContextMenu(menu_);
    show_status(status_);
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit window_toggle_requested();
    });
    qApp->installEventFilter(this);
}

// The menu has no parent widget to take it along.
TrayIcon::~TrayIcon()
{
    delete menu_;
}

bool TrayIcon::tray_available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::show()
{
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
    manual_ = add_check(tr("Ручная регулировка"), &TrayIcon::manual_toggled);
    QAction *brighter = menu_->addAction(tr("Ярче"));
    connect(brighter, &QAction::triggered, this, [this] { emit step_requested(+1); });
    QAction *dimmer = menu_->addAction(tr("Темнее"));
    connect(dimmer, &QAction::triggered, this, [this] { emit step_requested(-1); });
    manual_actions_ << brighter << dimmer;
    for (int percent : MENU_LEVELS) {
        QAction *level = menu_->addAction(tr("Яркость %1 %").arg(percent));
        // The width whose truncated percentage is this one, as the window's slider.
        const int width = (percent * PWM_FULL_SCALE + 99) / 100;
        connect(level, &QAction::triggered, this, [this, width] { emit level_chosen(width); });
        manual_actions_ << level;
    }
    menu_->addSeparator();
    keep_running_ = add_check(tr("Работать в фоне"), &TrayIcon::keep_running_toggled);
    start_at_login_ = add_check(tr("Запускать при входе в систему"), &TrayIcon::start_at_login_toggled);
    on_screen_level_ = add_check(tr("Показывать яркость на экране"), &TrayIcon::on_screen_level_toggled);
    menu_->addSeparator();
    QAction *quit = menu_->addAction(tr("Выход"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &TrayIcon::quit_requested);
}

void TrayIcon::show_status(const ControllerStatus &status)
{
    status_ = status;
    const TrayState state = tray_state(status);
    // Setting the icon sends it to the tray host: only when it changes.
    if (int(state) != shown_state_) {
        icon_->setIcon(tray_state_icon(state));
        shown_state_ = int(state);
    }
    const bool ready = controller_ready(status);
    const bool manual = status.wanted_mode == RegulationMode::manual;
    manual_->setEnabled(ready);
    manual_->setChecked(manual);
    for (QAction *action : std::as_const(manual_actions_))
        action->setEnabled(ready && manual);
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

QString TrayIcon::tool_tip() const
{
    return icon_->toolTip();
}

void TrayIcon::update_tool_tip()
{
    const QString text = tray_tool_tip(status_, hot_keys_missing_);
    if (text != icon_->toolTip())
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
        emit step_requested(direction);
    }
    return true;
}
