// morvane-pwmctl through the running program: the real program (offscreen)
// on the simulated controller, serving its interface on the test's own
// session bus, and the real client without any way to the controller but the
// bus. What the client asks for reaches the wire through the program.

#include "client_session.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
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
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), session.runtime_dir());
        env.insert(QStringLiteral("MORVANE_SIM_DIR"), sim.path());
        env.insert(QStringLiteral("LD_PRELOAD"), sim_preload());
        tie_to_test(program);
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(PROGRAM), QStringList());
        QVERIFY(program.waitForStarted());
        QVERIFY2(wait_until([] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(SERVICE); },
                            15000),
                 "the program did not take its name on the bus");
        QVERIFY(sim.wait_for_wire([](const Wire &wire) { return !wire.replies(cmd_read_state).isEmpty(); }));
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
        QVERIFY(client({"manual", "on"}).contains("manual"));
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
        QVERIFY2(watch.wait_for_lines(2, 10000), qPrintable(watch.printed));
        QVERIFY(watch.printed.contains("light 640"));
        ::kill(pid_t(watch.process.processId()), SIGINT);
        QVERIFY(watch.process.waitForFinished(10000));
        QCOMPARE(watch.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(watch.process.exitCode(), 0);
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

private:
    // Runs the client, which must succeed; returns what it printed.
    QString client(const QStringList &args)
    {
        const CliResult result = session.run(args);
        if (result.exit_code != 0)
            QTest::qFail(qPrintable(args.join(' ') + ": " + result.describe()), __FILE__, __LINE__);
        return result.out;
    }

    SimController sim;
    ClientSession session;
    QProcess program;
};

QTEST_MAIN(CliProgramTest)
#include "tst_cli_program.moc"
