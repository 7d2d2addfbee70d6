#include "history_writer.h"

#include "history_store.h"
#include "hunting_spells.h"

#include <map>

namespace {

constexpr qint64 DAY_MS = 24 * 3600 * 1000;

} // namespace

HistoryWriter::HistoryWriter(const QString &path)
    : path_(path)
{
}

HistoryWriter::~HistoryWriter() = default;

void HistoryWriter::open(qint64 now_ms)
{
    store_ = std::make_unique<HistoryStore>(path_);
    last_prune_ms_ = now_ms; // opening prunes
    if (!store_->moved_aside().isEmpty())
        emit notice(tr("history: %1 was damaged; it was moved to %2 and a new history begins")
                        .arg(path_, store_->moved_aside()));
    report();
}

void HistoryWriter::write(const HistoryBatch &batch, qint64 now_ms)
{
    if (!store_)
        return;
    if (store_->write(batch))
        look_for_hunting(batch.minutes);
    if (store_->is_open() && now_ms - last_prune_ms_ >= DAY_MS) {
        last_prune_ms_ = now_ms;
        store_->prune(now_ms);
    }
    report();
}

// Only a controller whose new minutes turned is read back: the last
// HUNTING_WINDOW_SECONDS up to its latest minute.
void HistoryWriter::look_for_hunting(const std::vector<MinuteRow> &minutes)
{
    std::map<QString, qint64> turned; // identity: its latest minute that turned
    for (const MinuteRow &minute : minutes)
        if (minute.reversals > 0 && !minute.identity.isEmpty())
            turned[minute.identity] = std::max(turned[minute.identity], minute.minute_start);
    for (const auto &[identity, latest] : turned)
        if (!recorded_hunting(*store_, identity, latest + 60 - HUNTING_WINDOW_SECONDS, latest + 60).empty())
            emit hunting_seen(identity);
}

void HistoryWriter::adopt_legacy_identity(const QString &id)
{
    if (!store_)
        return;
    // A database that refuses it keeps recording: the old rows only stay apart.
    if (const QString problem = store_->adopt_legacy_identity(id).problem; !problem.isEmpty())
        emit notice(problem);
}

void HistoryWriter::close()
{
    store_.reset();
}

void HistoryWriter::summarise(const QString &identity, const std::optional<ConfigBlock> &current,
                              LightPositions positions, qint64 now_ms)
{
    if (store_)
        emit summary_ready(summarise_history(*store_, identity, current, positions, now_ms));
}

void HistoryWriter::read_coupling(const QString &identity)
{
    if (store_)
        emit coupling_read(identity, store_->last_coupling(identity));
}

void HistoryWriter::report()
{
    if (store_->is_open())
        return;
    emit failed(store_->problem());
    store_.reset();
}
