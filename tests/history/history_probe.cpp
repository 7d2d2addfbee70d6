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
    const int minute_ms = QByteArray(argv[2]).toInt();
    HistoryRecorder recorder({QString::fromLocal8Bit(argv[1]), minute_ms});
    ControllerStatus status;
    status.connected = status.live = true;
    status.identity = QStringLiteral("8d88:00bb:probe");
    status.light = 500;
    recorder.record_status(status);
    recorder.record_manual_change({QDateTime::currentDateTimeUtc(), status.identity, 500, 100, 200, ChangeSource::hot_key});
    // Opened two minutes late, as the program opens it after its first
    // frame: the minutes and the correction recorded meanwhile wait for it.
    QTimer::singleShot(2 * minute_ms, &recorder, &HistoryRecorder::start);
    return app.exec();
}
