#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

#include <functional>

// Follows logind's PrepareForSleep on the system bus and holds a delay
// inhibitor while the system is awake, so that the program can let its
// controllers go and write its history before the system sleeps. Without
// a system bus or without logind nothing happens, and nothing is said.
class SleepWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr char LOGIN_SERVICE[] = "org.freedesktop.login1";
    static constexpr char LOGIN_PATH[] = "/org/freedesktop/login1";
    static constexpr char LOGIN_MANAGER[] = "org.freedesktop.login1.Manager";

    // Called once the program is ready for sleep: the inhibitor goes.
    using Ready = std::function<void()>;

    // `before_sleep` gets a Ready to call once done; `after_wake` runs when
    // the system has woken.
    SleepWatch(std::function<void(Ready)> before_sleep, std::function<void()> after_wake, QObject *parent = nullptr);

    // Follows logind on `system_bus`; false when that is not connected.
    bool follow(const QDBusConnection &system_bus);

private slots:
    void prepare_for_sleep(bool sleeping);

private:
    void take_inhibitor();

    std::function<void(Ready)> before_sleep_;
    std::function<void()> after_wake_;
    QDBusConnection bus_{QString()};
    QDBusUnixFileDescriptor inhibitor_; // open while held
    unsigned sleeps_ = 0;               // a late Ready for an earlier sleep lets nothing go
    bool asleep_ = false;
};
