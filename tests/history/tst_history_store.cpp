// The history store and the recorder's minutes: time-weighted minute rows,
// a database that is damaged, held by another program, unwritable or from a
// newer version, the migration from the first layout, rows under the old
// path-based identities taken over by a stable one, retention, and a writer
// killed mid-minute.

#include "history/history_recorder.h"
#include "history/history_schema.h"
#include "history/history_store.h"
#include "history/history_summary.h"
#include "history/hunting_spells.h"
#include "history/minute_accumulator.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSignalSpy>
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
using Ints = QList<int>;

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
            {},
            {},
            {}};
}

// A version-2 database's rows, one a line: "minute ID N min mean max width
// mode seconds", "correction ID N", "configuration ID N" (N minutes after
// T0), or "sql STATEMENT".
const QStringList KINDS{"minute", "correction", "configuration"};
const QStringList INSERTS{"INSERT INTO minutes VALUES(%1, (%2 + ?) * 60, ?, ?, ?, ?, ?, ?)",
                          "INSERT INTO corrections(controller, time_ms, light, level_before, level_after)"
                          " VALUES(%1, (%2 + ?) * 60000, 0, 0, 0)",
                          "INSERT INTO configurations VALUES(%1, (%2 + ?) * 60000, zeroblob(32))"};
// The rows recorded, in the same lines.
const QString RECORDED = QStringLiteral(
    "SELECT printf('minute %s %d %d %g %d %g %d %g', identity, minute_start / 60 - %1, light_min, light_mean,"
    " light_max, width_mean, mode, seconds_connected) FROM minutes JOIN controllers ON id = controller UNION ALL"
    " SELECT printf('correction %s %d', identity, time_ms / 60000 - %1)"
    " FROM corrections JOIN controllers ON id = controller UNION ALL"
    " SELECT printf('configuration %s %d', identity, time_ms / 60000 - %1)"
    " FROM configurations JOIN controllers ON id = controller ORDER BY 1");

