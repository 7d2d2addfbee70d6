#pragma once

#include "tests/e2e/e2e_session.h"

#include <QProcess>
#include <QTemporaryDir>

struct CliResult
{
    int exit_code = -1; // -1: crashed or did not end
    QString out;
    QString err;

    QString describe() const;
};

// A running `morvane-pwmctl watch` and the lines it has printed so far.
class WatchRun
{
public:
    QProcess process;
    QString printed;

    // Waits until it has printed `count` lines; false after `timeout_ms`.
    bool wait_for_lines(int count, int timeout_ms);
};

// Runs of the real morvane-pwmctl in one user's session, with a runtime
// directory of its own (the device lock is the user's, wherever that is)
// and the locale given by `language` (LANG; C keeps the English texts). Given a simulated
// controller, the client meets it through hidapi and finds no session bus;
// without one, it has nothing but the test's session bus.
class ClientSession
{
public:
    explicit ClientSession(const SimController *sim = nullptr, const QString &language = QStringLiteral("C"));

    QString runtime_dir() const { return runtime_.path(); }
    void prepare(QProcess &process, const QStringList &args) const;
    CliResult run(const QStringList &args) const;
    void start_watch(WatchRun &watch, const QStringList &args = {QStringLiteral("watch")}) const;

private:
    const SimController *sim_;
    QString language_;
    QTemporaryDir runtime_;
};
