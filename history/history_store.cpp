#include "history_store.h"

#include "history_schema.h"
#include "protocol/commands.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

namespace {

constexpr qint64 DAY_MS = 24 * 3600 * 1000;
constexpr int BUSY_TIMEOUT_MS = 1000;

// SQLite's primary result codes, as QtSql reports them.
enum SqliteCode { sqlite_busy = 5, sqlite_locked = 6, sqlite_corrupt = 11, sqlite_notadb = 26 };

int sqlite_code(const QSqlError &error)
{
    return error.nativeErrorCode().toInt() & 0xFF;
}

bool is_busy(const QSqlError &error)
{
    const int code = sqlite_code(error);
    return code == sqlite_busy || code == sqlite_locked;
}

QString next_connection_name()
{
    static QAtomicInt count;
    return QStringLiteral("morvane-history-%1").arg(count.fetchAndAddRelaxed(1));
}

// The clause that narrows a query to one controller, or to each in turn:
// either way SQLite reads a time range of the (controller, time) keys
// instead of every row.
QString controller_clause(qint64 id)
{
    return id < 0 ? QStringLiteral(" AND m.controller IN (SELECT id FROM controllers)")
                  : QStringLiteral(" AND m.controller = %1").arg(id);
}

// Minute rows merged into one as a single accumulator would have counted
// all their time: extremes kept, means weighted by connected time, the mode
// that held most of it.
const char *const MERGED_READINGS =
    "MIN(light_min), SUM(light_mean * seconds_connected) / SUM(seconds_connected), MAX(light_max),"
    " SUM(width_mean * seconds_connected) / SUM(seconds_connected),"
    " SUM(CASE WHEN mode = 1 THEN seconds_connected ELSE 0 END) * 2 > SUM(seconds_connected),"
    " SUM(reversals)";

// The meta row that says whether rows under legacy identities wait for a
// stable one: "pending", then the identity that took them over.
const QString LEGACY_KEY = QStringLiteral("legacy_identities");
const QString LEGACY_PENDING = QStringLiteral("pending");

} // namespace

bool is_legacy_identity(const QString &identity)
{
    static const QRegularExpression form(QStringLiteral("\\A[0-9a-f]{4}:[0-9a-f]{4}:."));
    return form.match(identity).hasMatch();
}

QString HistoryStore::default_path()
{
    // Qt 6.4 has no StateLocation: follow the XDG rule by hand.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/morvane-pwm/history.sqlite");
}

HistoryStore::HistoryStore(const QString &path, Access access)
    : path_(path)
    , connection_(next_connection_name())
{
    open(access);
}

HistoryStore::~HistoryStore()
{
    database().close();
    QSqlDatabase::removeDatabase(connection_);
}

QSqlDatabase HistoryStore::database() const
{
    return QSqlDatabase::database(connection_, false);
}

void HistoryStore::open(Access access)
{
    if (access == Access::read_only && !QFileInfo::exists(path_)) {
        // Not a failure of the history, which fail() would say: said once, with how one comes about.
        problem_ = tr("there is no history yet: morvane-pwm records it at %1 while it runs with the controller")
                       .arg(QDir::toNativeSeparators(path_));
        return;
    }
    if (access == Access::read_write && !QDir().mkpath(QFileInfo(path_).absolutePath())) {
        fail(tr("cannot make its folder"));
        return;
    }
    if (!open_connection(access))
        return;
    if (access == Access::read_write) {
        bool corrupt = false;
        if (!passes_checks(&corrupt)
            && (!corrupt || !move_aside() || !open_connection(access) || !passes_checks(&corrupt)))
            return;
        if (prepare_for_writing())
            prune(QDateTime::currentMSecsSinceEpoch());
        return;
    }
    // A reader leaves the file as it is: an older layout is updated by the
    // program, a damaged file is left for the program to move aside.
    QString error;
    QSqlDatabase db = database();
    const int version = schema_version(db, &error);
    if (version < 0)
        fail(error);
    else if (version != HISTORY_SCHEMA_VERSION)
        fail(tr("it has layout version %1 where this tool reads %2; running morvane-pwm once updates it")
                 .arg(version)
                 .arg(HISTORY_SCHEMA_VERSION));
}

