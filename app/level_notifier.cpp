#include "level_notifier.h"

#include "level_words.h"

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
    const ControllerStatus before = last_;
    const bool had_status = have_status_;
    last_ = status;
    have_status_ = true;
    if (!had_status || window == WindowPresence::active)
        return;
    const bool was_ready = controller_ready(before);
    const bool ready = controller_ready(status);
    // Plugging in and unplugging matter only with the window gone; the level
    // and the mode whenever the window is out of sight.
    const bool came_or_went = was_ready != ready && window == WindowPresence::hidden;
    const bool level_moved = ready && was_ready
        && (manual(before) != manual(status)
            || (manual(status) && before.manual_level != status.manual_level));
    if (came_or_went || level_moved)
        notify({level_words(status), QString(), ready ? level_percent(status) : -1});
}

void LevelNotifier::show_refusal(Refusal why, WindowPresence window)
{
    if (window == WindowPresence::active || why == Refusal::none)
        return;
    notify({level_words(last_), refusal_words(why),
            controller_ready(last_) ? level_percent(last_) : -1});
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
