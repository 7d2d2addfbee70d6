#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (a logout, systemd, kill), SIGINT (Ctrl+C in the terminal) and
// SIGHUP (a closed terminal; logind ending a session scope) as a Qt signal
// on the GUI thread, so that the program ends as after any other ending,
// with the write-back and without a question. A signal ignored at start
// (nohup) stays ignored. The handler only writes to a pipe; one instance
// per process.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signal_number);

private:
    QSocketNotifier *notifier_ = nullptr;
};
