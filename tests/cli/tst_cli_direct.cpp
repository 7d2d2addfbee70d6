// morvane-pwmctl on its own, with no program running: the real executable in
// front of the simulated controller (preload library). What each kind of
// command sends and never sends, its exit code, the export/import round trip
// on the wire, and watch ending on a signal.

#include "client_session.h"

#include <QtTest>

#include <csignal>

const QString LOCK_NAME = QStringLiteral("/io.github.morvane.pwm.device.lock");

class CliDirectTest : public QObject
{
    Q_OBJECT

private slots:
    // The controller as control files ("file=content"), the command line
    // ("FILE" stands for a file holding `document`), and what must follow.
    void commands_data()
    {
        QTest::addColumn<QStringList>("controller");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QList<int>>("never_sent");
        QTest::addColumn<int>("width_sent"); // the last command 57 carries it; -1: none sent

        const QStringList manual_at_300{"mode=1", "pwm_width=300"};
        const QList<int> no_write{cmd_write_config};
        const QList<int> nothing_but_reads{cmd_write_config, cmd_set_pwm_width, cmd_set_mode};
        QTest::newRow("status reads only") << manual_at_300 << QStringList{"status"} << QByteArray() << 0
                                           << "mode         manual (level 300)" << nothing_but_reads << -1;
        QTest::newRow("status leaves an odd mode byte") << QStringList{"mode=2"} << QStringList{"status"} << QByteArray()
                                                        << 0 << "automatic" << nothing_but_reads << -1;
        QTest::newRow("no controller") << QStringList{"plugged=0"} << QStringList{"status", "--json"} << QByteArray() << 3
                                       << "\"connected\":false" << nothing_but_reads << -1;
        QTest::newRow("cannot open") << QStringList{"faults=deny_open"} << QStringList{"up"} << QByteArray() << 1
                                     << "Permission denied" << nothing_but_reads << -1;
        QTest::newRow("unknown version") << QStringList{"version=2"} << QStringList{"status"} << QByteArray() << 1
                                         << "reports version 2" << nothing_but_reads << -1;
        QTest::newRow("level needs manual") << QStringList() << QStringList{"level", "50%"} << QByteArray() << 1
                                            << "not in manual regulation" << nothing_but_reads << -1;
        QTest::newRow("level") << manual_at_300 << QStringList{"level", "50%"} << QByteArray() << 0
                               << "manual, level 50% (width 282)" << no_write << 282;
        QTest::newRow("up") << manual_at_300 << QStringList{"up"} << QByteArray() << 0 << "width 317" << no_write << 317;
        QTest::newRow("manual off") << manual_at_300 << QStringList{"manual", "off"} << QByteArray() << 0 << "automatic"
                                    << no_write << -1;
        QTest::newRow("bad file") << QStringList() << QStringList{"config", "import", "FILE"}
                                  << QByteArray("{\"format\": \"morvane-pwm-configuration\", \"version\": 3}") << 1
                                  << "version is 3; allowed: 1; nothing was written" << nothing_but_reads << -1;
        QTest::newRow("usage") << QStringList() << QStringList{"level", "565"} << QByteArray() << 2
                               << "level takes a width 0..564" << nothing_but_reads << -1;
    }

    void commands()
    {
        QFETCH(QStringList, controller);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, document);
        QFETCH(int, exit_code);
        QFETCH(QString, says);
        QFETCH(QList<int>, never_sent);
        QFETCH(int, width_sent);

        SimController sim;
        for (const QString &file : controller)
            sim.set(file.section('=', 0, 0), file.section('=', 1));
        const QString file_name = sim.path() + "/document.json";
        QFile file(file_name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(document) == document.size());
        file.close();
        args.replaceInStrings(QStringLiteral("FILE"), file_name);

