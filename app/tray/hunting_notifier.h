#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>

#include <functional>

// The desktop notification that a controller's lamp seems to light its own
// sensor (the history found it hunting), at most once in INTERVAL_MS across
// restarts (remember_hunting_notice). Where the notification server lists
// actions it offers "measure", which asks for the coupling measurement of
// that controller; elsewhere the text says where to start it. Without a
// server nothing is shown, and nothing remembered.
class HuntingNotifier : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 INTERVAL_MS = 24 * 3600 * 1000;
    static constexpr char MEASURE_ACTION[] = "measure";
    // The present time, in milliseconds since the epoch; tests pass their own.
    using Clock = std::function<qint64()>;

    explicit HuntingNotifier(const QDBusConnection &bus, Clock clock = current_ms, QObject *parent = nullptr);

    // The controller `identity` was seen hunting.
    void hunting_seen(const QString &identity);

    static qint64 current_ms();

signals:
    // The owner chose "measure" on the notification of `identity`.
    void measure_requested(const QString &identity);
    // The server showed notification id; for tests.
    void shown(uint id);

private slots:
    // The server's ActionInvoked signal, for any program's notification.
    void take_action(uint id, const QString &action);

private:
    void notify(const QString &identity, bool with_action);

    QDBusConnection bus_;
    Clock clock_;
    bool in_flight_ = false; // asked the server, not answered yet
    QHash<uint, QString> offered_; // notification id: the controller it offers to measure
};