QStringList recorded(const QString &path)
{
    RawConnection raw(path);
    QSqlQuery query(RECORDED.arg(T0 / 60'000), raw.db);
    QStringList lines;
    while (query.next())
        lines << query.value(0).toString();
    return lines;
}

} // namespace

class HistoryStoreTest : public QObject
{
    Q_OBJECT

private slots:
    // Samples (ms after T0, light; light < 0: disconnected) and the rows that
    // come out: minute, min, mean, max, seconds, turns.
    void minutes_data()
    {
        QTest::addColumn<Samples>("samples");
        // The running count of the brightness's turns with each sample; none: 0.
        QTest::addColumn<Ints>("turns");
        QTest::addColumn<int>("end_ms");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("steady") << Samples{{0, 400}} << Ints() << 30'000 << Rows{{0, 400, 400, 400, 30, 0}};
        QTest::newRow("weighted by time")
            << Samples{{0, 100}, {45'000, 500}} << Ints() << 60'000 << Rows{{0, 100, 200, 500, 60, 0}};
        QTest::newRow("split at the minute")
            << Samples{{30'000, 200}} << Ints() << 90'000 << Rows{{0, 200, 200, 200, 30, 0}, {1, 200, 200, 200, 30, 0}};
        QTest::newRow("disconnected time not counted")
            << Samples{{0, 300}, {20'000, -1}, {50'000, 900}} << Ints() << 60'000 << Rows{{0, 300, 500, 900, 30, 0}};
        // Nobody looking: a rising light announced every 5 s, none at 60 s.
        Samples paced;
        for (int at = 0; at <= 65'000; at += 5'000)
            if (at != 60'000)
                paced << qMakePair(at, 100 + at / 1000);
        QTest::newRow("paced to 5 s, held across the minute")
            << paced << Ints() << 70'000 << Rows{{0, 100, 127.5, 155, 60, 0}, {1, 155, 160, 165, 10, 0}};
        // A count from 7 on (an earlier run's), then turns told at 30 s and 65 s; a new
        // controller object starts again from 0, and turns across a disconnection are not known.
        QTest::newRow("turns: the count's increase, in the minute it is told")
            << Samples{{0, 300}, {30'000, 300}, {65'000, 300}, {70'000, 300}, {80'000, -1}, {90'000, 300}}
            << Ints{7, 10, 12, 1, 1, 4} << 120'000
            << Rows{{0, 300, 300, 300, 60, 3}, {1, 300, 300, 300, 50, 2}};
    }

    void minutes()
    {
        QFETCH(Samples, samples);
        QFETCH(Ints, turns);
        QFETCH(int, end_ms);
        QFETCH(Rows, rows);
        MinuteAccumulator accumulator(T0);
        for (int i = 0; i < samples.size(); ++i) {
            const auto [at, light] = samples[i];
            accumulator.set(T0 + at, {ID, light >= 0, unsigned(std::max(light, 0)), 0, 0, unsigned(turns.value(i))});
        }
        std::vector<MinuteRow> got = accumulator.take_ended(T0 + end_ms);
        for (const MinuteRow &open : accumulator.take_all(T0 + end_ms))
            got.push_back(open);
        QCOMPARE(int(got.size()), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const QList<double> want{double(got[i].minute_start - T0 / 1000) / 60, double(got[i].light_min),
                                     got[i].light_mean, double(got[i].light_max), got[i].seconds_connected,
                                     double(got[i].reversals)};
            QCOMPARE(want, rows[i]);
        }
    }

    // A controller's minutes from T0 on: the turns told in each, the mean
    // brightness (%) of each (none: 50 throughout) and a room whose own
    // light starts at 300 and moves by `drift` a minute, the lamp adding
    // 3 counts per % of brightness on top. The coupling known to the search
    // or not; the spells found: first minute, end minute, turns.
    void hunting_data()
    {
        QTest::addColumn<Ints>("turns");
        QTest::addColumn<Ints>("brightness");
        QTest::addColumn<int>("drift");
        QTest::addColumn<bool>("coupling_known");
        QTest::addColumn<QList<Ints>>("spells");
        const Ints hunting{0, 0, 2, 1, 2, 1, 2, 0, 0, 0};
        const Ints swinging{20, 60, 20, 60, 20, 60, 20, 60, 20, 60};
        QTest::newRow("hunting in a still room") << hunting << Ints() << 0 << false << QList<Ints>{{2, 7, 8}};
        QTest::newRow("a steady room: a turn now and then")
            << Ints{1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1} << Ints() << 0 << false << QList<Ints>();
        QTest::newRow("a drifting room: the curve follows it") << hunting << Ints() << 12 << false << QList<Ints>();
        QTest::newRow("more than 10 minutes apart")
            << Ints{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3} << Ints() << 0 << false << QList<Ints>();
        QTest::newRow("two spells") << Ints{3, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 4} << Ints() << 0 << false
                                    << QList<Ints>{{0, 2, 6}, {11, 13, 7}};
        QTest::newRow("the lamp's light moves the minutes: unknown coupling, no still room")
            << hunting << swinging << 0 << false << QList<Ints>();
        QTest::newRow("the lamp's light moves the minutes: taken out with the coupling")
            << hunting << swinging << 0 << true << QList<Ints>{{2, 7, 8}};
    }

    void hunting()
    {
        QFETCH(Ints, turns);
        QFETCH(Ints, brightness);
        QFETCH(int, drift);
        QFETCH(bool, coupling_known);
        QFETCH(QList<Ints>, spells);
        constexpr double K = 3;
        std::vector<MinuteRow> minutes;
        for (int minute = 0; minute < turns.size(); ++minute) {
            const double percent = brightness.value(minute, 50);
            const double light = 300 + drift * minute + K * percent;
            minutes.push_back({T0 / 1000 + 60 * minute, ID, unsigned(light), light, unsigned(light),
                               percent * PWM_FULL_SCALE / 100, 0, 60, turns[minute]});
        }
        QList<Ints> found;
        for (const HuntingSpell &spell : hunting_spells(minutes, coupling_known ? std::optional(K) : std::nullopt))
            found << Ints{int(spell.start - T0 / 1000) / 60, int(spell.end - T0 / 1000) / 60, spell.reversals};
        QCOMPARE(found, spells);
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

    // The rows of a version-2 database, the sets of controllers present the
    // program is told of in turn ("restart": it starts again), and the rows
    // and identities (most recent first) recorded then.
    void legacy_identities_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("says");
        const QString L0 = "8d88:00bb:/dev/hidraw0", L3 = "8d88:00bb:/dev/hidraw3";
        const QStringList one{"minute " + L0 + " 0 100 200 300 50 0 60", "minute " + L0 + " 1 10 20 30 40 1 12",
                              "correction " + L0 + " 1", "configuration " + L0 + " 1"};
        const QStringList one_as_a = QStringList(one).replaceInStrings(L0, "sn:A");
        QTest::newRow("one present takes all") << one << QStringList{"sn:A"} << one_as_a << QStringList{"sn:A"} << "";
        QTest::newRow("several present: all kept apart")
            << one << QStringList{"sn:A,sn:B", ""} << one << QStringList{L0} << "";
        QTest::newRow("several, one after a restart, then nothing left")
            << one << QStringList{"sn:A,sn:B", "restart", "sn:A", "sn:B", "restart", "sn:B"} << one_as_a
            << QStringList{"sn:A"} << "";
        QTest::newRow("replugs: two nodes combined, the latest configuration kept")
            << QStringList{"minute " + L0 + " 0 100 100 100 40 1 40", "minute " + L3 + " 0 170 170 170 40 0 30",
                           "minute " + L3 + " 1 5 5 5 5 0 60", "correction " + L0 + " 0", "correction " + L3 + " 1",
                           "configuration " + L0 + " 0", "configuration " + L3 + " 1"}
            << QStringList{"usb:1-2"}
            << QStringList{"minute usb:1-2 0 100 130 170 40 1 60", "minute usb:1-2 1 5 5 5 5 0 60",
                           "correction usb:1-2 0", "correction usb:1-2 1", "configuration usb:1-2 1"}
            << QStringList{"usb:1-2"} << "";
        QTest::newRow("the stable one's minutes combined, other stable ones untouched")
            << QStringList{"minute sn:A 5 200 200 200 10 1 45", "minute " + L0 + " 5 600 600 600 90 0 15",
                           "minute " + L0 + " 6 1 2 3 4 0 60", "minute path:/dev/hidraw5 9 7 7 7 7 0 60",
                           "configuration sn:A 7", "configuration " + L0 + " 6"}
            << QStringList{"sn:A"}
            << QStringList{"minute sn:A 5 200 300 600 30 1 60", "minute sn:A 6 1 2 3 4 0 60",
                           "minute path:/dev/hidraw5 9 7 7 7 7 0 60", "configuration sn:A 7"}
            << QStringList{"path:/dev/hidraw5", "sn:A"} << "";
        QTest::newRow("refused halfway: said, all kept")
            << QStringList{"minute " + L0 + " 0 1 1 1 1 0 60", "sql CREATE TRIGGER no BEFORE DELETE ON controllers"
                                                               " BEGIN SELECT RAISE(ABORT, 'refused'); END"}
            << QStringList{"sn:A"} << QStringList{"minute " + L0 + " 0 1 1 1 1 0 60"} << QStringList{L0}
            << "stay apart (refused";
    }

    void legacy_identities()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, present);
        QFETCH(QStringList, after);
        QFETCH(QStringList, ids);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        {
            RawConnection v2(path);
            QString error;
            QVERIFY2(migrate_schema(v2.db, 2, &error), qPrintable(error));
            for (const QString &line : before) {
                const QStringList values = line.split(' ');
                QSqlQuery query(v2.db);
                if (values[0] != "sql") {
                    query.exec("INSERT OR IGNORE INTO controllers(identity) VALUES('" + values[1] + "')");
                    const QString controller = "(SELECT id FROM controllers WHERE identity = '" + values[1] + "')";
                    query.prepare(INSERTS[KINDS.indexOf(values[0])].arg(controller, QString::number(T0 / 60'000)));
                    for (const QString &value : values.mid(2))
                        query.addBindValue(value);
                }
                QVERIFY2(values[0] == "sql" ? query.exec(line.mid(4)) : query.exec(), qPrintable(line));
            }
        }
        QStringList problems;
        std::unique_ptr<HistoryRecorder> program;
        for (const QString &controllers : QStringList{"restart"} + present) {
            if (controllers != "restart") {
                program->record_present_controllers(controllers.split(',', Qt::SkipEmptyParts));
                continue;
            }
            program.reset(); // before the next opens the database
            program = std::make_unique<HistoryRecorder>(HistoryRecorder::Settings{path});
            program->start();
            connect(program.get(), &HistoryRecorder::problem, this, [&](const QString &text) { problems << text; });
        }
        QTRY_VERIFY2(problems.join(' ').contains(says), qPrintable(problems.join(' ')));
        program.reset();
        const HistoryStore reader(path, HistoryStore::Access::read_only);
        QVERIFY2(reader.is_open(), qPrintable(reader.problem())); // at this version's layout
        QCOMPARE(reader.controller_ids(), ids);
        after.sort();
        QCOMPARE(recorded(path), after);
    }

    // One correction near a sleep from T0 + 1 h to T0 + 2 h, and whether a
    // proposal learns from it.
    void corrections_around_sleep_data()
    {
        QTest::addColumn<QString>("after"); // "sleep", "wake", "endless sleep" (one never seen to wake: its start)
        QTest::addColumn<int>("offset_ms");
        QTest::addColumn<bool>("learnt");
        QTest::newRow("11 s before sleep") << "sleep" << -11'000 << true;
        QTest::newRow("9 s before sleep") << "sleep" << -9'000 << false;
        QTest::newRow("59 s after waking") << "wake" << 59'000 << false;
        QTest::newRow("61 s after waking") << "wake" << 61'000 << true;
        QTest::newRow("never seen to wake: 59 s after its start") << "endless sleep" << 59'000 << false;
        QTest::newRow("never seen to wake: 61 s after its start") << "endless sleep" << 61'000 << true;
    }

    void corrections_around_sleep()
    {
        QFETCH(QString, after);
        QFETCH(int, offset_ms);
        QFETCH(bool, learnt);

        QTemporaryDir dir;
        HistoryStore store(dir.filePath(QStringLiteral("history.sqlite")));
        const SleepSpan span{T0 + 3'600'000, after == "endless sleep" ? 0 : T0 + 7'200'000};
        HistoryBatch batch;
        batch.sleeps = {span};
        batch.corrections = {{(after == "wake" ? span.end_ms : span.start_ms) + offset_ms, ID, 500, 10, 20,
                              QStringLiteral("hot_key")}};
        QVERIFY(store.write(batch));
        QCOMPARE(store.corrections(ID, 0, T0 * 2).size(), size_t(1)); // still shown
        QCOMPARE(store.corrections_to_learn_from(ID, T0 * 2).size(), size_t(learnt));
    }

    // Without a controller the curve window's summary starts from the
    // configuration recorded last, and reads that controller's history.
    void summary_without_a_controller()
    {
        QTemporaryDir dir;
        HistoryStore store(dir.filePath(QStringLiteral("history.sqlite")));
        ConfigBlock last;
        last.set_auto_pwm(1, 20);
        HistoryBatch batch = one_minute(T0 / 1000, 300);
        batch.configurations = {{QStringLiteral("8d88:00bb:other"), T0, {}}, {ID, T0 + 60'000, last}};
        QVERIFY(store.write(batch));
        const HistorySummary summary = summarise_history(store, QString(), std::nullopt, LightPositions::keep, T0 + DAY_MS);
        QVERIFY(summary.last_configuration && summary.last_configuration->config.auto_pwm(1) == 20);
        QCOMPARE(summary.identity, ID);
        QCOMPARE(summary.corrections.size(), size_t(1));
    }

    // The recorder marks the sleep it is told of: the changes just before
    // and just after it are kept, but not learnt from.
    void recorder_marks_sleep()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        const ManualChange change{QDateTime(), ID, 500, 10, 20, ChangeSource::hot_key}; // at once
        {
            HistoryRecorder recorder(HistoryRecorder::Settings{path});
            recorder.record_manual_change(change);
            bool written = false;
            recorder.prepare_for_sleep([&written] { written = true; });
            QTRY_VERIFY(written);
            QCOMPARE(HistoryStore(path, HistoryStore::Access::read_only).corrections(ID, 0, T0 * 2).size(), size_t(1));
            recorder.woke();
            recorder.record_manual_change(change);
        }
        const HistoryStore store(path, HistoryStore::Access::read_only);
        QCOMPARE(store.corrections(ID, 0, T0 * 2).size(), size_t(2));
        QCOMPARE(store.corrections_to_learn_from(ID, T0 * 2).size(), size_t(0));
    }

    // The recorder on a compressed clock (40 ms a minute), fed a controller
    // whose brightness turns every minute in a still room: the minutes
    // written say it hunts (a steady room: the hunting table).
    void recorder_sees_hunting()
    {
        QTemporaryDir dir;
        HistoryRecorder recorder(HistoryRecorder::Settings{dir.filePath(QStringLiteral("history.sqlite")), 40});
        QSignalSpy hunting(&recorder, &HistoryRecorder::hunting_seen);
        recorder.start();
        ControllerStatus status;
        status.connected = status.live = true;
        status.identity = ID;
        status.light = 300;
        for (unsigned minute = 0; minute < 12; ++minute, QTest::qWait(40)) {
            status.brightness_reversals = minute;
            recorder.record_status(status);
        }
        QTRY_VERIFY(!hunting.isEmpty());
        QCOMPARE(hunting.first().first().toString(), ID);
    }

    // A sweep's readings (percent, reading), what the fit makes of them and
    // what the store gives back once the recorder keeps it, a newer record it
    // cannot read passed over.
    void couplings_kept_data()
    {
        using Points = std::vector<CouplingPoint>;
        QTest::addColumn<Points>("points");
        QTest::addColumn<int>("ambient_end");
        QTest::addColumn<bool>("settled");
        QTest::addColumn<double>("counts_per_percent");
        QTest::addColumn<double>("r_squared"); // -1: none
        QTest::addColumn<bool>("stable");
        const Points line{{0, 100}, {50, 200}, {100, 300}, {50, 200}, {0, 100}};
        QTest::newRow("on a line") << line << 100 << true << 2.0 << 1.0 << true;
        QTest::newRow("no lamp light") << Points{{0, 100}, {100, 100}} << 100 << true << 0.0 << -1.0 << true;
        QTest::newRow("no lamp light, eleven steps") << Points(11, {10, 512}) << 512 << true << 0.0 << -1.0 << true;
        QTest::newRow("scattered") << Points{{0, 100}, {0, 120}, {100, 110}, {100, 130}} << 100 << true << 0.1 << 0.2
                                   << true;
        QTest::newRow("room moved 12 % and 12 counts") << line << 112 << true << 2.0 << 1.0 << false;
        QTest::newRow("moved 12 % but 8 counts") << Points{{0, 70}, {100, 70}} << 78 << true << 0.0 << -1.0 << true;
        QTest::newRow("a step never settled") << line << 100 << false << 2.0 << 1.0 << false;
    }

    void couplings_kept()
    {
        QFETCH(std::vector<CouplingPoint>, points);
        QFETCH(int, ambient_end);
        QFETCH(bool, settled);
        QFETCH(double, counts_per_percent);
        QFETCH(double, r_squared);
        QFETCH(bool, stable);
        QTemporaryDir dir;
        HistoryStore store(dir.filePath(QStringLiteral("history.sqlite")));
        QVERIFY(!store.last_coupling(ID));
        const unsigned ambient_start = points.front().reading;
        const CouplingResult fit = fit_coupling(points, ambient_start, unsigned(ambient_end), settled, T0);
        QCOMPARE(fit.counts_per_percent + 1, counts_per_percent + 1);
        QCOMPARE(fit.r_squared.value_or(-1), r_squared);
        QCOMPARE(fit.stable, stable);
        QVERIFY(store.save_coupling(ID, fit_coupling({}, 0, 0, true, T0 - 1000)));
        // The program keeps what a sweep measured at once, not a minute later.
        HistoryRecorder recorder(HistoryRecorder::Settings{store.path()});
        recorder.start();
        recorder.record_coupling(ID, fit);
        const auto last_kept = [&store] { return coupling_json(store.last_coupling(ID).value_or(CouplingResult())); };
        QTRY_COMPARE(last_kept(), coupling_json(fit));
        {
            RawConnection raw(store.path());
            QVERIFY(QSqlQuery(raw.db).exec(QStringLiteral("INSERT INTO couplings VALUES(1, %1, '{\"stable\":1}')")
                                               .arg(T0 + 1000)));
        }
        QCOMPARE(last_kept(), coupling_json(fit));
        QCOMPARE(store.last_coupling(ID)->points, points);
        QVERIFY(!store.last_coupling(QStringLiteral("another")));
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

    // A writer killed mid-minute keeps every minute it ended before, those
    // ended before its database was opened too, and a reader beside it sees
    // them as they come.
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
