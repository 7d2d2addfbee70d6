// The history's costs, for bench/run's history group. Prints "key value" lines.
//   history_bench minute       one minute's write (median, us) and the CPU an
//                              hour of 50 ms status changes and 60 writes take
//   history_bench year DB      fills DB with a synthetic year (unless it has one),
//                              then its size, the time to build the light band,
//                              and the hunting spells' count over its minute rows
//                              (and with their reading from the store)

#include "history/history_recorder.h"
#include "history/history_store.h"
#include "history/hunting_spells.h"
#include "tools/history_seed/synthetic_history.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

const QString ID = QStringLiteral("8d88:00bb:bench");
constexpr int MINUTES_A_YEAR = 365 * 24 * 60;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double cpu_seconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

int minute(const QString &dir)
{
    HistoryStore store(dir + QStringLiteral("/minute.sqlite"));
    const qint64 start = QDateTime::currentSecsSinceEpoch() / 60 * 60;
    std::vector<double> writes;
    QElapsedTimer timer;
    for (int i = 0; i < 300; ++i) {
        HistoryBatch batch;
        batch.minutes.push_back(synthetic_minute(ID, start + 60 * i));
        timer.start();
        if (!store.write(batch))
            return 1;
        writes.push_back(timer.nsecsElapsed() / 1000.0);
    }
    const double write_us = median(writes);

    // An hour of status changes at 50 ms, counted as the recorder counts
    // them (its minute never ends here: the writes are the part above).
    HistoryRecorder recorder({dir + QStringLiteral("/hour.sqlite"), 60'000});
    recorder.start();
    ControllerStatus status;
    status.connected = status.live = true;
    status.identity = ID;
    const double cpu_before = cpu_seconds();
    for (int tick = 0; tick < 3600 * 20; ++tick) {
        status.light = 300 + tick % 200;
        recorder.record_status(status);
    }
    const double status_seconds = cpu_seconds() - cpu_before;
    const double hour_seconds = status_seconds + 60 * write_us / 1e6;
    std::printf("write_us %.1f\nstatus_us %.3f\nhour_cpu_percent %.4f\n", write_us, status_seconds * 1e6 / (3600 * 20),
                100 * hour_seconds / 3600);
    return 0;
}

int year(const QString &path)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch() / 60 * 60;
    {
        HistoryStore store(path);
        if (!store.is_open())
            return 1;
        if (store.periods(ID, now - 3600, now, 60).empty()) {
            for (int day = 0; day < 365; ++day) {
                HistoryBatch batch;
                for (int m = 0; m < 24 * 60; ++m)
                    batch.minutes.push_back(synthetic_minute(ID, now - 60 * qint64(MINUTES_A_YEAR - day * 24 * 60 - m)));
                for (int hour : {8, 13, 21}) {
                    const MinuteRow at = synthetic_minute(ID, now - qint64(365 - day) * 86400 + hour * 3600);
                    batch.corrections.push_back({at.minute_start * 1000, ID, unsigned(at.light_mean), 200, 240,
                                                 QStringLiteral("hot_key")});
                }
                if (!store.write(batch))
                    return 1;
            }
        }
    }
    const qint64 bytes = QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
    const HistoryStore store(path, HistoryStore::Access::read_only);
    const auto band_ms = [&](int days) {
        std::vector<double> times;
        QElapsedTimer timer;
        for (int i = 0; i < 5; ++i) {
            timer.start();
            store.light_histogram(ID, now - qint64(days) * 86400);
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        return median(times);
    };
    double minutes = 0;
    for (const MinuteRow &all : store.periods(ID, 0, now + 60, 400 * 86400))
        minutes += all.seconds_connected / 60;
    std::printf("year_minutes %.0f\nsize_mb %.1f\nband_30d_ms %.2f\nband_year_ms %.2f\n", minutes, bytes / 1e6,
                band_ms(30), band_ms(365));

    const qint64 year_ago = now - 366 * 86400;
    const std::vector<MinuteRow> rows = store.periods(ID, year_ago, now + 60, 60);
    std::vector<double> counts, reads;
    size_t spells = 0, read = 0;
    QElapsedTimer timer;
    for (int i = 0; i < 5; ++i) {
        timer.start();
        spells = hunting_spells(rows, std::nullopt).size();
        counts.push_back(timer.nsecsElapsed() / 1e6);
        timer.start();
        read = recorded_hunting(store, ID, year_ago, now + 60).size();
        reads.push_back(timer.nsecsElapsed() / 1e6);
    }
    // The store reads only the minutes around turns: the same spells, or the figure is void.
    if (read != spells)
        return 1;
    std::printf("hunting_spells %zu\nhunting_year_ms %.2f\nhunting_read_year_ms %.2f\n", spells, median(counts),
                median(reads));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTemporaryDir dir;
    if (args.value(0) == QLatin1String("minute"))
        return minute(dir.path());
    if (args.value(0) == QLatin1String("year") && args.size() == 2)
        return year(args.at(1));
    std::fprintf(stderr, "usage: history_bench minute | year DATABASE\n");
    return 2;
}
