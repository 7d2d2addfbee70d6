// The history store and the recorder's minutes: time-weighted minute rows,
// a database that is damaged, held by another program, unwritable or from a
// newer version, the migration from the first layout, retention, and a
// writer killed mid-minute.

#include "history/history_schema.h"
#include "history/history_store.h"
#include "history/minute_accumulator.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

constexpr qint64 T0 = 1'800'000'000'000; // a minute start, ms since the epoch
constexpr qint64 DAY_MS = 24 * 3600 * 1000;
const QString ID = QStringLiteral("8d88:00bb:test");
const QString PROBE_ID = QStringLiteral("8d88:00bb:probe"); // history_probe's controller
using Samples = QList<QPair<int, int>>;
using Rows = QList<QList<double>>;

// A connection of the test's own to the same file.
struct RawConnection
{
    QSqlDatabase db;
    explicit RawConnection(const QString &path)
        : db(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), path))
    {
        db.setDatabaseName(path);
        db.open();
    }
    ~RawConnection()
    {
        const QString name = db.connectionName();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
};

HistoryBatch one_minute(qint64 minute_start, int light)
{
    return {{{minute_start, ID, unsigned(light), double(light), unsigned(light), 100, 0, 60}},
            {{minute_start * 1000, ID, unsigned(light), 100, 200, QStringLiteral("window")}},
            std::nullopt};
}

} // namespace

class HistoryStoreTest : public QObject
{
    Q_OBJECT

private slots:
    // Samples (ms after T0, light; light < 0: disconnected) and the rows that
    // come out: minute, min, mean, max, seconds.
    void minutes_data()
    {
        QTest::addColumn<Samples>("samples");
        QTest::addColumn<int>("end_ms");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("steady") << Samples{{0, 400}} << 30'000 << Rows{{0, 400, 400, 400, 30}};
        QTest::newRow("weighted by time") << Samples{{0, 100}, {45'000, 500}} << 60'000
                                          << Rows{{0, 100, 200, 500, 60}};
        QTest::newRow("split at the minute") << Samples{{30'000, 200}} << 90'000
                                             << Rows{{0, 200, 200, 200, 30}, {1, 200, 200, 200, 30}};
        QTest::newRow("disconnected time not counted") << Samples{{0, 300}, {20'000, -1}, {50'000, 900}}
                                                       << 60'000 << Rows{{0, 300, 500, 900, 30}};
    }

    void minutes()
    {
        QFETCH(Samples, samples);
        QFETCH(int, end_ms);
        QFETCH(Rows, rows);
        MinuteAccumulator accumulator(T0);
        for (const auto &[at, light] : samples)
            accumulator.set(T0 + at, {ID, light >= 0, unsigned(std::max(light, 0)), 0, 0});
        std::vector<MinuteRow> got = accumulator.take_ended(T0 + end_ms);
        for (const MinuteRow &open : accumulator.take_all(T0 + end_ms))
            got.push_back(open);
        QCOMPARE(int(got.size()), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const QList<double> want{double(got[i].minute_start - T0 / 1000) / 60, double(got[i].light_min),
                                     got[i].light_mean, double(got[i].light_max), got[i].seconds_connected};
            QCOMPARE(want, rows[i]);
        }
    }

    // How the file is left before the store opens it, and what follows.
    void opening_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("says");
        QTest::newRow("fresh") << "" << true << "";
        QTest::newRow("not a database") << "garbage" << true << "";
        QTest::newRow("damaged pages") << "damaged" << true << "";
        QTest::newRow("held by another program") << "locked" << false << "another program holds it";
        QTest::newRow("unwritable directory") << "no directory" << false << "cannot make its folder";
        QTest::newRow("newer version") << "newer" << false << "layout version 99";
    }

    void opening()
    {
        QFETCH(QString, setup);
        QFETCH(bool, opens);
        QFETCH(QString, says);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("history.sqlite"));
        std::unique_ptr<RawConnection> other;
        QFile file(path);
        if (setup == "garbage") {
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(8192, 'x')) == 8192);
        } else if (setup == "damaged") {
            {
                HistoryStore store(path);
                for (int minute = 0; minute < 2000; ++minute)
                    QVERIFY(store.write(one_minute(T0 / 1000 + 60 * minute, minute % 1024)));
            }
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(3 * 4096));
            file.write(QByteArray(3 * 4096, '\xA5'));
        } else if (setup == "locked" || setup == "newer") {
            other = std::make_unique<RawConnection>(path);
            const QStringList statements = setup == "locked"
                                               ? QStringList{"CREATE TABLE t(x)", "BEGIN EXCLUSIVE", "INSERT INTO t VALUES(1)"}
                                               : QStringList{"PRAGMA user_version = 99"};
            for (const QString &statement : statements)
                QVERIFY(QSqlQuery(other->db).exec(statement));
        } else if (setup == "no directory") {
            QVERIFY(file.open(QIODevice::WriteOnly)); // a file where the folder would go
            path += QStringLiteral("/morvane-pwm/history.sqlite");
        }
        file.close();

