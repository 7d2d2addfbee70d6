#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QObject>
#include <QString>

class PollCadence;

// The clients that asked for live values (Watch), counted by bus name: each
// Watch lasts until an Unwatch of the same caller or until the caller
// leaves the bus. The model hears only whether anyone watches.
class BusWatches : public QObject
{
    Q_OBJECT

public:
    explicit BusWatches(PollCadence &cadence, QObject *parent = nullptr);

    // The bus the callers are on.
    void set_bus(const QDBusConnection &bus);
    void watch(const QString &caller);
    // Without a watch of `caller`, nothing.
    void unwatch(const QString &caller);

private:
    void forget(const QString &caller);

    PollCadence &cadence_;
    QDBusConnection bus_;
    QDBusServiceWatcher leaving_;
    QHash<QString, int> watches_; // per caller, at least 1
};
