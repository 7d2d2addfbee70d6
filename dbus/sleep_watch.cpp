#include "sleep_watch.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>

SleepWatch::SleepWatch(std::function<void(Ready)> before_sleep, std::function<void()> after_wake, QObject *parent)
    : QObject(parent)
    , before_sleep_(std::move(before_sleep))
    , after_wake_(std::move(after_wake))
{
}

bool SleepWatch::follow(const QDBusConnection &system_bus)
{
    if (!system_bus.isConnected())
        return false;
    bus_ = system_bus;
    bus_.connect(QLatin1String(LOGIN_SERVICE), QLatin1String(LOGIN_PATH), QLatin1String(LOGIN_MANAGER),
                 QStringLiteral("PrepareForSleep"), this, SLOT(prepare_for_sleep(bool)));
    take_inhibitor();
    return true;
}

// Without logind the call fails, and nothing is held.
void SleepWatch::take_inhibitor()
{
    QDBusMessage inhibit = QDBusMessage::createMethodCall(QLatin1String(LOGIN_SERVICE), QLatin1String(LOGIN_PATH),
                                                          QLatin1String(LOGIN_MANAGER), QStringLiteral("Inhibit"));
    inhibit << QStringLiteral("sleep") << QStringLiteral("morvane-pwm")
            << QStringLiteral("Lets the brightness controllers go and writes the light history")
            << QStringLiteral("delay");
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(inhibit), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, sleeps = sleeps_](QDBusPendingCallWatcher *call) {
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
        // Taken for a wake that a sleep has followed since: not held.
        if (reply.isValid() && sleeps == sleeps_ && !asleep_)
            inhibitor_ = reply.value();
        call->deleteLater();
    });
}

void SleepWatch::prepare_for_sleep(bool sleeping)
{
    if (sleeping == asleep_)
        return;
    asleep_ = sleeping;
    if (!sleeping) {
        after_wake_();
        take_inhibitor();
        return;
    }
    const unsigned sleep = ++sleeps_;
    before_sleep_([watch = QPointer<SleepWatch>(this), sleep] {
        if (watch && watch->sleeps_ == sleep && watch->asleep_)
            watch->inhibitor_ = QDBusUnixFileDescriptor();
    });
}