bool HistoryStore::open_connection(Access access)
{
    problem_.clear();
    if (QSqlDatabase::contains(connection_))
        QSqlDatabase::removeDatabase(connection_);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (!db.isValid())
        return fail(tr("Qt's SQLite driver is missing (libqt6sql6-sqlite)"));
    db.setDatabaseName(path_);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                             .arg(BUSY_TIMEOUT_MS)
                             .arg(access == Access::read_only ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
    if (!db.open())
        return fail(tr("it cannot be opened (%1)").arg(db.lastError().databaseText()));
    // The sorting behind a month of hours stays in memory instead of a
    // temporary file: a few hundred kilobytes, written and read back for nothing.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
    return true;
}

bool HistoryStore::passes_checks(bool *corrupt)
{
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("PRAGMA quick_check"))) {
        const QSqlError error = query.lastError();
        *corrupt = sqlite_code(error) == sqlite_corrupt || sqlite_code(error) == sqlite_notadb;
        return fail(is_busy(error) ? tr("another program holds it") : tr("it cannot be checked (%1)").arg(error.databaseText()));
    }
    *corrupt = !query.next() || query.value(0).toString() != QLatin1String("ok");
    return !*corrupt || fail(tr("it is damaged"));
}

bool HistoryStore::move_aside()
{
    database().close();
    const QString aside =
        path_ + QStringLiteral(".corrupt-") + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmssZ"));
    if (!QFile::rename(path_, aside))
        return fail(tr("it is damaged and cannot be moved aside"));
    // Its journal belongs to it, not to the fresh database: the pair stays
    // together under the new name.
    for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")})
        if (QFileInfo::exists(path_ + suffix))
            QFile::rename(path_ + suffix, aside + suffix);
    moved_aside_ = aside;
    return true;
}

bool HistoryStore::prepare_for_writing()
{
    QSqlDatabase db = database();
    QSqlQuery query(db);
    // WAL: morvane-pwmctl reads while the program writes; NORMAL loses no
    // committed minute when the program is killed, only on a power cut.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !query.next()
        || query.value(0).toString() != QLatin1String("wal"))
        return fail(is_busy(query.lastError()) ? tr("another program holds it") : tr("it cannot use a write-ahead log"));
    query.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    QString error;
    const int version = schema_version(db, &error);
    if (version > HISTORY_SCHEMA_VERSION)
        return fail(tr("a newer version of morvane-pwm wrote it (layout version %1)").arg(version));
    if (version < 0 || !migrate_schema(db, HISTORY_SCHEMA_VERSION, &error))
        return fail(tr("its tables cannot be made (%1)").arg(error));
    query.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
    query.addBindValue(LEGACY_KEY);
    legacy_pending_ = query.exec() && query.next() && query.value(0).toString() == LEGACY_PENDING;
    return true;
}

bool HistoryStore::fail(const QString &reason)
{
    problem_ = tr("no history: %1: %2").arg(QDir::toNativeSeparators(path_), reason);
    controller_ids_.clear();
    database().close();
    return false;
}

qint64 HistoryStore::controller_id(const QString &identity, bool make) const
{
    if (const auto known = controller_ids_.constFind(identity); known != controller_ids_.constEnd())
        return *known;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("SELECT id FROM controllers WHERE identity = ?"));
    query.addBindValue(identity);
    qint64 id = -1;
    if (query.exec() && query.next()) {
        id = query.value(0).toLongLong();
    } else if (make) {
        query.prepare(QStringLiteral("INSERT INTO controllers(identity) VALUES(?)"));
        query.addBindValue(identity);
        if (query.exec())
            id = query.lastInsertId().toLongLong();
    }
    if (id >= 0)
        controller_ids_.insert(identity, id);
    return id;
}

