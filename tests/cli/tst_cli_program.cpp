// morvane-pwmctl through the running program: the real program (offscreen)
// on the simulated controller, serving its interface on the test's own
// session bus, and the real client without any way to the controller but the
// bus. What the client asks for reaches the wire through the program. Last,
// a run with the history's clock compressed, read back by history and
// propose once the program has ended.

#include "client_session.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>

namespace {

const QString SERVICE = QStringLiteral("io.github.morvane.pwm");

} // namespace

class CliProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session");
        // The history goes to the test's directory, never the user's.
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
        qputenv("MORVANE_PWM_TEST_SWEEP_SCALE", "0.2");
        start_program(sim);
    }

    void cleanupTestCase()
    {
        program.terminate();
        program.waitForFinished(10000);
    }

    // The client's environment has no simulated controller: had it gone to
    // hidapi itself, it would have found none (exit 3).
    void commands_go_through_the_program()
    {
        QCOMPARE(client({"status", "--json"}).section('\n', 0, 0).contains("\"route\":\"program\""), true);
        QVERIFY(client({"manual", "on", "--device", "1"}).contains("manual"));
        QVERIFY(client({"list"}).startsWith("1  "));
        const CliResult unmatched = session.run({"up", "--device", "sn:NONE"});
        QVERIFY2(unmatched.exit_code == 3 && unmatched.err.contains("no controller matches sn:NONE"),
                 qPrintable(unmatched.describe()));
        QVERIFY(client({"level", "50%"}).contains("manual, level 50% (width 282)"));

        // Export, import a change, import the export back at once: the
        // program turns the second write away as busy for a moment, and the
        // client asks again.
        const QString exported = sim.path() + "/exported.json";
        const QString changed = sim.path() + "/changed.json";
        client({"config", "export", exported});
        QFile in(exported);
        QFile out(changed);
        QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
        out.write(in.readAll().replace("\"step_delay\": 2", "\"step_delay\": 9"));
        out.close();
        const qint64 before_import = monotonic_ms();
        QVERIFY(client({"config", "import", changed}).contains("step_delay: 2 -> 9"));
        QVERIFY(client({"config", "import", exported}).contains("step_delay: 9 -> 2"));
        QVERIFY(sim.wait_for_wire([&](const Wire &wire) {
            const QList<WireReport> writes = wire.since(before_import).requests(cmd_write_config);
            return writes.size() == 2 && writes[0].block().pwm_step_delay() == 9
                   && writes[1].block().pwm_step_delay() == 2;
        }));
    }

    // The lamp adds 2.5 counts per percent to 300: measured through the
    // program, which keeps the result for --last and puts back the manual
    // level it found.
    void coupling_through_the_program()
    {
        sim.set(QStringLiteral("room"), QStringLiteral("k=2.5 ambient=300"));
        client({"level", "30%"});
        const CliResult measured = session.run({"coupling", "--json"});
        const double k = json(measured)["counts_per_percent"].toDouble();
        QVERIFY2(qAbs(k - 2.5) < 0.1 && measured.err.contains("11 of 11 steps measured"),
                 qPrintable(measured.describe()));
        QVERIFY(wait_until([] { return program_property("PwmWidth").toUInt() == 170; }, 5000));
        QCOMPARE(program_property("RegulationMode").toString(), QStringLiteral("manual"));
        QVERIFY(wait_until([&] { return session.run({"coupling", "--last", "--json"}).out == measured.out; }, 5000));
        sim.set(QStringLiteral("room"), QString());
    }

    // Right after plug-in the program is still loading (its read held up
    // here): a client reading the configuration waits for the load.
    void config_show_waits_for_the_load()
    {
        sim.set(QStringLiteral("plugged"), QStringLiteral("0"));
        QVERIFY(wait_until([] { return !program_property("Connected").toBool(); }, 10000));
        sim.set(QStringLiteral("faults"), QStringLiteral("delay cmd=55 times=1 ms=2000"));
        sim.set(QStringLiteral("plugged"), QStringLiteral("1"));
        QVERIFY(wait_until([] { return program_property("Connected").toBool(); }, 10000));
        QVERIFY(client({"config", "show"}).contains("light samples"));
        sim.set(QStringLiteral("faults"), QString());
    }

    // A method waiting for a silent controller holds nothing else up: Get
    // is answered meanwhile, and the client says the level was not taken.
    void silent_controller_blocks_nothing()
    {
        client({"manual", "on"});
        sim.set(QStringLiteral("faults"), QStringLiteral("silent cmd=57"));
        QProcess level;
        session.prepare(level, {"level", "40%"});
        level.start();
        QVERIFY(wait_until([] { return program_property("ManualLevel").toUInt() == 226; }, 10000)); // taken, not yet sent
        QVERIFY(program_property("Connected").toBool());
        QCOMPARE(level.state(), QProcess::Running);
        QVERIFY(level.waitForFinished(30000));
        const QString said = QString::fromUtf8(level.readAllStandardError());
        QCOMPARE(level.exitCode(), 1);
        QVERIFY2(said.contains("did not confirm") && level.readAllStandardOutput().isEmpty(), qPrintable(said));
        sim.set(QStringLiteral("faults"), QString());
    }

    // The program has the controller but no name on this client's bus: the
    // client says so at once, whatever its runtime directory.
    void program_without_bus_is_named()
    {
        const CliResult result = ClientSession(&sim).run({"up"});
        QCOMPARE(result.exit_code, 1);
        QVERIFY2(result.err.contains("the running morvane-pwm has no session bus"), qPrintable(result.describe()));
    }

    // A change the program announces reaches a watching client, which stops
    // cleanly on SIGINT.
    void watch_follows_the_program()
    {
        WatchRun watch;
        session.start_watch(watch);
        QVERIFY2(watch.wait_for_lines(1, 10000), qPrintable(watch.printed));
        sim.set(QStringLiteral("light"), QStringLiteral("const 640"));
        // Other changes may come first: the regulation the tests before left settling.
        QVERIFY2(wait_until([&] { return watch.wait_for_lines(0, 0) && watch.printed.contains("light 640"); }, 10000),
                 qPrintable(watch.printed));
        // A light that changes on every tick: two lines a second, still following it.
        const int before = watch.printed.count('\n');
        sim.set(QStringLiteral("light"), QStringLiteral("sine 450 300 700"));
        QTest::qWait(3000);
        QVERIFY2(watch.wait_for_lines(before + 4, 0) && !watch.wait_for_lines(before + 8, 0), qPrintable(watch.printed));
        sim.set(QStringLiteral("light"), QStringLiteral("const 640"));
        ::kill(pid_t(watch.process.processId()), SIGINT);
        QVERIFY(watch.process.waitForFinished(10000));
        QCOMPARE(watch.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(watch.process.exitCode(), 0);
    }

    // A controller that stops answering after its load is said to be silent
    // (D-Bus, status, once by watch) until it answers again.
    void silent_after_load_then_answering_again()
    {
        WatchRun watch;
        session.start_watch(watch);
        QVERIFY(watch.wait_for_lines(1, 10000));
        sim.set(QStringLiteral("faults"), QStringLiteral("silent cmd=55"));
        QVERIFY(wait_until([] { return !program_property("Answering").toBool(); }, 12000));
        const QString since = QDateTime::fromString(program_property("SilentSince").toString(), Qt::ISODate)
                                  .toLocalTime().toString("HH:mm:ss");
        const CliResult said = session.run({"status"});
        QVERIFY2(said.exit_code == 1 && said.out.contains("connected, not answering")
                     && said.err.contains("has not answered since " + since + ';'), qPrintable(said.describe()));
        const CliResult silent_json = session.run({"status", "--json"});
        QVERIFY2(silent_json.exit_code == 1 && silent_json.out.contains("\"answering\":false")
                     && silent_json.out.contains("\"error\":\"the controller has not answered"), qPrintable(silent_json.describe()));
        sim.set(QStringLiteral("faults"), QString());
        QVERIFY(wait_until([] { return program_property("Answering").toBool(); }, 10000));
        QCOMPARE(json(session.run({"status", "--json"}))["answering"], true);
        watch.wait_for_lines(0, 0);
        QCOMPARE(watch.printed.count("has not answered"), 1);
        ::kill(pid_t(watch.process.processId()), SIGINT);
        QVERIFY(watch.process.waitForFinished(10000));
    }

    // Whoever holds the program's name owns the controller: when it does not
    // answer, the client says so rather than opening the controller itself.
    void name_held_but_unanswered()
    {
        cleanupTestCase();
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(wait_until([&] { return bus.registerService(SERVICE); }, 10000));
        const CliResult result = session.run({"status"});
        QCOMPARE(result.exit_code, 1);
        QVERIFY2(result.err.contains("morvane-pwm did not answer"), qPrintable(result.describe()));
        bus.unregisterService(SERVICE);
    }

    // The program's own command line, in the reader's language, answers
    // without waking the instance this test runs.
    void program_command_line_data()
    {
        QTest::addColumn<QString>("language"); // LANG
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("says");
        QTest::newRow("help, Russian") << "ru_RU.UTF-8" << QStringList{"--help"} << 0
                                       << "Параметры:\n  --background    Запуститься";
        QTest::newRow("help, English") << "en_US.UTF-8" << QStringList{"-h"} << 0 << "Options:\n  --background    Start";
        QTest::newRow("version") << "C" << QStringList{"--version"} << 0 << "morvane-pwm " MORVANE_VERSION "\n";
        QTest::newRow("unknown, Russian") << "ru_RU.UTF-8" << QStringList{"--frob"} << 2 << "неизвестный параметр --frob";
    }

    void program_command_line()
    {
        QFETCH(QString, language);
        QFETCH(QStringList, args);
        QFETCH(int, exit_code);
        QFETCH(QString, says);
        QProcess second;
        QProcessEnvironment env = program.processEnvironment();
        for (const char *overriding : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            env.remove(QLatin1String(overriding));
        env.insert(QStringLiteral("LANG"), language);
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(PROGRAM), args);
        QVERIFY(second.waitForFinished(15000));
        const QString printed = QString::fromUtf8(second.readAllStandardOutput() + second.readAllStandardError());
        QVERIFY2(second.exitCode() == exit_code && printed.contains(says), qPrintable(printed));
    }

    // Two controllers through the program: listed by their ids, a command
    // without a choice names both, one chosen by a serial's prefix acts on
    // that one's wire alone.
    void two_controllers_through_the_program()
    {
        SimController two;
        two.set(QStringLiteral("controllers"), QStringLiteral("desk serial=DESK-1 port=1-2\nlamp serial=LAMP-7 port=3-1"));
        start_program(two);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(two.wait_for_wire([](const Wire &wire) { return !wire.replies(cmd_read_state).isEmpty(); }, 10000,
                                  QStringLiteral("lamp")));
        const CliResult listed = session.run({"list", "--json"});
        const QJsonArray controllers = QJsonDocument::fromJson(listed.out.toUtf8()).array();
        QVERIFY2(listed.exit_code == 0 && controllers.size() == 2, qPrintable(listed.describe()));
        QCOMPARE(controllers[0]["controller"].toString(), QStringLiteral("sn:DESK-1"));
        QCOMPARE(controllers[1]["serial"].toString(), QStringLiteral("LAMP-7"));

        const CliResult unchosen = session.run({"status"});
        QVERIFY2(unchosen.exit_code == 2 && unchosen.err.contains("sn:DESK-1") && unchosen.err.contains("sn:LAMP-7"),
                 qPrintable(unchosen.describe()));
        const qint64 before = monotonic_ms();
        QVERIFY(client({"manual", "on", "--device", "LAMP"}).contains("manual"));
        QVERIFY(two.wait_for_wire([&](const Wire &wire) { return !wire.since(before).requests(cmd_set_mode).isEmpty(); },
                                  10000, QStringLiteral("lamp")));
        QVERIFY(two.wire().since(before).requests(cmd_set_mode).isEmpty());
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
    }

    // Light drifting over 150..750, a minute every 200 ms, and manual levels
    // set at light 200 (point 3 of the controller's curve) and 700 (point
    // 6), all above the curve. Ended by SIGTERM, the program writes the
    // minute under way; the history and the proposal come out of the file.
    void history_of_a_run()
    {
        QTemporaryDir history_home; // this run's history alone
        qputenv("XDG_STATE_HOME", history_home.path().toLocal8Bit());
        SimController drifting;
        drifting.set(QStringLiteral("light"), QStringLiteral("sine 450 300 3000"));
        start_program(drifting, "200");
        if (QTest::currentTestFailed())
            return;
        QVERIFY(wait_until([] { return program_property("ConfigurationLoaded").toBool(); }, 10000));
        QTest::qWait(2000);
        QString manual = client({"manual", "on"});
        int level = manual.section("(width ", 1).section(')', 0, 0).toInt();
        const struct { unsigned light; const char *percent; } changes[] = {
            {200, "40%"}, {700, "95%"}, {200, "45%"}, {700, "100%"}, {200, "40%"}, {700, "95%"}};
        QList<QJsonObject> expected;
        for (const auto &change : changes) {
            drifting.set(QStringLiteral("light"), QStringLiteral("const %1").arg(change.light));
            QVERIFY(wait_until([&] { return program_property("LightReading").toUInt() == change.light; }, 10000));
            const QString said = client({"level", change.percent});
            const int after = said.section("(width ", 1).section(')', 0, 0).toInt();
            expected.append(QJsonObject{{"light", int(change.light)}, {"level_before", level},
                                        {"level_after", after}, {"source", "dbus"}});
            level = after;
        }
        QTest::qWait(1000);
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);

        const QJsonObject history = json(ClientSession().run({"history", "--days", "2", "--json"}));
        QVERIFY(!history["hours"].toArray().isEmpty());
        for (const QJsonValue &hour : history["hours"].toArray()) {
            QVERIFY2(hour["light_min"].toInt() >= 150 && hour["light_max"].toInt() <= 750
                         && hour["light_mean"].toInt() >= hour["light_min"].toInt()
                         && hour["light_mean"].toInt() <= hour["light_max"].toInt(),
                     QJsonDocument(hour.toObject()).toJson());
        }
        const QJsonArray corrections = history["corrections"].toArray();
        QCOMPARE(corrections.size(), expected.size());
        for (int i = 0; i < corrections.size(); ++i) {
            QJsonObject row = corrections[i].toObject();
            row.remove("time");
            row.remove("controller");
            QCOMPARE(row, expected[i]);
        }

        const QJsonObject proposal = json(ClientSession().run({"propose", "--json"}));
        QList<int> changed;
        for (const QJsonValue &point : proposal["points"].toArray())
            if (point["changed"].toBool())
                changed.append(point["point"].toInt());
        QCOMPARE(changed, (QList<int>{3, 6}));
        const QString file = history_home.filePath("proposal.json");
        QCOMPARE(ClientSession().run({"propose", "-o", file}).exit_code, 0);
        const CliResult dry_run = ClientSession(&drifting).run({"config", "import", file, "--dry-run"});
        QVERIFY2(dry_run.exit_code == 0 && dry_run.out.contains("curve[2].pwm_width"), qPrintable(dry_run.describe()));
    }

