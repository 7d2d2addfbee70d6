#pragma once

#include "history_rows.h"

#include <QCoreApplication>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

class QSqlDatabase;

// Whether an identity is of the form recorded before controllers had stable
// ones: "vvvv:pppp:<device node>" (vendor and product in lowercase hex),
// which changed with every replug.
bool is_legacy_identity(const QString &identity);

// What HistoryStore::adopt_legacy_identity did.
struct LegacyAdoption
{
    QStringList identities; // the legacy identities taken over; empty when none were waiting
    int minutes_combined = 0; // minutes held by more than one of them and the stable identity
    QString problem;          // set when nothing could be changed
};

// The history database (SQLite through QtSql, WAL journal), on the thread
// that made it: a connection belongs to one thread.
//
// Opening never fails loudly: a file that is not a database or fails its
// quick check is renamed aside ("history.sqlite.corrupt-<UTC time>") and a
// fresh one made; a database another program holds, a directory that cannot
// be written or a database from a newer version leave the store closed with
// problem() saying so in one sentence. Every query of a closed store
// returns nothing.
class HistoryStore
{
    Q_DECLARE_TR_FUNCTIONS(HistoryStore)

public:
    enum class Access {
        read_write, // the program: creates, migrates and prunes
        read_only,  // morvane-pwmctl: reads beside a running program, creates nothing
    };

    static constexpr int RETENTION_DAYS = 400;
    static constexpr int HISTOGRAM_BINS = 32;

    // $XDG_STATE_HOME/morvane-pwm/history.sqlite (~/.local/state/... by default).
    static QString default_path();

    explicit HistoryStore(const QString &path, Access access = Access::read_write);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    bool is_open() const { return problem_.isEmpty(); }
    QString problem() const { return problem_; }
    const QString &path() const { return path_; }
    // Where a corrupt database was moved on open; empty when none was.
    const QString &moved_aside() const { return moved_aside_; }

    // All of it in one transaction. On failure nothing is kept, the store
    // closes and problem() says why.
    bool write(const HistoryBatch &batch);
    // Forgets minutes and corrections older than RETENTION_DAYS before now_ms.
    bool prune(qint64 now_ms);

    // Periods of period_seconds (60: the minute rows themselves) starting in
    // [from, to) (seconds since the epoch), merged time-weighted, in time
    // order. An empty identity takes every controller.
    std::vector<MinuteRow> periods(const QString &identity, qint64 from, qint64 to, int period_seconds) const;
    std::vector<CorrectionRow> corrections(const QString &identity, qint64 from_ms, qint64 to_ms) const;
    // The minutes starting in [from, to) in which the brightness of the
    // controller named turned: (minute start, reversals), in time order.
    // Few rows of many, without merging: what a search for hunting starts from.
    std::vector<std::pair<qint64, int>> turning_minutes(const QString &identity, qint64 from, qint64 to) const;
    // The corrections a proposal learns from: every one before to_ms but
    // those from BEFORE_SLEEP_MS before a sleep to AFTER_WAKE_MS after it,
    // when the light and the controller were not what the owner answered.
    std::vector<CorrectionRow> corrections_to_learn_from(const QString &identity, qint64 to_ms) const;
    static constexpr qint64 BEFORE_SLEEP_MS = 10'000;
    static constexpr qint64 AFTER_WAKE_MS = 60'000;
    // Connected time per light bin (by each minute's mean light) from `from` on.
    LightHistogram light_histogram(const QString &identity, qint64 from, int bins = HISTOGRAM_BINS) const;
    // The configuration stored last (of the controller named, or of any).
    std::optional<StoredConfiguration> latest_configuration(const QString &identity = QString()) const;
    // The coupling measured last for the controller named (a record that
    // does not read back as one is passed over).
    std::optional<CouplingResult> last_coupling(const QString &identity) const;
    // Keeps one measured coupling (write() with it alone).
    bool save_coupling(const QString &identity, const CouplingResult &result);
    // Every identity something is recorded under, most recently recorded first.
    QStringList controller_ids() const;

    // Gives every row recorded under a legacy identity (of any device node)
    // to `id`, the stable identity of the only controller present: the
    // caller waits until only one is. Minutes that more than one of them
    // hold are combined, corrections re-keyed, the latest configuration
    // kept. Done once per database, in one transaction: once done, or with
    // nothing waiting, a call returns at once.
    LegacyAdoption adopt_legacy_identity(const QString &id);

private:
    QSqlDatabase database() const;
    void open(Access access);
    bool open_connection(Access access);
    bool passes_checks(bool *corrupt);
    bool move_aside();
    bool prepare_for_writing();
    bool fail(const QString &reason);
    // The controller's number in the database; -1 unknown (and not made).
    qint64 controller_id(const QString &identity, bool make) const;
    bool controller_to_read(const QString &identity, qint64 *id) const;
    QString take_over_legacy(const QString &id, LegacyAdoption *adoption);
    std::vector<CorrectionRow> corrections_where(const QString &identity, qint64 from_ms, qint64 to_ms,
                                                 const QString &condition) const;

    QString path_;
    QString connection_;
    QString problem_;
    QString moved_aside_;
    mutable QHash<QString, qint64> controller_ids_;
    bool legacy_pending_ = false; // read on open: rows under legacy identities wait for a stable one
};
