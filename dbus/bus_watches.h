#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QObject>
#include <QString>

class PollCadence;

// Follows callers' bus names until their connections leave the bus: left()
// once for each followed caller that goes, also when it went before it was
// followed.
class CallerLeaving : public QObject
{
    Q_OBJECT

public:
    explicit CallerLeaving(QObject *parent = nullptr);

    // The bus the callers are on.
    void set_bus(const QDBusConnection &bus);
    void follow(const QString &caller);
    // Without a follow of `caller`, nothing.
    void forget(const QString &caller);

signals:
    void left(const QString &caller);

private:
    void leave(const QString &caller);

    QDBusConnection bus_;
    QDBusServiceWatcher watcher_;
};

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
    CallerLeaving leaving_;
    QHash<QString, int> watches_; // per caller, at least 1
};