private:
    // The program (offscreen) on `controller`, once it serves its name and
    // polls; `minute_ms` compresses the history's clock.
    void start_program(const SimController &controller, const QByteArray &minute_ms = QByteArray())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), session.runtime_dir());
        env.insert(QStringLiteral("MORVANE_SIM_DIR"), controller.path());
        env.insert(QStringLiteral("LD_PRELOAD"), sim_preload());
        if (!minute_ms.isEmpty())
            env.insert(QStringLiteral("MORVANE_PWM_HISTORY_MINUTE_MS"), QString::fromLatin1(minute_ms));
        tie_to_test(program);
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(PROGRAM), QStringList());
        QVERIFY(program.waitForStarted());
        QVERIFY2(wait_until([] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(SERVICE); },
                            15000),
                 "the program did not take its name on the bus");
        QVERIFY(controller.wait_for_wire([](const Wire &wire) { return !wire.replies(cmd_read_state).isEmpty(); }));
    }

    // What a client printed as JSON, which it must have.
    static QJsonObject json(const CliResult &result)
    {
        const QJsonObject object = QJsonDocument::fromJson(result.out.toUtf8()).object();
        if (result.exit_code != 0 || object.isEmpty())
            QTest::qFail(qPrintable(result.describe()), __FILE__, __LINE__);
        return object;
    }

    // Runs the client, which must succeed; returns what it printed.
    QString client(const QStringList &args)
    {
        const CliResult result = session.run(args);
        if (result.exit_code != 0)
            QTest::qFail(qPrintable(args.join(' ') + ": " + result.describe()), __FILE__, __LINE__);
        return result.out;
    }

    QTemporaryDir state;
    SimController sim;
    ClientSession session;
    QProcess program;
};

QTEST_MAIN(CliProgramTest)
#include "tst_cli_program.moc"
