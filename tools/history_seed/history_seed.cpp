// Writes a few days of made-up history for the simulated controller, so that
// the demo's curve window has a band, corrections and a proposal to show.
//
//   history_seed DATABASE DAYS IDENTITY
//
// Every minute of the last DAYS days (the light of synthetic_minute), three
// manual changes a day in three light bands (the evening lamp, the morning,
// noon), and the simulated controller's factory configuration.

#include "history/history_store.h"
#include "synthetic_history.h"
#include "tools/sim/sim_firmware.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const int days = args.value(1).toInt();
    if (args.size() != 3 || days < 1 || days > HistoryStore::RETENTION_DAYS) {
        std::fprintf(stderr, "usage: history_seed DATABASE DAYS IDENTITY\n");
        return 2;
    }
    const QString &identity = args.at(2);
    HistoryStore store(args.at(0));
    const qint64 now = QDateTime::currentSecsSinceEpoch() / 60 * 60;
    for (int day = days; day > 0; --day) {
        HistoryBatch batch;
        const qint64 day_start = now - qint64(day) * 86400;
        for (qint64 minute = day_start; minute < day_start + 86400; minute += 60)
            batch.minutes.push_back(synthetic_minute(identity, minute));
        // The owner wants the lamp-lit evening and the morning brighter and
        // noon a little dimmer than the curve drives them; never quite the same.
        const struct { int hour; int level; } wishes[] = {{21, 160}, {9, 420}, {13, 500}};
        for (const auto &wish : wishes) {
            const MinuteRow at = synthetic_minute(identity, day_start + wish.hour * 3600);
            batch.corrections.push_back({at.minute_start * 1000, identity, unsigned(at.light_mean),
                                         int(at.width_mean), wish.level + (day % 3 - 1) * 12,
                                         QStringLiteral("hot_key")});
        }
        if (day == 1)
            batch.configurations.push_back({identity, now * 1000, sim_default_config()});
        if (!store.write(batch)) {
            std::fprintf(stderr, "history_seed: %s\n", qPrintable(store.problem()));
            return 1;
        }
    }
    return 0;
}
