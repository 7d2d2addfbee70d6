#pragma once

class QSqlDatabase;
class QString;

// The history database's layout, versioned with PRAGMA user_version. Each
// step takes a database from the version before it to its own; a database
// of any older version is brought up to date step by step on open.
constexpr int HISTORY_SCHEMA_VERSION = 5;

// The version a database is at; -1 when it cannot be read.
int schema_version(QSqlDatabase &db, QString *error);

// Runs the steps from the database's version up to `target`, each in a
// transaction of its own. On failure returns false with *error set.
bool migrate_schema(QSqlDatabase &db, int target, QString *error);
