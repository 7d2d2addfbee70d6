#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (a logout, systemd, kill) and SIGINT (Ctrl+C in the terminal) as
// a Qt signal on the GUI thread, so that the program leaves its event loop
// and writes the configuration back as after any other ending, without a
// question. The handler only writes to a pipe; one instance per process.
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
