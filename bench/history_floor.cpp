// Baseline for `morvane-pwmctl history --days N --json`: a process with the
// client's libraries that opens the history read-only and runs the same
// queries, as the client does, and prints nothing. Usage: history_floor N

#include "history/history_store.h"

#include <QCoreApplication>
#include <QDateTime>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 days = app.arguments().value(1).toLongLong();
    const HistoryStore store(HistoryStore::default_path(), HistoryStore::Access::read_only);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 from = now - days * 24 * 3600;
    const bool found = !store.periods(QString(), from, now + 1, 3600).empty()
                       || !store.corrections(QString(), from * 1000, (now + 1) * 1000).empty();
    return store.is_open() && found ? 0 : 1;
}
