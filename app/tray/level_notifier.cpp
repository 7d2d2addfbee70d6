#include "level_notifier.h"

#include "level_words.h"
#include "model/outcome_text.h"
#include "protocol/curve_width.h"
#include "protocol/pwm_percent.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString SERVICE = QStringLiteral("org.freedesktop.Notifications");
const QString PATH = QStringLiteral("/org/freedesktop/Notifications");
const QString APP_ID = QStringLiteral("io.github.morvane.pwm");

bool manual(const ControllerStatus &status)
{
    return status.wanted_mode == RegulationMode::manual;
}

// Switched to automatic, the read-out still holds the manual level the
// controller slides away from: the level told is where the curve goes.
int told_percent(const ShownController &shown)
{
    const ControllerStatus &status = shown.status;
    return manual(status) ? level_percent(status) : pwm_percent(int(curve_width(shown.configuration, status.light)));
}

} // namespace

LevelNotifier::LevelNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), bus_(bus)
{
}

void LevelNotifier::show_controllers(const QList<ShownController> &controllers, WindowPresence window)
{
    last_.clear();
    QHash<QString, Shown> now;
    QList<const ShownController *> changed;
    for (const ShownController &shown : controllers) {
        const ControllerStatus &status = shown.status;
        last_ << status;
        // Coming and going is no change of level: after a start or a
        // plug-in the first ready status is only the starting point.
        if (!controller_ready(status))
            continue;
        const Shown level{manual(status), manual(status) ? status.manual_level : -1};
        const auto before = shown_.constFind(status.identity);
        if (before != shown_.cend() && (before->manual != level.manual || before->manual_level != level.manual_level))
            changed << &shown;
        now.insert(status.identity, level);
    }
    shown_ = now;
    if (changed.isEmpty() || window == WindowPresence::active)
        return;
    if (controllers.size() == 1) {
        const int percent = told_percent(*changed.first());
        notify({mode_level_words(changed.first()->status.wanted_mode, percent), QString(), percent});
        return;
    }
    // The server restarts a replaced notification's time: the list grows
    // while it stays up, and starts afresh once it has gone.
    if (!last_notice_.isValid() || last_notice_.hasExpired(EXPIRE_MS))
        changed_lines_.clear();
    last_notice_.start();
    for (const ShownController *shown : std::as_const(changed))
        changed_lines_.insert(shown->status.identity,
                              controller_line(shown->status, mode_level_words(shown->status.wanted_mode,
                                                                               told_percent(*shown))));
    notify({several_summary(), QStringList(changed_lines_.values()).join(QLatin1Char('\n')), -1});
}

void LevelNotifier::show_refusal(Refusal why, WindowPresence window)
{
    if (window == WindowPresence::active || why == Refusal::none)
        return;
    QString holder;
    for (const ControllerStatus &status : std::as_const(last_))
        if (holder.isEmpty())
            holder = status.holder;
    const QString reason = outcome_text(Outcome::refused(why), holder);
    // No value hint: some servers draw a hinted notification as a bar only,
    // and the reason is the message.
    if (last_.size() <= 1) {
        notify({level_words(last_.value(0)), reason, -1});
        return;
    }
    QStringList lines{reason};
    for (const ControllerStatus &status : std::as_const(last_))
        lines << controller_line(status, level_words(status));
    notify({several_summary(), lines.join(QLatin1Char('\n')), -1});
}

QString LevelNotifier::several_summary()
{
    return tr("Яркость контроллеров");
}

void LevelNotifier::notify(const Notice &notice)
{
    if (!enabled_ || !bus_.isConnected())
        return;
    if (in_flight_) {
        waiting_ = notice;
        have_waiting_ = true;
        return;
    }
    send(notice);
}

void LevelNotifier::send(const Notice &notice)
{
    QVariantMap hints{{QStringLiteral("transient"), true},
                      {QStringLiteral("desktop-entry"), APP_ID}};
    if (notice.percent >= 0)
        hints.insert(QStringLiteral("value"), notice.percent);
    QDBusMessage call = QDBusMessage::createMethodCall(SERVICE, PATH, SERVICE, QStringLiteral("Notify"));
    call << QStringLiteral("Morvane PWM") << replaces_id_ << APP_ID << notice.summary << notice.body
         << QStringList() << hints << EXPIRE_MS;
    in_flight_ = true;
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        in_flight_ = false;
        // No server, or one that failed: the level simply is not shown.
        const QDBusPendingReply<uint> reply = *watcher;
        if (!reply.isError()) {
            replaces_id_ = reply.value();
            emit shown(replaces_id_);
        }
        if (have_waiting_) {
            have_waiting_ = false;
            send(waiting_);
        }
    });
}