        const CliResult result = ClientSession(&sim).run(args);
        QVERIFY2(result.exit_code == exit_code, qPrintable(result.describe()));
        QVERIFY2((result.out + result.err).contains(says), qPrintable(result.describe()));
        const Wire wire = sim.wire();
        for (int command : never_sent)
            QVERIFY2(wire.requests(command).isEmpty(), qPrintable(QStringLiteral("command %1 sent").arg(command)));
        const QList<WireReport> widths = wire.requests(cmd_set_pwm_width);
        QCOMPARE(widths.isEmpty() ? -1 : widths.last().pwm_width(), width_sent);
        if (exit_code == 1 && document.size())
            QVERIFY2(sim.event_ms(QStringLiteral("open")) < 0, "the controller was opened for a bad file");
    }

    // Under a Russian locale the client speaks Russian, its table still aligned.
    void speaks_the_locale_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("status") << QStringList{"status"} << "контроллер   подключен\nосвещенность 512\n";
        QTest::newRow("usage") << QStringList{"level", "565"} << "level принимает ширину 0..564";
    }

    void speaks_the_locale()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        SimController sim;
        const CliResult result = ClientSession(&sim, QStringLiteral("ru_RU.UTF-8")).run(args);
        QVERIFY2((result.out + result.err).contains(says), qPrintable(result.describe()));
    }

    // Export, import something else, import the export: the last write
    // carries the exported configuration byte for byte, and the live state
    // as the controller last reported it.
    void export_import_round_trip()
    {
        SimController sim;
        sim.set(QStringLiteral("state"), QString()); // the controller keeps its block between runs
        const ClientSession session(&sim);
        const QString exported = sim.path() + "/exported.json";
        const QString edited = sim.path() + "/edited.json";

        CliResult result = session.run({"config", "export", exported});
        QVERIFY2(result.exit_code == 0, qPrintable(result.describe()));
        const QByteArray original = sim.wire().replies(cmd_read_state).first().payload().left(ConfigBlock::SIZE);
        QFile in(exported);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QFile out(edited);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(in.readAll().replace("\"light\": 0,", "\"light\": 1,").replace("\"step_delay\": 2", "\"step_delay\": 9"));
        out.close();
        result = session.run({"config", "import", edited});
        QVERIFY2(result.exit_code == 0 && result.out.contains("step_delay: 2 -> 9"), qPrintable(result.describe()));

        sim.set(QStringLiteral("light"), QStringLiteral("const 777")); // the live state moves on
        const qint64 before_import = monotonic_ms();
        result = session.run({"config", "import", exported});
        QVERIFY2(result.exit_code == 0 && result.out.contains("curve[1].light: 1 -> 0"), qPrintable(result.describe()));

        const Wire import_run = sim.wire().since(before_import);
        QCOMPARE(import_run.requests(cmd_write_config).size(), 1);
        const QByteArray written = import_run.requests(cmd_write_config).first().payload().left(ConfigBlock::SIZE);
        QCOMPARE(written.mid(ConfigBlock::STATUS_SIZE), original.mid(ConfigBlock::STATUS_SIZE));
        const QByteArray last_status = import_run.replies(cmd_read_state).last().payload().left(ConfigBlock::STATUS_SIZE);
        QCOMPARE(written.left(ConfigBlock::STATUS_SIZE), last_status);
        QCOMPARE(import_run.replies(cmd_read_state).last().block().light_adc(), 777u);
    }

    void watch_ends_data()
    {
        QTest::addColumn<int>("signal_number");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGKILL") << SIGKILL; // leaves its lock behind: the next client takes it over
    }

    void watch_ends()
    {
        QFETCH(int, signal_number);
        SimController sim;
        const ClientSession session(&sim);
        WatchRun watch;
        session.start_watch(watch);
        QVERIFY2(watch.wait_for_lines(1, 20000), qPrintable(watch.printed));
        QVERIFY(QFile::exists(session.runtime_dir() + LOCK_NAME));
        sim.set(QStringLiteral("light"), QStringLiteral("const 800"));
        QVERIFY2(watch.wait_for_lines(2, 10000), qPrintable(watch.printed));
        QVERIFY(watch.printed.section('\n', 1, 1).contains("light 800"));

        ::kill(pid_t(watch.process.processId()), signal_number);
        QVERIFY(watch.process.waitForFinished(10000));
        if (signal_number == SIGKILL) {
            const CliResult after = session.run({"status"});
            QVERIFY2(after.exit_code == 0, qPrintable(after.describe()));
        } else {
            QCOMPARE(watch.process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(watch.process.exitCode(), 0);
            QVERIFY(!QFile::exists(session.runtime_dir() + LOCK_NAME));
        }
        QVERIFY(sim.wire().requests(cmd_write_config).isEmpty());
    }
};

QTEST_MAIN(CliDirectTest)
#include "tst_cli_direct.moc"