bool HistoryStore::write(const HistoryBatch &batch)
{
    QSqlDatabase db = database();
    if (!is_open())
        return false;
    if (!db.transaction())
        return fail(is_busy(db.lastError()) ? tr("another program holds it")
                                             : tr("it cannot be written (%1)").arg(db.lastError().databaseText()));
    QSqlQuery minute(db);
    QSqlQuery correction(db);
    QSqlQuery configuration(db);
    // A minute written twice (the program ended and started again within
    // it) is merged, weighted by the time each part covers.
    minute.prepare(QStringLiteral(
        "INSERT INTO minutes(controller, minute_start, light_min, light_mean, light_max, width_mean, mode,"
        " seconds_connected, reversals) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT(controller, minute_start) DO UPDATE SET"
        " light_min = MIN(light_min, excluded.light_min), light_max = MAX(light_max, excluded.light_max),"
        " light_mean = (light_mean * seconds_connected + excluded.light_mean * excluded.seconds_connected)"
        "   / (seconds_connected + excluded.seconds_connected),"
        " width_mean = (width_mean * seconds_connected + excluded.width_mean * excluded.seconds_connected)"
        "   / (seconds_connected + excluded.seconds_connected),"
        " mode = CASE WHEN excluded.seconds_connected > seconds_connected THEN excluded.mode ELSE mode END,"
        " seconds_connected = MIN(60, seconds_connected + excluded.seconds_connected),"
        " reversals = reversals + excluded.reversals"));
    correction.prepare(QStringLiteral("INSERT INTO corrections(time_ms, controller, light, level_before, level_after, source)"
                                      " VALUES(?, ?, ?, ?, ?, ?)"));
    configuration.prepare(QStringLiteral("INSERT OR REPLACE INTO configurations VALUES(?, ?, ?)"));
    QSqlQuery sleep(db);
    sleep.prepare(QStringLiteral("INSERT OR REPLACE INTO sleeps VALUES(?, ?)"));
    QString reason;
    const auto run = [&reason](QSqlQuery &query, const QVariantList &values) {
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (reason.isEmpty() && !query.exec())
            reason = query.lastError().databaseText();
    };
    for (const MinuteRow &row : batch.minutes)
        run(minute, {controller_id(row.identity, true), row.minute_start, row.light_min, row.light_mean, row.light_max,
                     row.width_mean, row.mode, row.seconds_connected, row.reversals});
    for (const CorrectionRow &row : batch.corrections)
        run(correction, {row.time_ms, controller_id(row.identity, true), row.light, row.level_before, row.level_after,
                         row.source});
    for (const StoredConfiguration &stored : batch.configurations) {
        const auto block = reinterpret_cast<const char *>(stored.config.bytes.data()) + ConfigBlock::STATUS_SIZE;
        run(configuration, {controller_id(stored.identity, true), stored.time_ms,
                            QByteArray(block, ConfigBlock::SIZE - ConfigBlock::STATUS_SIZE)});
    }
    for (const SleepSpan &span : batch.sleeps)
        run(sleep, {span.start_ms, span.end_ms});
    QSqlQuery coupling(db);
    coupling.prepare(QStringLiteral("INSERT OR REPLACE INTO couplings VALUES(?, ?, ?)"));
    for (const CouplingRecord &record : batch.couplings)
        run(coupling, {controller_id(record.identity, true), record.result.measured_at_ms,
                       QString::fromUtf8(coupling_json(record.result))});
    if (reason.isEmpty() && db.commit())
        return true;
    if (reason.isEmpty())
        reason = db.lastError().databaseText();
    db.rollback();
    return fail(tr("it cannot be written (%1)").arg(reason));
}

bool HistoryStore::prune(qint64 now_ms)
{
    if (!is_open())
        return false;
    const qint64 cutoff_ms = now_ms - RETENTION_DAYS * DAY_MS;
    QSqlQuery query(database());
    for (const auto &[statement, cutoff] : {std::pair{"DELETE FROM minutes WHERE minute_start < ?", cutoff_ms / 1000},
                                            std::pair{"DELETE FROM corrections WHERE time_ms < ?", cutoff_ms},
                                            std::pair{"DELETE FROM sleeps WHERE start_ms < ?", cutoff_ms}}) {
        query.prepare(QLatin1String(statement));
        query.addBindValue(cutoff);
        if (!query.exec())
            return fail(tr("old records cannot be removed (%1)").arg(query.lastError().databaseText()));
    }
    return true;
}

