#pragma once

#include <QLockFile>
#include <QString>

// Keeps the program and the command-line client from exchanging with a
// controller at the same time: hidraw gives every reply to every open handle,
// so two processes talking at once would take each other's replies. There is
// one lock per device node (never per identity: two processes may name the
// same controller differently, never its node). The program holds a node's
// lock while it has that controller open, the client while it does its one
// job. A lock whose holder has died is taken over.
class DeviceLock
{
public:
    // Longest a client waits for the program to let go (between two device
    // checks the program holds nothing only while no controller is open).
    static constexpr int CLIENT_WAIT_MS = 3000;

    explicit DeviceLock(const QString &path);
    // The lock of one device node, in the per-user directory (directory()).
    static DeviceLock for_node(const QString &node);

    DeviceLock(const DeviceLock &) = delete;
    DeviceLock &operator=(const DeviceLock &) = delete;

    // Takes the lock, waiting at most wait_ms. True when held (already or now).
    bool try_lock(int wait_ms = 0);
    void unlock();

    // Who holds it, "morvane-pwm (pid 1234)", as far as the lock file says.
    QString holder() const;
    // Held by the program itself (not by another morvane-pwmctl).
    bool held_by_program() const;
    // Why the lock cannot be made at all (its directory or file is not
    // ours, not writable); empty when it can be, held or not.
    QString problem() const { return problem_; }

    // The lock file of a device node in directory().
    static QString path_for_node(const QString &node, QString *problem = nullptr);
    // One directory per user whatever the environment (XDG_RUNTIME_DIR,
    // TMPDIR): /run/user/<uid> where the system made it for this user,
    // otherwise a directory of our own in /tmp; either is checked to be this
    // user's, mode 0700 and not a symbolic link. Empty, with *problem set,
    // when neither is fit. MORVANE_PWM_LOCK_DIR, when set, names the
    // directory instead (made if missing, checked the same way).
    static QString directory(QString *problem = nullptr);

private:
    DeviceLock(const QString &path, const QString &problem);

    QString problem_; // before lock_file_: the default constructor fills it while making the path
    QLockFile lock_file_;
};
