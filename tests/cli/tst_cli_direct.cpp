// morvane-pwmctl on its own, with no program running: the real executable in
// front of the simulated controller (preload library). What each kind of
// command sends and never sends, its exit code, the export/import round trip
// on the wire, and watch ending on a signal.

#include "client_session.h"
#include "history/history_store.h"
#include "model/device_lock.h"

#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {

// What `status --json` prints in every state.
const QStringList STATUS_KEYS{"answering", "brightness_percent", "configuration_loaded", "connected", "controller",
                              "edits_pending", "error", "holder", "identified", "light", "manual_level", "mode",
                              "pwm_width", "route", "serial", "silent_since"};

} // namespace

class CliDirectTest : public QObject
{
    Q_OBJECT

private slots:
    // Every client runs at a fixed offset from UTC, which `watch --json` shows;
    // keeps what it measures in the test's history, the sweep's waits short.
    void initTestCase()
    {
        qputenv("TZ", "XYZ-05:30");
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
        qputenv("MORVANE_PWM_TEST_SWEEP_SCALE", "0.2");
    }

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
        QTest::newRow("status as JSON") << manual_at_300 << QStringList{"status", "--json"} << QByteArray() << 0
                                        << "\"mode\":\"manual\"" << nothing_but_reads << -1;
        QTest::newRow("no controller") << QStringList{"plugged=0"} << QStringList{"status", "--json"} << QByteArray() << 3
                                       << "{\"answering\":null,\"brightness_percent\":null,\"configuration_loaded\":false,"
                                          "\"connected\":false,\"controller\":null,\"edits_pending\":false,\"error\":null,"
                                          "\"holder\":null,\"identified\":false,\"light\":null" << nothing_but_reads << -1;
        QTest::newRow("status's exit codes") << QStringList() << QStringList{"status", "--help"} << QByteArray() << 0
                                             << "1 it does not answer" << nothing_but_reads << -1;
        QTest::newRow("watch interval too short") << QStringList() << QStringList{"watch", "--interval", "0.05"}
                                                  << QByteArray() << 2 << "--interval takes 0.1..3600 seconds, not 0.05"
                                                  << nothing_but_reads << -1;
        QTest::newRow("cannot open") << QStringList{"faults=deny_open"} << QStringList{"up"} << QByteArray() << 1
                                     << "Permission denied (EACCES); install the udev rule 70-morvane-pwm.rules"
                                     << nothing_but_reads << -1;
        QTest::newRow("cannot open, JSON") << QStringList{"faults=deny_open"} << QStringList{"status", "--json"}
                                           << QByteArray() << 1 << "\"error\":\"cannot open the controller"
                                           << nothing_but_reads << -1;
        QTest::newRow("unknown version") << QStringList{"version=2"} << QStringList{"status"} << QByteArray() << 1
                                         << "reports version 2" << nothing_but_reads << -1;
        QTest::newRow("level needs manual") << QStringList() << QStringList{"level", "50%"} << QByteArray() << 1
                                            << "Manual regulation is off" << nothing_but_reads << -1;
        QTest::newRow("level") << manual_at_300 << QStringList{"level", "50%"} << QByteArray() << 0
                               << "manual, level 50% (width 282)" << no_write << 282;
        QTest::newRow("level not taken") << (manual_at_300 + QStringList{"faults=silent cmd=57"}) << QStringList{"level", "50%"}
                                         << QByteArray() << 1 << "did not confirm" << no_write << 282;
        QTest::newRow("up") << manual_at_300 << QStringList{"up"} << QByteArray() << 0 << "width 317" << no_write << 317;
        QTest::newRow("manual off") << manual_at_300 << QStringList{"manual", "off"} << QByteArray() << 0 << "automatic"
                                    << no_write << -1;
        QTest::newRow("bad file") << QStringList() << QStringList{"config", "import", "FILE"}
                                  << QByteArray("{\"format\": \"morvane-pwm-configuration\", \"version\": 3}") << 1
                                  << "version is 3; allowed: 1; nothing was written" << nothing_but_reads << -1;
        QTest::newRow("usage") << QStringList() << QStringList{"level", "565"} << QByteArray() << 2
                               << "level takes a width 0..564" << nothing_but_reads << -1;
        QTest::newRow("negative level") << QStringList() << QStringList{"level", "-5"} << QByteArray() << 2
                                        << "level takes a width 0..564 or a percentage 0%..100%, not -5"
                                        << nothing_but_reads << -1;
        // One controller: --device may name it, and must not name another.
        QTest::newRow("list") << QStringList() << QStringList{"list"} << QByteArray() << 0
                              << "1  usb:1-2  -  connected\n" << nothing_but_reads << -1;
        QTest::newRow("status by number") << manual_at_300 << QStringList{"status", "--device", "1"} << QByteArray() << 0
                                          << "mode         manual (level 300)" << nothing_but_reads << -1;
        QTest::newRow("coupling, cannot open") << QStringList{"faults=deny_open"} << QStringList{"coupling"} << QByteArray()
                                               << 1 << "cannot open the controller" << nothing_but_reads << -1;
        QTest::newRow("level on no such controller") << manual_at_300 << QStringList{"level", "--device", "sn:NONE", "50%"}
                                                     << QByteArray() << 3 << "no controller matches sn:NONE"
                                                     << nothing_but_reads << -1;
        // Two controllers (the first's files and wire at the top, the second's
        // in lamp/): the client names them and touches only the one chosen.
        const QString two = QStringLiteral("controllers=desk serial=MV-1\nlamp serial=MV-2");
        QTest::newRow("two, listed") << QStringList{"controllers=desk serial=MV-1\nbare"} << QStringList{"list"}
                                     << QByteArray() << 0 << "1  sn:MV-1  MV-1  connected\n2  usb:1-3  -     connected\n"
                                     << nothing_but_reads << -1;
        QTest::newRow("two, no choice") << (QStringList{two} + manual_at_300) << QStringList{"level", "50%"} << QByteArray()
                                        << 2 << "several controllers are connected (sn:MV-1, sn:MV-2); choose one"
                                        << nothing_but_reads << -1;
        QTest::newRow("two, by serial") << (QStringList{two} + manual_at_300) << QStringList{"level", "50%", "--device", "MV-1"}
                                        << QByteArray() << 0 << "manual, level 50% (width 282)" << no_write << 282;
        // The first cannot even be opened: the second is reached without trying it.
        QTest::newRow("two, the other by number")
            << QStringList{two, "faults=deny_open", "mode=1"} << QStringList{"level", "50%", "--device", "2"} << QByteArray()
            << 1 << "Manual regulation is off" << nothing_but_reads << -1;
        QTest::newRow("twins by their shared serial")
            << QStringList{"controllers=desk serial=MV-1\nlamp serial=MV-1"} << QStringList{"status", "--device", "MV-1"}
            << QByteArray() << 2 << "MV-1 names several controllers (sn:MV-1@1-2, sn:MV-1@1-3)" << nothing_but_reads << -1;
        QTest::newRow("device without value") << QStringList() << QStringList{"up", "--device"} << QByteArray() << 2
                                              << "--device needs a value" << nothing_but_reads << -1;
        QTest::newRow("version") << QStringList() << QStringList{"--version"} << QByteArray() << 0
                                 << "morvane-pwmctl " MORVANE_VERSION "\n" << nothing_but_reads << -1;
        QTest::newRow("config group help") << QStringList() << QStringList{"config", "--help"} << QByteArray() << 0
                                           << "  config import FILE [--dry-run]" << nothing_but_reads << -1;
        // What was wrong in the client's words; Qt's follow in parentheses.
        QTest::newRow("import a folder") << QStringList() << QStringList{"config", "import", "/"} << QByteArray() << 1
                                         << "cannot read /: it is a folder (" << nothing_but_reads << -1;
        QTest::newRow("export to no folder") << QStringList() << QStringList{"config", "export", "/none/x.json"}
                                             << QByteArray() << 1
                                             << "cannot write /none/x.json: its folder does not exist ("
                                             << nothing_but_reads << -1;
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
        // A failure prints no result, only JSON's object saying why.
        if (exit_code == 1)
            QVERIFY2(result.out.isEmpty() == !args.contains("--json"), qPrintable(result.describe()));
        if (args.contains("--json") && args.first() == "status")
            QCOMPARE(QJsonDocument::fromJson(result.out.toUtf8()).object().keys(), STATUS_KEYS);
        const Wire wire = sim.wire();
        for (int command : never_sent)
            QVERIFY2(wire.requests(command).isEmpty(), qPrintable(QStringLiteral("command %1 sent").arg(command)));
        const QList<WireReport> widths = wire.requests(cmd_set_pwm_width);
        QCOMPARE(widths.isEmpty() ? -1 : widths.last().pwm_width(), width_sent);
        if (exit_code == 1 && document.size())
            QVERIFY2(sim.event_ms(QStringLiteral("open")) < 0, "the controller was opened for a bad file");
    }

    // The lamp adds 2.5 counts per percent to 300. Measured to the end or
    // interrupted once two steps are, the client exits only once the
    // controller is back in the mode and at the level it found; a result
    // measured is kept for --last.
    void coupling_restores_data()
    {
        QTest::addColumn<int>("level"); // manual regulation at this width before; -1: automatic
        QTest::addColumn<int>("signal_number"); // 0: none
        QTest::addColumn<int>("exit_code");
        QTest::newRow("from manual") << 300 << 0 << 0;
        QTest::newRow("from automatic") << -1 << 0 << 0;
        QTest::newRow("Ctrl+C") << 300 << SIGINT << 1;
        QTest::newRow("SIGTERM from automatic") << -1 << SIGTERM << 1;
    }

    void coupling_restores()
    {
        QFETCH(int, level);
        QFETCH(int, signal_number);
        SimController sim;
        sim.set(QStringLiteral("room"), QStringLiteral("k=2.5 ambient=300"));
        sim.set(QStringLiteral("state"), QString()); // kept from one client to the next
        const ClientSession session(&sim);
        if (level >= 0)
            QVERIFY(session.run({"manual", "on"}).exit_code == 0
                    && session.run({"level", QString::number(level)}).exit_code == 0);
        QProcess sweep;
        session.prepare(sweep, {"coupling", "--json"});
        sweep.start();
        QString steps;
        QVERIFY(wait_until([&] { return (steps += sweep.readAllStandardError()).contains("2 of 11 steps measured"); },
                           20000));
        if (signal_number)
            ::kill(pid_t(sweep.processId()), signal_number);
        QVERIFY(sweep.waitForFinished(20000));
        const CliResult result{sweep.exitCode(), sweep.readAllStandardOutput(), steps + sweep.readAllStandardError()};
        QFETCH(int, exit_code);
        QVERIFY2(result.exit_code == exit_code, qPrintable(result.describe()));
        const CliResult after = session.run({"status"});
        const QString found = level >= 0 ? QStringLiteral("manual (level %1)").arg(level) : "mode         automatic";
        QVERIFY2(after.out.contains(found), qPrintable(after.describe()));
        if (signal_number) {
            QVERIFY2(result.err.contains("The measurement was cancelled") && result.out.isEmpty(),
                     qPrintable(result.describe()));
            return;
        }
        const double k = QJsonDocument::fromJson(result.out.toUtf8())["counts_per_percent"].toDouble();
        QVERIFY2(qAbs(k - 2.5) < 0.1, qPrintable(result.describe()));
        QCOMPARE(ClientSession().run({"coupling", "--last", "--json"}).out, result.out);
    }

    // Under a Russian locale the client speaks Russian, its table still aligned.
    void speaks_the_locale_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("status") << QStringList{"status"} << "контроллер   подключен\nосвещенность 512\n";
        QTest::newRow("usage") << QStringList{"level", "565"} << "level принимает ширину 0..564";
        QTest::newRow("mode word") << QStringList{"manual", "off"} << "автоматический\n";
        QTest::newRow("not JSON") << QStringList{"config", "import", "/dev/null"}
                                  << "/dev/null: неверный JSON в байте 0: там стоит не значение JSON (";
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
    // as the controller last reported it. With the lamp's light measured
    // strong, the factory curve would run away: each import says so, and
    // writes.
    void export_import_round_trip()
    {
        CouplingResult coupling; // newer than any measured before
        coupling.counts_per_percent = 10;
        coupling.measured_at_ms = QDateTime::currentMSecsSinceEpoch() + 1000;
        QVERIFY(HistoryStore(HistoryStore::default_path()).save_coupling(QStringLiteral("usb:1-2"), coupling));
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
        QVERIFY2(result.exit_code == 0 && result.out.contains("step_delay: 2 -> 9")
                     && result.err.contains("the brightness may run away to full"),
                 qPrintable(result.describe()));

        sim.set(QStringLiteral("light"), QStringLiteral("const 777")); // the live state moves on
        // Counted in reports, not milliseconds: the runs before may end in
        // the millisecond this one starts.
        const qsizetype before_import = sim.wire().reports.size();
        result = session.run({"config", "import", exported});
        QVERIFY2(result.exit_code == 0 && result.out.contains("point 1 (curve[0].light): 1 -> 0"), qPrintable(result.describe()));

        Wire import_run;
        import_run.reports = sim.wire().reports.mid(before_import);
        // On failure, the whole wire and the library's events, to tell which process wrote when.
        const auto story = [&] {
            QStringList lines{QStringLiteral("import started after report %1").arg(before_import)};
            for (const WireReport &report : sim.wire().reports)
                lines << QStringLiteral("%1 %2 command %3").arg(report.ms).arg(report.out ? "out" : "in").arg(report.command());
            return (lines + sim.events()).join(QLatin1Char('\n'));
        };
        QVERIFY2(import_run.requests(cmd_write_config).size() == 1, qPrintable(story()));
        const QByteArray written = import_run.requests(cmd_write_config).first().payload().left(ConfigBlock::SIZE);
        QCOMPARE(written.mid(ConfigBlock::STATUS_SIZE), original.mid(ConfigBlock::STATUS_SIZE));
        const QByteArray last_status = import_run.replies(cmd_read_state).last().payload().left(ConfigBlock::STATUS_SIZE);
        QCOMPARE(written.left(ConfigBlock::STATUS_SIZE), last_status);
        QCOMPARE(import_run.replies(cmd_read_state).last().block().light_adc(), 777u);
    }

    // The lock is the user's whatever the environment: a client with
    // another runtime directory finds the watch holding it.
    void watch_ends_data()
    {
        QTest::addColumn<int>("signal_number");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("change"); // a control file, "file=content"
        QTest::addColumn<QString>("second_line"); // a part of it
        const QString light = QStringLiteral("light=const 800");
        QTest::newRow("SIGINT") << SIGINT << QStringList{"watch"} << light << "light 800";
        // Times with their offset from UTC (TZ above).
        QTest::newRow("SIGTERM, JSON") << SIGTERM << QStringList{"watch", "--json"} << light << "\"light\":800";
        QTest::newRow("SIGKILL") << SIGKILL << QStringList{"watch"} << light << "light 800"; // leaves its lock behind: the next client takes it over
        QTest::newRow("silent, JSON") << SIGINT << QStringList{"watch", "--json"} << "faults=silent cmd=55"
                                      << "\"answering\":false";
    }

    void watch_ends()
    {
        QFETCH(int, signal_number);
        QFETCH(QStringList, args);
        QFETCH(QString, change);
        QFETCH(QString, second_line);
        SimController sim;
        const ClientSession session(&sim);
        WatchRun watch;
        session.start_watch(watch, args);
        QVERIFY2(watch.wait_for_lines(1, 20000), qPrintable(watch.printed));
        const QString lock = DeviceLock::path_for_node(QStringLiteral("/dev/hidraw1"));
        QVERIFY(QFile::exists(lock));
        const CliResult elsewhere = ClientSession(&sim).run({"status"});
        QVERIFY2(elsewhere.exit_code == 1 && elsewhere.err.contains("morvane-pwmctl (pid"), qPrintable(elsewhere.describe()));
        sim.set(change.section('=', 0, 0), change.section('=', 1));
        QVERIFY2(watch.wait_for_lines(2, 10000), qPrintable(watch.printed));
        const QString line = watch.printed.section('\n', 1, 1);
        QVERIFY2(line.contains(second_line), qPrintable(line));
        if (args.contains("--json")) { // status's keys and the time
            QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
            QVERIFY2(object.take("time").toString().endsWith("+05:30"), qPrintable(line));
            QCOMPARE(object.keys(), STATUS_KEYS);
        }

        ::kill(pid_t(watch.process.processId()), signal_number);
        QVERIFY(watch.process.waitForFinished(10000));
        if (signal_number == SIGKILL) {
            const CliResult after = session.run({"status"});
            QVERIFY2(after.exit_code == 0, qPrintable(after.describe()));
        } else {
            QCOMPARE(watch.process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(watch.process.exitCode(), 0);
            QVERIFY(!QFile::exists(lock));
        }
        QVERIFY(sim.wire().requests(cmd_write_config).isEmpty());
    }

    // A lock directory others could enter is not used: the client says so
    // and leaves the controller alone.
    void unmakeable_lock_is_reported()
    {
        const QString dir = DeviceLock::directory();
        if (dir.startsWith(QLatin1String("/run/user/")))
            QSKIP("the lock is in the system's runtime directory, which this test does not touch");
        QVERIFY(::chmod(QFile::encodeName(dir).constData(), 0755) == 0);
        const auto restore = qScopeGuard([&] { ::chmod(QFile::encodeName(dir).constData(), 0700); });
        SimController sim;
        const CliResult result = ClientSession(&sim).run({"up"});
        QVERIFY2(result.exit_code == 1 && result.err.contains("cannot make the device lock (" + dir), qPrintable(result.describe()));
        QVERIFY(sim.event_ms(QStringLiteral("open")) < 0);
    }

private:
    QTemporaryDir state;
};

QTEST_MAIN(CliDirectTest)
#include "tst_cli_direct.moc"