std::vector<MinuteRow> HistoryStore::periods(const QString &identity, qint64 from, qint64 to, int period_seconds) const
{
    std::vector<MinuteRow> rows;
    qint64 id = -1;
    if (period_seconds < 1 || !controller_to_read(identity, &id))
        return rows;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT c.identity, m.minute_start / %1 * %1 AS start, %2, SUM(seconds_connected)"
        " FROM minutes m JOIN controllers c ON c.id = m.controller"
        " WHERE m.minute_start >= ? AND m.minute_start < ?%3"
        " GROUP BY m.controller, start ORDER BY start, c.identity")
                      .arg(period_seconds)
                      .arg(QLatin1String(MERGED_READINGS))
                      .arg(controller_clause(id)));
    query.addBindValue(from);
    query.addBindValue(to);
    if (!query.exec())
        return rows;
    while (query.next())
        rows.push_back({query.value(1).toLongLong(), query.value(0).toString(), query.value(2).toUInt(),
                        query.value(3).toDouble(), query.value(4).toUInt(), query.value(5).toDouble(),
                        query.value(6).toInt(), query.value(8).toDouble(), query.value(7).toInt()});
    return rows;
}

// The controller a query reads: *id -1 for every controller (an empty
// identity); false when the store is closed or does not know the identity.
bool HistoryStore::controller_to_read(const QString &identity, qint64 *id) const
{
    if (!is_open())
        return false;
    *id = identity.isEmpty() ? -1 : controller_id(identity, false);
    return identity.isEmpty() || *id >= 0;
}

std::vector<CorrectionRow> HistoryStore::corrections(const QString &identity, qint64 from_ms, qint64 to_ms) const
{
    return corrections_where(identity, from_ms, to_ms, QString());
}

// A sleep not seen to end counts as ending where it began.
std::vector<CorrectionRow> HistoryStore::corrections_to_learn_from(const QString &identity, qint64 to_ms) const
{
    return corrections_where(identity, 0, to_ms,
                             QStringLiteral(" AND NOT EXISTS(SELECT 1 FROM sleeps s WHERE m.time_ms >= s.start_ms - %1"
                                            " AND m.time_ms <= MAX(s.end_ms, s.start_ms) + %2)")
                                 .arg(BEFORE_SLEEP_MS)
                                 .arg(AFTER_WAKE_MS));
}

std::vector<CorrectionRow> HistoryStore::corrections_where(const QString &identity, qint64 from_ms, qint64 to_ms,
                                                           const QString &condition) const
{
    std::vector<CorrectionRow> rows;
    qint64 id = -1;
    if (!controller_to_read(identity, &id))
        return rows;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT m.time_ms, c.identity, m.light, m.level_before, m.level_after, m.source"
                                 " FROM corrections m JOIN controllers c ON c.id = m.controller"
                                 " WHERE m.time_ms >= ? AND m.time_ms < ?%1%2 ORDER BY m.time_ms")
                      .arg(controller_clause(id), condition));
    query.addBindValue(from_ms);
    query.addBindValue(to_ms);
    if (!query.exec())
        return rows;
    while (query.next())
        rows.push_back({query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toUInt(),
                        query.value(3).toInt(), query.value(4).toInt(), query.value(5).toString()});
    return rows;
}

std::vector<std::pair<qint64, int>> HistoryStore::turning_minutes(const QString &identity, qint64 from,
                                                                 qint64 to) const
{
    std::vector<std::pair<qint64, int>> minutes;
    qint64 id = -1;
    if (identity.isEmpty() || !controller_to_read(identity, &id))
        return minutes;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT minute_start, reversals FROM minutes m INDEXED BY minutes_turning"
                                 " WHERE m.minute_start >= ? AND m.minute_start < ? AND reversals > 0%1"
                                 " ORDER BY minute_start")
                      .arg(controller_clause(id)));
    query.addBindValue(from);
    query.addBindValue(to);
    if (!query.exec())
        return minutes;
    while (query.next())
        minutes.emplace_back(query.value(0).toLongLong(), query.value(1).toInt());
    return minutes;
}

