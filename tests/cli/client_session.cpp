#include "client_session.h"

QString CliResult::describe() const
{
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(exit_code).arg(out, err);
}

ClientSession::ClientSession(const SimController *sim, const QString &language)
    : sim_(sim)
    , language_(language)
{
}

void ClientSession::prepare(QProcess &process, const QStringList &args) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    env.remove(QStringLiteral("LD_PRELOAD"));
    for (const char *overriding : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        env.remove(QLatin1String(overriding));
    env.insert(QStringLiteral("LANG"), language_);
    if (sim_) {
        env.insert(QStringLiteral("MORVANE_SIM_DIR"), sim_->path());
        env.insert(QStringLiteral("LD_PRELOAD"), sim_preload());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + runtime_.path() + "/no-bus");
    }
    tie_to_test(process);
    process.setProcessEnvironment(env);
    process.setProgram(QStringLiteral(CLI_PROGRAM));
    process.setArguments(args);
}

CliResult ClientSession::run(const QStringList &args) const
{
    QProcess process;
    prepare(process, args);
    process.start();
    CliResult result;
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit)
        result.exit_code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void ClientSession::start_watch(WatchRun &watch, const QStringList &args) const
{
    prepare(watch.process, args);
    watch.process.start();
}

bool WatchRun::wait_for_lines(int count, int timeout_ms)
{
    return wait_until(
        [&] {
            printed += QString::fromUtf8(process.readAllStandardOutput());
            return printed.count(QLatin1Char('\n')) >= count;
        },
        timeout_ms);
}
