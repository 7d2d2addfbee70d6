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

} // namespace

LevelNotifier::LevelNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), bus_(bus)
{
}

void LevelNotifier::show_status(const ControllerStatus &status, WindowPresence window)
{
    last_ = status;
    // Coming and going is no change of level: after a start or a plug-in
    // the first ready status is only the starting point.
    if (!controller_ready(status)) {
        have_shown_ = false;
        return;
    }
    const Shown now{manual(status), manual(status) ? status.manual_level : -1};
    const bool changed = have_shown_ && (now.manual != shown_.manual || now.manual_level != shown_.manual_level);
    shown_ = now;
    have_shown_ = true;
    if (!changed || window == WindowPresence::active)
        return;
    // Switched to automatic, the read-out still holds the manual level the
    // controller slides away from: the level told is where the curve goes.
    const int percent = manual(status) ? level_percent(status)
                                       : pwm_percent(int(curve_width(configuration_, status.light)));
    notify({mode_level_words(status.wanted_mode, percent), QString(), percent});
}

void LevelNotifier::show_refusal(Refusal why, WindowPresence window)
{
    if (window == WindowPresence::active || why == Refusal::none)
        return;
    // No value hint: some servers draw a hinted notification as a bar only,
    // and the reason is the message.
    notify({level_words(last_), outcome_text(Outcome::refused(why), last_.holder), -1});
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