LightHistogram HistoryStore::light_histogram(const QString &identity, qint64 from, int bins) const
{
    LightHistogram histogram;
    histogram.seconds.assign(std::max(bins, 1), 0.0);
    qint64 id = -1;
    if (!controller_to_read(identity, &id))
        return histogram;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    // Readings beyond the scale count in the top bin.
    query.prepare(QStringLiteral("SELECT MIN(MAX(CAST(light_mean AS INTEGER), 0), %1) * ? / %2 AS bin,"
                                 " SUM(seconds_connected) FROM minutes m WHERE m.minute_start >= ?%3 GROUP BY bin")
                      .arg(LIGHT_FULL_SCALE)
                      .arg(LIGHT_FULL_SCALE + 1)
                      .arg(controller_clause(id)));
    query.addBindValue(histogram.bins());
    query.addBindValue(from);
    if (!query.exec())
        return histogram;
    while (query.next()) {
        const int bin = query.value(0).toInt();
        if (bin >= 0 && bin < histogram.bins()) {
            histogram.seconds[bin] += query.value(1).toDouble();
            histogram.total_seconds += query.value(1).toDouble();
        }
    }
    return histogram;
}

std::optional<StoredConfiguration> HistoryStore::latest_configuration(const QString &identity) const
{
    qint64 id = -1;
    if (!controller_to_read(identity, &id))
        return std::nullopt;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("SELECT c.identity, m.time_ms, m.block FROM configurations m"
                                 " JOIN controllers c ON c.id = m.controller WHERE 1%1 ORDER BY m.time_ms DESC LIMIT 1")
                      .arg(controller_clause(id)));
    const int block_size = ConfigBlock::SIZE - ConfigBlock::STATUS_SIZE;
    if (!query.exec() || !query.next() || query.value(2).toByteArray().size() != block_size)
        return std::nullopt;
    StoredConfiguration stored{query.value(0).toString(), query.value(1).toLongLong(), {}};
    const QByteArray block = query.value(2).toByteArray();
    std::copy(block.begin(), block.end(), stored.config.bytes.begin() + ConfigBlock::STATUS_SIZE);
    return stored;
}

std::optional<CouplingResult> HistoryStore::last_coupling(const QString &identity) const
{
    qint64 id = -1;
    if (identity.isEmpty() || !controller_to_read(identity, &id))
        return std::nullopt;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT result FROM couplings WHERE controller = ? ORDER BY time_ms DESC"));
    query.addBindValue(id);
    if (!query.exec())
        return std::nullopt;
    while (query.next()) {
        if (auto result = coupling_from_json(query.value(0).toString().toUtf8()); result && result->measured())
            return result;
    }
    return std::nullopt;
}

bool HistoryStore::save_coupling(const QString &identity, const CouplingResult &result)
{
    HistoryBatch batch;
    batch.couplings.push_back({identity, result});
    return write(batch);
}

QStringList HistoryStore::controller_ids() const
{
    QStringList ids;
    if (!is_open())
        return ids;
    // Each latest time is found through its table's key on the controller,
    // not by reading every row.
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT identity FROM (SELECT c.identity, MAX("
            "   IFNULL((SELECT MAX(minute_start) * 1000 FROM minutes WHERE controller = c.id), -1),"
            "   IFNULL((SELECT MAX(time_ms) FROM corrections WHERE controller = c.id), -1),"
            "   IFNULL((SELECT MAX(time_ms) FROM configurations WHERE controller = c.id), -1),"
            "   IFNULL((SELECT MAX(time_ms) FROM couplings WHERE controller = c.id), -1)) AS last"
            " FROM controllers c) WHERE last >= 0 ORDER BY last DESC, identity")))
        return ids;
    while (query.next())
        ids << query.value(0).toString();
    return ids;
}

