#pragma once

#include "history_rows.h"
#include "history_summary.h"

#include <QObject>

#include <memory>

class HistoryStore;

// The store on the recorder's own thread: opens it there (a connection
// belongs to the thread that made it), writes each minute's batch in one
// transaction and prunes once a day.
class HistoryWriter : public QObject
{
    Q_OBJECT

public:
    explicit HistoryWriter(const QString &path);
    ~HistoryWriter() override;

    // Both on the writer's thread; now_ms on the recorder's clock.
    void open(qint64 now_ms);
    void write(const HistoryBatch &batch, qint64 now_ms);
    // Gives the rows under legacy identities to the stable identity `id`.
    void adopt_legacy_identity(const QString &id);
    // Closes the database; later batches are dropped.
    void close();
    // Reads what the curve window shows; answered with summary_ready.
    void summarise(const QString &identity, const std::optional<ConfigBlock> &current, LightPositions positions,
                   qint64 now_ms);

    // Answered with coupling_read.
    void read_coupling(const QString &identity);

signals:
    void summary_ready(const HistorySummary &summary);
    void coupling_read(const QString &identity, const std::optional<CouplingResult> &coupling);
    // The store could not be opened or written: history is off from now on.
    void failed(const QString &problem);
    // A damaged database was moved aside and a new one started.
    void notice(const QString &text);
    // The minutes just written end a hunting spell of controller `identity`.
    void hunting_seen(const QString &identity);

private:
    void report();
    void look_for_hunting(const std::vector<MinuteRow> &minutes);

    QString path_;
    std::unique_ptr<HistoryStore> store_;
    qint64 last_prune_ms_ = 0;
};
