#include "bus_watches.h"

#include "model/poll_cadence.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

BusWatches::BusWatches(PollCadence &cadence, QObject *parent)
    : QObject(parent)
    , cadence_(cadence)
    , bus_(QString())
{
    leaving_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&leaving_, &QDBusServiceWatcher::serviceUnregistered, this, &BusWatches::forget);
}

void BusWatches::set_bus(const QDBusConnection &bus)
{
    bus_ = bus;
    leaving_.setConnection(bus);
}

void BusWatches::watch(const QString &caller)
{
    if (watches_.contains(caller)) {
        ++watches_[caller];
        return;
    }
    watches_.insert(caller, 1);
    leaving_.addWatchedService(caller);
    cadence_.set_watched(true);
    // A caller gone before the bus had our interest in its leaving would
    // watch for ever: asked after it, the bus answers in order.
    auto *still_there = new QDBusPendingCallWatcher(
        bus_.interface()->asyncCall(QStringLiteral("NameHasOwner"), caller), this);
    connect(still_there, &QDBusPendingCallWatcher::finished, this, [this, caller](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        if (!QDBusPendingReply<bool>(*call).value())
            forget(caller);
    });
}

void BusWatches::unwatch(const QString &caller)
{
    const auto found = watches_.find(caller);
    if (found == watches_.end())
        return;
    if (--found.value() == 0)
        forget(caller);
}

void BusWatches::forget(const QString &caller)
{
    if (!watches_.remove(caller))
        return;
    leaving_.removeWatchedService(caller);
    cadence_.set_watched(!watches_.isEmpty());
}