        HistoryStore store(path);
        QCOMPARE(store.is_open(), opens);
        QVERIFY2(store.problem().contains(says), qPrintable(store.problem()));
        QCOMPARE(store.write(one_minute(T0 / 1000, 321)), opens);
        QCOMPARE(store.periods(ID, 0, T0, 60).size(), size_t(opens ? 1 : 0));
        const bool damaged = setup == "garbage" || setup == "damaged";
        QCOMPARE(!store.moved_aside().isEmpty(), damaged);
        if (damaged) // kept, never deleted
            QVERIFY(QFileInfo(store.moved_aside()).size() >= 8192);
    }

    void migration_from_the_first_layout()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        {
            RawConnection v1(path);
            QString error;
            QVERIFY2(migrate_schema(v1.db, 1, &error), qPrintable(error));
            QSqlQuery query(v1.db);
            QVERIFY(query.exec("INSERT INTO controllers VALUES(1, '" + ID + "')"));
            QVERIFY(query.exec("INSERT INTO corrections VALUES(" + QString::number(T0) + ", 1, 700, 10, 20)"));
        }
        HistoryStore store(path);
        QVERIFY2(store.is_open(), qPrintable(store.problem()));
        const auto corrections = store.corrections(ID, T0, T0 + 1);
        QCOMPARE(corrections.size(), size_t(1));
        QCOMPARE(corrections.front().light, 700u);
        QVERIFY(store.write(one_minute(T0 / 1000, 1)));
        HistoryStore reader(path, HistoryStore::Access::read_only);
        QCOMPARE(reader.corrections(ID, 0, T0 * 2).size(), size_t(2));
    }

    void retention()
    {
        QTemporaryDir dir;
        HistoryStore store(dir.filePath(QStringLiteral("history.sqlite")));
        const qint64 now_ms = T0 + 1000 * DAY_MS;
        for (int days_ago : {401, 399, 1})
            QVERIFY(store.write(one_minute((now_ms - days_ago * DAY_MS) / 1000, days_ago)));
        QVERIFY(store.prune(now_ms));
        const auto minutes = store.periods(QString(), 0, now_ms / 1000, 60);
        QCOMPARE(minutes.size(), size_t(2));
        QCOMPARE(minutes.front().light_min, 399u);
        QCOMPARE(store.corrections(ID, 0, now_ms).size(), size_t(2));
    }

    // A writer killed mid-minute keeps every minute it ended before, and
    // a reader beside it sees them as they come.
    void killed_writer_keeps_earlier_minutes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        QProcess probe;
        probe.start(QStringLiteral(HISTORY_PROBE), {path, QStringLiteral("200")});
        QVERIFY(probe.waitForStarted());
        size_t seen = 0;
        QString problem;
        for (int i = 0; i < 200 && seen < 3; ++i) {
            QTest::qWait(50);
            const HistoryStore reader(path, HistoryStore::Access::read_only);
            seen = reader.periods(PROBE_ID, 0, T0, 60).size();
            problem = reader.problem();
        }
        QVERIFY2(seen >= 3, qPrintable(problem));
        ::kill(pid_t(probe.processId()), SIGKILL);
        QVERIFY(probe.waitForFinished());

        HistoryStore store(path);
        QVERIFY2(store.is_open(), qPrintable(store.problem()));
        const auto minutes = store.periods(PROBE_ID, 0, T0, 60);
        QVERIFY(minutes.size() >= seen);
        QCOMPARE(minutes[1].seconds_connected, 60.0); // a whole minute between the first and the last
        QCOMPARE(minutes[1].light_mean, 500.0);
        QCOMPARE(store.corrections(PROBE_ID, 0, T0).size(), size_t(1));
    }
};

QTEST_GUILESS_MAIN(HistoryStoreTest)
#include "tst_history_store.moc"
