#pragma once

#include <QLockFile>
#include <QString>

// Keeps the program and the command-line client from exchanging with the
// controller at the same time: hidraw gives every reply to every open handle,
// so two processes talking at once would take each other's replies. The
// program holds the lock while it has the controller open, the client while
// it does its one job. A lock whose holder has died is taken over.
class DeviceLock
{
public:
    // Longest a client waits for the program to let go (between two device
    // checks the program holds nothing only while no controller is open).
    static constexpr int CLIENT_WAIT_MS = 3000;

    DeviceLock(); // the per-user lock in the runtime directory
    explicit DeviceLock(const QString &path);

    DeviceLock(const DeviceLock &) = delete;
    DeviceLock &operator=(const DeviceLock &) = delete;

    // Takes the lock, waiting at most wait_ms. True when held (already or now).
    bool try_lock(int wait_ms = 0);
    void unlock();

    // Who holds it, "morvane-pwm (pid 1234)", as far as the lock file says.
    QString holder() const;

    static QString default_path();

private:
    QLockFile lock_file_;
};
