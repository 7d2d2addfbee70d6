#include "probe_process.h"

#include <QDeadlineTimer>

ProbeProcess::ProbeProcess(const QString &program, const QStringList &arguments,
                           const QProcessEnvironment &environment)
{
    process_.setProcessEnvironment(environment);
    process_.start(program, arguments);
    process_.waitForStarted(WAIT_MS);
}

ProbeProcess::~ProbeProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(WAIT_MS);
    }
}

void ProbeProcess::collect()
{
    partial_ += process_.readAllStandardOutput();
    qsizetype end;
    while ((end = partial_.indexOf('\n')) >= 0) {
        lines_ << QString::fromUtf8(partial_.left(end));
        partial_.remove(0, end + 1);
    }
    errors_ += QString::fromUtf8(process_.readAllStandardError());
}

bool ProbeProcess::wait_for_line(const QString &line, int timeout_ms)
{
    return wait_until([&] { return lines_.contains(line); }, timeout_ms);
}

bool ProbeProcess::wait_for_output(int timeout_ms)
{
    return wait_until([&] { return !lines_.isEmpty(); }, timeout_ms);
}

bool ProbeProcess::wait_until(const std::function<bool()> &seen, int timeout_ms)
{
    const QDeadlineTimer deadline(timeout_ms);
    for (;;) {
        collect();
        if (seen())
            return true;
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
            return false;
        process_.waitForReadyRead(int(deadline.remainingTime()));
    }
}

bool ProbeProcess::wait_for_exit(int timeout_ms)
{
    const bool ended = process_.waitForFinished(timeout_ms);
    collect();
    return ended && process_.exitStatus() == QProcess::NormalExit;
}

QStringList ProbeProcess::lines()
{
    collect();
    return lines_;
}

QString ProbeProcess::errors()
{
    collect();
    return errors_;
}
