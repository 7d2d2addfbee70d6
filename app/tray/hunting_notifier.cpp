#include "hunting_notifier.h"

#include "preferences.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDateTime>

namespace {

const QString SERVICE = QStringLiteral("org.freedesktop.Notifications");
const QString PATH = QStringLiteral("/org/freedesktop/Notifications");
const QString APP_ID = QStringLiteral("io.github.morvane.pwm");

} // namespace

HuntingNotifier::HuntingNotifier(const QDBusConnection &bus, Clock clock, QObject *parent)
    : QObject(parent), bus_(bus), clock_(std::move(clock))
{
    bus_.connect(SERVICE, PATH, SERVICE, QStringLiteral("ActionInvoked"), this, SLOT(take_action(uint, QString)));
}

qint64 HuntingNotifier::current_ms()
{
    return QDateTime::currentMSecsSinceEpoch();
}

void HuntingNotifier::hunting_seen(const QString &identity)
{
    const qint64 last_ms = hunting_notice_shown_ms();
    if (in_flight_ || !bus_.isConnected() || (last_ms > 0 && clock_() - last_ms < INTERVAL_MS))
        return;
    in_flight_ = true;
    const QDBusMessage call = QDBusMessage::createMethodCall(SERVICE, PATH, SERVICE, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, identity] {
        watcher->deleteLater();
        const QDBusPendingReply<QStringList> reply = *watcher;
        if (reply.isError()) { // no server
            in_flight_ = false;
            return;
        }
        notify(identity, reply.value().contains(QLatin1String("actions")));
    });
}

void HuntingNotifier::notify(const QString &identity, bool with_action)
{
    const QStringList actions = with_action ? QStringList{QLatin1String(MEASURE_ACTION), tr("Измерить")} : QStringList();
    const QString body = with_action
        ? tr("Яркость раскачивалась сама при неизменном внешнем свете. Измерьте, сколько света лампы доходит до "
             "датчика, и сделайте этот участок кривой положе.")
        : tr("Яркость раскачивалась сама при неизменном внешнем свете. Измерьте, сколько света лампы доходит до "
             "датчика («Кривая…», «Измерить свет лампы…»), и сделайте этот участок кривой положе.");
    QDBusMessage call = QDBusMessage::createMethodCall(SERVICE, PATH, SERVICE, QStringLiteral("Notify"));
    call << QStringLiteral("Morvane PWM") << 0u << APP_ID << tr("Свет лампы, похоже, попадает на датчик") << body
         << actions << QVariantMap{{QStringLiteral("desktop-entry"), APP_ID}} << -1;
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, identity, with_action] {
        watcher->deleteLater();
        in_flight_ = false;
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError())
            return;
        remember_hunting_notice(clock_());
        if (with_action)
            offered_.insert(reply.value(), identity);
        emit shown(reply.value());
    });
}

void HuntingNotifier::take_action(uint id, const QString &action)
{
    if (action == QLatin1String(MEASURE_ACTION) && offered_.contains(id))
        emit measure_requested(offered_.take(id));
}
