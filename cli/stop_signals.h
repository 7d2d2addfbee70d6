#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT and SIGTERM as a Qt signal, while an object of this class lives:
// the handler only writes to a pipe, the event loop does the rest.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    void received();

private:
    QSocketNotifier *notifier_ = nullptr;
};
