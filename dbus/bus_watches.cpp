#include "bus_watches.h"

#include "model/poll_cadence.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

CallerLeaving::CallerLeaving(QObject *parent)
    : QObject(parent)
    , bus_(QString())
{
    watcher_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &CallerLeaving::leave);
}

void CallerLeaving::set_bus(const QDBusConnection &bus)
{
    bus_ = bus;
    watcher_.setConnection(bus);
}

void CallerLeaving::follow(const QString &caller)
{
    if (watcher_.watchedServices().contains(caller))
        return;
    watcher_.addWatchedService(caller);
    // A caller gone before the bus had our interest in its leaving would be
    // followed for ever: asked after it, the bus answers in order.
    auto *still_there = new QDBusPendingCallWatcher(
        bus_.interface()->asyncCall(QStringLiteral("NameHasOwner"), caller), this);
    connect(still_there, &QDBusPendingCallWatcher::finished, this, [this, caller](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        if (!QDBusPendingReply<bool>(*call).value())
            leave(caller);
    });
}

void CallerLeaving::forget(const QString &caller)
{
    watcher_.removeWatchedService(caller);
}

void CallerLeaving::leave(const QString &caller)
{
    if (!watcher_.removeWatchedService(caller))
        return;
    emit left(caller);
}

BusWatches::BusWatches(PollCadence &cadence, QObject *parent)
    : QObject(parent)
    , cadence_(cadence)
{
    connect(&leaving_, &CallerLeaving::left, this, &BusWatches::forget);
}

void BusWatches::set_bus(const QDBusConnection &bus)
{
    leaving_.set_bus(bus);
}

void BusWatches::watch(const QString &caller)
{
    if (watches_.contains(caller)) {
        ++watches_[caller];
        return;
    }
    watches_.insert(caller, 1);
    leaving_.follow(caller);
    cadence_.set_watched(true);
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
    leaving_.forget(caller);
    cadence_.set_watched(!watches_.isEmpty());
}