LegacyAdoption HistoryStore::adopt_legacy_identity(const QString &id)
{
    LegacyAdoption adoption;
    if (!is_open() || !legacy_pending_)
        return adoption;
    const auto refused = [this, &adoption](const QString &reason) {
        adoption = {{}, 0, tr("history: %1: the records made before controllers had lasting identities stay apart (%2)")
                               .arg(QDir::toNativeSeparators(path_), reason)};
        return adoption;
    };
    if (id.isEmpty() || is_legacy_identity(id))
        return refused(tr("\"%1\" is not a lasting identity").arg(id));
    QSqlDatabase db = database();
    if (!db.transaction())
        return refused(db.lastError().databaseText());
    const bool known = controller_ids_.contains(id);
    QString reason = take_over_legacy(id, &adoption);
    if (reason.isEmpty() && !db.commit())
        reason = db.lastError().databaseText();
    if (!reason.isEmpty()) {
        db.rollback();
        if (!known) // its number went with the rollback
            controller_ids_.remove(id);
        refused(reason);
    }
    // Tried once per start either way: a database that refuses it is not
    // read again each time the controllers present change.
    legacy_pending_ = false;
    for (const QString &identity : std::as_const(adoption.identities))
        controller_ids_.remove(identity);
    return adoption;
}

// The statements of adopt_legacy_identity, in its transaction; the reason
// when one fails.
QString HistoryStore::take_over_legacy(const QString &id, LegacyAdoption *adoption)
{
    QSqlQuery query(database());
    // The controllers table holds a row per identity ever seen: a few dozen.
    if (!query.exec(QStringLiteral("SELECT id, identity FROM controllers")))
        return query.lastError().databaseText();
    QStringList legacy;
    while (query.next()) {
        if (is_legacy_identity(query.value(1).toString())) {
            legacy << QString::number(query.value(0).toLongLong());
            adoption->identities << query.value(1).toString();
        }
    }
    const qint64 target = legacy.isEmpty() ? -1 : controller_id(id, true);
    if (!legacy.isEmpty() && target < 0)
        return tr("%1 cannot be added to the controllers").arg(id);
    const QString numbers = legacy.join(QLatin1Char(','));
    const QString with_target = QStringLiteral("%1,%2").arg(target).arg(numbers);
    const QStringList statements{
        // A minute held by several becomes one, of at most a minute.
        QStringLiteral("INSERT OR REPLACE INTO minutes(controller, minute_start, light_min, light_mean, light_max,"
                       " width_mean, mode, reversals, seconds_connected)"
                       " SELECT %1, minute_start, %2, MIN(60, SUM(seconds_connected))"
                       " FROM minutes WHERE controller IN (%3) GROUP BY minute_start HAVING COUNT(*) > 1")
            .arg(target)
            .arg(QLatin1String(MERGED_READINGS), with_target),
        // The rest moves as it is; the combined ones' parts stay behind and go.
        QStringLiteral("UPDATE OR IGNORE minutes SET controller = %1 WHERE controller IN (%2)")
            .arg(target)
            .arg(numbers),
        QStringLiteral("DELETE FROM minutes WHERE controller IN (%1)").arg(numbers),
        QStringLiteral("UPDATE corrections SET controller = %1 WHERE controller IN (%2)").arg(target).arg(numbers),
        QStringLiteral("INSERT OR REPLACE INTO configurations SELECT %1, time_ms, block FROM configurations"
                       " WHERE controller IN (%2) ORDER BY time_ms DESC LIMIT 1")
            .arg(target)
            .arg(with_target),
        QStringLiteral("DELETE FROM configurations WHERE controller IN (%1)").arg(numbers),
        QStringLiteral("DELETE FROM controllers WHERE id IN (%1)").arg(numbers),
    };
    for (int i = 0; !legacy.isEmpty() && i < statements.size(); ++i) {
        if (!query.exec(statements[i]))
            return query.lastError().databaseText();
        if (i == 0)
            adoption->minutes_combined = query.numRowsAffected();
    }
    query.prepare(QStringLiteral("UPDATE meta SET value = ? WHERE key = ?"));
    query.addBindValue(id);
    query.addBindValue(LEGACY_KEY);
    return query.exec() ? QString() : query.lastError().databaseText();
}
