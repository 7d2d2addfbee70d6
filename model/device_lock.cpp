#include "device_lock.h"

#include <QDir>
#include <QStandardPaths>

DeviceLock::DeviceLock()
    : DeviceLock(default_path())
{
}

DeviceLock::DeviceLock(const QString &path)
    : lock_file_(path)
{
    // Stale only when its holder has died, however long it was held.
    lock_file_.setStaleLockTime(0);
}

bool DeviceLock::try_lock(int wait_ms)
{
    return lock_file_.isLocked() || lock_file_.tryLock(wait_ms);
}

void DeviceLock::unlock()
{
    if (lock_file_.isLocked())
        lock_file_.unlock();
}

QString DeviceLock::holder() const
{
    qint64 pid = 0;
    QString host;
    QString application;
    if (!lock_file_.getLockInfo(&pid, &host, &application))
        return QString();
    return QStringLiteral("%1 (pid %2)").arg(application.isEmpty() ? QStringLiteral("?") : application).arg(pid);
}

QString DeviceLock::default_path()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/io.github.morvane.pwm.device.lock");
}
