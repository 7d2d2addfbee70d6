// Records a steady controller into the history at a compressed minute until
// it is killed: the store test's writer that dies mid-minute.
// Usage: history_probe DATABASE MINUTE_MS

#include "history/history_recorder.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    HistoryRecorder recorder({QString::fromLocal8Bit(argv[1]), QByteArray(argv[2]).toInt()});
    ControllerStatus status;
    status.connected = status.live = true;
    status.identity = QStringLiteral("8d88:00bb:probe");
    status.light = 500;
    recorder.record_status(status);
    recorder.record_manual_change({QDateTime::currentDateTimeUtc(), status.identity, 500, 100, 200, ChangeSource::hot_key});
    return app.exec();
}
