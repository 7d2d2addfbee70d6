#pragma once

#include <QProcess>
#include <QStringList>

#include <functional>

// A helper program started by a test. Collects its stdout line by line;
// every wait is bounded, and whatever still runs is killed on destruction.
class ProbeProcess
{
public:
    static constexpr int WAIT_MS = 10000;

    ProbeProcess(const QString &program, const QStringList &arguments,
                 const QProcessEnvironment &environment);
    ~ProbeProcess();

    ProbeProcess(const ProbeProcess &) = delete;
    ProbeProcess &operator=(const ProbeProcess &) = delete;

    // True once stdout has shown this whole line (now or within timeout_ms).
    bool wait_for_line(const QString &line, int timeout_ms = WAIT_MS);
    // True once stdout has shown any whole line.
    bool wait_for_output(int timeout_ms = WAIT_MS);
    // True when the program ended by itself within timeout_ms.
    bool wait_for_exit(int timeout_ms = WAIT_MS);
    // The complete stdout lines so far.
    QStringList lines();
    // Its stderr so far.
    QString errors();

    QProcess &process() { return process_; }

private:
    void collect();
    bool wait_until(const std::function<bool()> &seen, int timeout_ms);

    QProcess process_;
    QByteArray partial_;
    QStringList lines_;
    QString errors_;
};
