// morvane-pwmctl history and propose: the real client reading a history
// written beforehand, with no program and no controller. A proposal saved
// with -o must be a configuration that an import accepts.

#include "client_session.h"
#include "history/history_store.h"
#include "model/config_file.h"

#include <QDateTime>
#include <QtTest>

namespace {

const QString ID = QStringLiteral("8d88:00bb:history-test");
const QString OTHER = QStringLiteral("sn:OTHER1"); // a second controller, recorded before, never corrected

// Two days of minutes around light 200 and 700, and the owner asking for
// more brightness at both: enough for a proposal. An hour of another
// controller three days ago, when asked; a strong lamp coupling measured,
// when asked. With `hunting`, the brightness turning twice a minute from 9
// to 5 minutes ago in a still room.
void seed(const QString &path, bool with_corrections, bool with_other, bool coupled, bool hunting)
{
    HistoryStore store(path);
    HistoryBatch batch;
    const qint64 now = QDateTime::currentSecsSinceEpoch() / 60 * 60;
    for (int minute = 0; with_other && minute < 60; ++minute)
        batch.minutes.push_back({now - 3 * 24 * 3600 - 60 * minute, OTHER, 10, 20.0, 30, 100, 0, 60});
    for (int minute = 1; minute <= 48 * 60; minute += 30)
        batch.minutes.push_back({now - 60 * minute, ID, 150, minute % 60 ? 200.0 : 700.0, 750, 282, 0, 60});
    for (int minute = 5; hunting && minute <= 9; ++minute)
        batch.minutes.push_back({now - 60 * minute, ID, 150, 200.0, 250, 282, 0, 60, 2});
    for (int i = 0; with_corrections && i < 6; ++i)
        batch.corrections.push_back({(now - 3600 * i) * 1000, ID, i % 2 ? 200u : 700u, 100, i % 2 ? 250 : 500,
                                     QStringLiteral("hot_key")});
    ConfigBlock config;
    for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point) {
        config.set_auto_light(point, 150 * (point - 1));
        config.set_auto_pwm(point, 60 * point);
    }
    config.set_avrg_light_num(5);
    batch.configurations.push_back({ID, now * 1000, config});
    // The lamp adds 2 counts per percent (20 when coupled); the other's room
    // grew brighter while it was measured.
    const std::vector<CouplingPoint> sweep{{0, 100}, {50, 200}, {100, 300}, {50, 200}, {0, 100}};
    const std::vector<CouplingPoint> strong{{0, 100}, {100, 2100}};
    if (with_corrections)
        batch.couplings.push_back({ID, fit_coupling(coupled ? strong : sweep, 100, 100, true, now * 1000)});
    if (with_other)
        batch.couplings.push_back({OTHER, fit_coupling(sweep, 100, 150, true, now * 1000)});
    QVERIFY2(store.write(batch), qPrintable(store.problem()));
}

} // namespace

