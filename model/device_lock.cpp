#include "device_lock.h"

#include "controller_identity.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char LOCK_PREFIX[] = "io.github.morvane.pwm.device-";

// A directory only this user can enter: ours, 0700, not a link. lstat, so
// that a link planted in /tmp by someone else is never followed.
QString unfit_directory(const QString &dir)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(dir).constData(), &info) != 0)
        return QStringLiteral("%1: %2").arg(dir, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is not a directory").arg(dir);
    if (info.st_uid != ::getuid())
        return QStringLiteral("%1 belongs to another user").arg(dir);
    if ((info.st_mode & 0077) != 0)
        return QStringLiteral("%1 can be entered by other users").arg(dir);
    return QString();
}

} // namespace

DeviceLock::DeviceLock(const QString &path, const QString &problem)
    : problem_(problem)
    , lock_file_(path)
{
    lock_file_.setStaleLockTime(0);
}

DeviceLock DeviceLock::for_node(const QString &node)
{
    QString problem;
    const QString path = path_for_node(node, &problem);
    return DeviceLock(path, problem);
}

QString DeviceLock::path_for_node(const QString &node, QString *problem)
{
    const QString dir = directory(problem);
    if (dir.isEmpty())
        return QString();
    return dir + QLatin1Char('/') + QLatin1String(LOCK_PREFIX) + escaped_name(node) + QLatin1String(".lock");
}

DeviceLock::DeviceLock(const QString &path)
    : lock_file_(path)
{
    // Stale only when its holder has died, however long it was held.
    lock_file_.setStaleLockTime(0);
}

bool DeviceLock::try_lock(int wait_ms)
{
    if (lock_file_.isLocked())
        return true;
    if (lock_file_.fileName().isEmpty())
        return false;
    if (lock_file_.tryLock(wait_ms)) {
        problem_.clear();
        return true;
    }
    if (lock_file_.error() != QLockFile::LockFailedError)
        problem_ = QStringLiteral("%1: %2")
                       .arg(lock_file_.fileName(),
                            lock_file_.error() == QLockFile::PermissionError ? QStringLiteral("permission denied")
                                                                             : QStringLiteral("cannot be created"));
    else if (problem_.contains(lock_file_.fileName()))
        problem_.clear();
    return false;
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

bool DeviceLock::held_by_program() const
{
    qint64 pid = 0;
    QString host;
    QString application;
    return !lock_file_.isLocked() && lock_file_.getLockInfo(&pid, &host, &application)
        && application == QLatin1String("morvane-pwm");
}

QString DeviceLock::directory(QString *problem)
{
    const uint uid = ::getuid();
    // Tests and sandboxes keep their programs apart from the user's own.
    const QString chosen = qEnvironmentVariable("MORVANE_PWM_LOCK_DIR");
    const QString runtime = QStringLiteral("/run/user/%1").arg(uid);
    if (chosen.isEmpty() && QFileInfo::exists(runtime) && unfit_directory(runtime).isEmpty())
        return runtime;

    const QString own = chosen.isEmpty() ? QStringLiteral("/tmp/morvane-pwm-%1").arg(uid) : chosen;
    if (::mkdir(QFile::encodeName(own).constData(), 0700) != 0 && errno != EEXIST) {
        if (problem)
            *problem = QStringLiteral("%1: %2").arg(own, QString::fromLocal8Bit(std::strerror(errno)));
        return QString();
    }
    if (const QString why = unfit_directory(own); !why.isEmpty()) {
        if (problem)
            *problem = why;
        return QString();
    }
    return own;
}
