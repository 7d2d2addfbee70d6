#include "history_schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

// Index i takes a database from version i to version i + 1.
const char *const STEPS[][4] = {
    // 1: minutes and corrections. Controllers get a number so that a year of
    // minute rows does not repeat their identity text half a million times.
    {"CREATE TABLE controllers(id INTEGER PRIMARY KEY, identity TEXT NOT NULL UNIQUE)",
     "CREATE TABLE minutes(controller INTEGER NOT NULL, minute_start INTEGER NOT NULL,"
     " light_min INTEGER NOT NULL, light_mean REAL NOT NULL, light_max INTEGER NOT NULL,"
     " width_mean REAL NOT NULL, mode INTEGER NOT NULL, seconds_connected REAL NOT NULL,"
     " PRIMARY KEY(controller, minute_start)) WITHOUT ROWID",
     "CREATE TABLE corrections(time_ms INTEGER NOT NULL, controller INTEGER NOT NULL,"
     " light INTEGER NOT NULL, level_before INTEGER NOT NULL, level_after INTEGER NOT NULL)",
     nullptr},
    // 2: who made each correction, corrections found by time, and the
    // configuration each controller last held (for proposals made while
    // the program is not running).
    {"ALTER TABLE corrections ADD COLUMN source TEXT NOT NULL DEFAULT ''",
     "CREATE INDEX corrections_by_time ON corrections(controller, time_ms)",
     "CREATE TABLE configurations(controller INTEGER PRIMARY KEY, time_ms INTEGER NOT NULL,"
     " block BLOB NOT NULL)",
     nullptr},
    // 3: facts about the database itself. Rows recorded before controllers
    // had stable identities (keyed by the device node) wait for one to take
    // them over: the marker spares every later start a look for them.
    {"CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID",
     "INSERT INTO meta SELECT 'legacy_identities', 'pending' WHERE EXISTS(SELECT 1 FROM controllers)",
     nullptr, nullptr},
    // 4: when the system slept: corrections around it are left out of proposals.
    {"CREATE TABLE sleeps(start_ms INTEGER PRIMARY KEY, end_ms INTEGER NOT NULL)", nullptr, nullptr, nullptr},
    // 5: how much of its lamp's light each controller's sensor sees, as
    // measured, and the brightness's turns per minute (hunting).
    {"CREATE TABLE couplings(controller INTEGER NOT NULL, time_ms INTEGER NOT NULL, result TEXT NOT NULL,"
     " PRIMARY KEY(controller, time_ms)) WITHOUT ROWID",
     "ALTER TABLE minutes ADD COLUMN reversals INTEGER NOT NULL DEFAULT 0",
     // Hunting is looked for around the few minutes that turned, not in
     // every minute of a year.
     "CREATE INDEX minutes_turning ON minutes(controller, minute_start) WHERE reversals > 0", nullptr},
};
static_assert(sizeof(STEPS) / sizeof(STEPS[0]) == HISTORY_SCHEMA_VERSION);

} // namespace

int schema_version(QSqlDatabase &db, QString *error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        *error = query.lastError().text();
        return -1;
    }
    return query.value(0).toInt();
}

bool migrate_schema(QSqlDatabase &db, int target, QString *error)
{
    for (int version = schema_version(db, error); version < target; ++version) {
        if (version < 0 || !db.transaction()) {
            if (version >= 0)
                *error = db.lastError().text();
            return false;
        }
        QSqlQuery query(db);
        for (const char *statement : STEPS[version]) {
            if (statement && !query.exec(QLatin1String(statement))) {
                *error = query.lastError().text();
                db.rollback();
                return false;
            }
        }
        if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(version + 1)) || !db.commit()) {
            *error = query.lastError().isValid() ? query.lastError().text() : db.lastError().text();
            db.rollback();
            return false;
        }
    }
    return true;
}