class CliHistoryTest : public QObject
{
    Q_OBJECT

private slots:
    void commands_data()
    {
        // none, quiet (no corrections), full, two (full and OTHER), coupled (full, the lamp's light strong),
        // hunting (full and a hunting spell)
        QTest::addColumn<QString>("history");
        QTest::addColumn<QStringList>("args"); // FILE: a file in the test's directory
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("language"); // LANG

        QTest::newRow("no database") << "none" << QStringList{"history"} << 1
                                     << "morvane-pwmctl: there is no history yet: morvane-pwm records it at " << "C";
        QTest::newRow("propose, no database") << "none" << QStringList{"propose"} << 1
                                              << "while it runs with the controller; a proposal follows once it holds 5"
                                              << "C";
        QTest::newRow("history json") << "full" << QStringList{"history", "--days", "1", "--json"} << 0
                                      << "\"light_max\":750" << "C";
        QTest::newRow("history json: no hunting") << "full" << QStringList{"history", "--json"} << 0
                                                  << "\"hunting\":[]" << "C";
        QTest::newRow("history json: a hunting spell")
            << "hunting" << QStringList{"history", "--json"} << 0
            << "\"hunting\":[{\"controller\":\"8d88:00bb:history-test\",\"end\":\"END\",\"reversals\":10,"
               "\"start\":\"START\"}]" << "C";
        QTest::newRow("history csv") << "full" << QStringList{"history", "--csv"} << 0 << "correction," << "C";
        QTest::newRow("csv and json") << "full" << QStringList{"history", "--csv", "--json"} << 2 << "usage" << "C";
        QTest::newRow("days out of range") << "full" << QStringList{"history", "--days", "0"} << 2 << "--days takes" << "C";
        QTest::newRow("too few corrections") << "quiet" << QStringList{"propose"} << 1 << "no proposal: 0 of the 5" << "C";
        QTest::newRow("propose within the lamp's coupling") << "coupled" << QStringList{"propose"} << 0
                                                            << "slopes limited" << "C";
        QTest::newRow("propose") << "full" << QStringList{"propose", "-o", "FILE"} << 0 << "6 corrections over 1 day" << "C";
        QTest::newRow("propose json") << "full" << QStringList{"propose", "--json", "--positions", "time"} << 0
                                      << "\"changed\":true" << "C";
        // Unchanged values carry no star: the seeded corrections move no point's light.
        QTest::newRow("propose stars changes only")
            << "full" << QStringList{"propose"} << 0 << "proposed          0    150    300    450    600    750    900\n"
            << "C";
        // --device picks among the history's controllers; the hours come oldest first.
        QTest::newRow("history of one") << "two" << QStringList{"history", "--json", "--device", "8d88"} << 0
                                        << "\"hours\":[{\"controller\":\"8d88:00bb:history-test\"" << "C";
        QTest::newRow("history by serial") << "two" << QStringList{"history", "--json", "--device", "OTHER1"} << 0
                                           << "\"corrections\":[],\"days\":30,\"hours\":[{\"controller\":\"sn:OTHER1\""
                                           << "C";
        QTest::newRow("propose for one never configured") << "two" << QStringList{"propose", "--device", "sn:OTHER1"}
                                                          << 1 << "no configuration recorded yet" << "C";
        QTest::newRow("not in the history") << "two" << QStringList{"propose", "--device", "sn:NONE"} << 3
                                            << "no controller in the history matches sn:NONE" << "C";
        // A kept coupling needs neither program nor controller; --device picks among the history's.
        QTest::newRow("no coupling kept") << "quiet" << QStringList{"coupling", "--last"} << 1
                                          << "no coupling measured yet; 'morvane-pwmctl coupling' measures it" << "C";
        QTest::newRow("coupling kept") << "full" << QStringList{"coupling", "--last"} << 0
                                       << "k            2.00 light counts per 1% of brightness\nR²           1.000\n" << "C";
        QTest::newRow("coupling kept, JSON") << "two" << QStringList{"coupling", "--last", "--json"} << 0
                                             << "{\"ambient_end\":100,\"ambient_start\":100,\"counts_per_percent\":2," << "C";
        QTest::newRow("coupling kept, room changed") << "two" << QStringList{"coupling", "--last", "--device", "OTHER1"}
                                                     << 1 << "morvane-pwmctl: the room's light changed; measure again" << "C";
        QTest::newRow("--last is coupling's") << "full" << QStringList{"status", "--last"} << 2 << "usage" << "C";
        // For people in the reader's language; --json and --csv keep their machine words.
        QTest::newRow("history in Russian") << "full" << QStringList{"history"} << 0 << "автоматический   2 мин\n"
                                            << "ru_RU.UTF-8";
        QTest::newRow("who corrected, in Russian") << "full" << QStringList{"history"} << 0 << "горячая клавиша\n"
                                                   << "ru_RU.UTF-8";
        QTest::newRow("csv in Russian") << "full" << QStringList{"history", "--csv"} << 0 << ",automatic,120,"
                                        << "ru_RU.UTF-8";
    }

    void commands()
    {
        QFETCH(QString, history);
        QFETCH(QStringList, args);
        QFETCH(int, exit_code);
        QFETCH(QString, says);
        QFETCH(QString, language);

        QTemporaryDir state;
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
        if (history != QLatin1String("none"))
            seed(HistoryStore::default_path(), history != QLatin1String("quiet"), history == QLatin1String("two"),
                 history == QLatin1String("coupled"), history == QLatin1String("hunting"));
        const qint64 minute = QDateTime::currentSecsSinceEpoch() / 60 * 60;
        const auto iso = [](qint64 at) { return QDateTime::fromSecsSinceEpoch(at, Qt::UTC).toString(Qt::ISODate); };
        says.replace(QStringLiteral("START"), iso(minute - 9 * 60)).replace(QStringLiteral("END"), iso(minute - 4 * 60));
        const QString file_name = state.filePath(QStringLiteral("proposal.json"));
        args.replaceInStrings(QStringLiteral("FILE"), file_name);

        const CliResult result = ClientSession(nullptr, language).run(args);
        QVERIFY2(result.exit_code == exit_code, qPrintable(result.describe()));
        QVERIFY2((result.out + result.err).contains(says), qPrintable(result.describe()));
        if (args.contains(QStringLiteral("-o"))) {
            QFile file(file_name);
            QVERIFY(file.open(QIODevice::ReadOnly));
            ConfigBlock imported;
            QString error;
            QVERIFY2(config_from_json(file.readAll(), &imported, &error), qPrintable(error));
        }
    }
};

QTEST_GUILESS_MAIN(CliHistoryTest)
#include "tst_cli_history.moc"
