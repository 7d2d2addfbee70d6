// The program with its window closed: the tray icon in a real tray (trayer),
// the on-screen level on a real notification server (dunst), both on the
// test's X session and private bus; closing to the tray; the endings.

#include "desktop_parts.h"
#include "e2e_session.h"
#include "tests/shell/private_bus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QJsonObject>
#include <QTest>

#include <csignal>

class TestE2ETray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void menu_reaches_the_wire_data();
    void menu_reaches_the_wire();
    void hot_key_in_the_background_data();
    void hot_key_in_the_background();
    void close_to_tray_keeps_the_hot_keys();
    void sigterm_writes_back();
    void every_ending_writes_back_once_data();
    void every_ending_writes_back_once();
    void portal_binding_nothing_is_told();

private:
    // Starts the program on a controller in `mode` with the width 300; waits
    // for its tray icon and a loaded controller.
    qulonglong start_in_background(AppRun &app, SimController &sim, int mode);
    // Opens the icon's menu and picks the entry these keys move to.
    bool pick_from_menu(AppRun &app, qulonglong icon, const QStringList &keys);
    // The user's choice to keep the program running with its window closed.
    void keep_running();

    XSession x_;
    PrivateBus bus_;
    TrayHost tray_;
    NotificationServer notifications_;
    QTemporaryDir home_;
    QTemporaryDir runtime_;
};

void TestE2ETray::initTestCase()
{
    QString why;
    if (!x_.start(&why) || !bus_.start(&why))
        QSKIP(qPrintable(why));
    x_.set_session_variable("DBUS_SESSION_BUS_ADDRESS", bus_.address());
    x_.set_session_variable("XDG_CONFIG_HOME", home_.path());
    if (!tray_.start(x_, &why) || !notifications_.start(x_, &why))
        QSKIP(qPrintable(why));
}

void TestE2ETray::init()
{
    QDir(home_.path()).removeRecursively();
    QDir().mkpath(home_.path());
    notifications_.mark();
}

qulonglong TestE2ETray::start_in_background(AppRun &app, SimController &sim, int mode)
{
    sim.set("mode", QString::number(mode));
    sim.set("pwm_width", "300");
    app.set_arguments({"--background"});
    if (!app.start())
        return 0;
    qulonglong icon = 0;
    wait_until([&] { return (icon = tray_.icon("morvane-pwm")) != 0 || !app.running(); }, 15000);
    const bool loaded =
        sim.wait_for_wire([](const Wire &wire) { return wire.replies(cmd_read_state).size() >= 3; });
    return loaded ? icon : 0;
}

bool TestE2ETray::pick_from_menu(AppRun &app, qulonglong icon, const QStringList &keys)
{
    if (x_.visible_windows(app.pid()) != QList<qulonglong>{icon} || !x_.click(icon, 11, 11, 3))
        return false;
    // The menu comes up beside the icon.
    if (!wait_until([&] { return x_.visible_windows(app.pid()).size() == 2; }, 10000))
        return false;
    return x_.keys(keys + QStringList{"Return"});
}

void TestE2ETray::menu_reaches_the_wire_data()
{
    QTest::addColumn<int>("mode");           // as the controller starts
    QTest::addColumn<QStringList>("keys");   // in the icon's menu
    QTest::addColumn<int>("command");        // the request the entry sends
    QTest::addColumn<int>("value");          // its mode byte or width

    const QStringList to_manual{"Down", "Down"};
    QTest::newRow("manual regulation on") << 0 << to_manual << int(cmd_set_mode) << 1;
    QTest::newRow("manual regulation off") << 1 << to_manual << int(cmd_set_mode) << 0;
    QTest::newRow("brighter") << 1 << QStringList{"Down", "Down", "Down"} << int(cmd_set_pwm_width) << 317;
    QTest::newRow("dimmer") << 1 << QStringList(4, "Down") << int(cmd_set_pwm_width) << 283;
    QTest::newRow("level 50 %") << 1 << QStringList(6, "Down") << int(cmd_set_pwm_width) << 282;
    QTest::newRow("level 100 %") << 1 << QStringList(8, "Down") << int(cmd_set_pwm_width) << 564;
}

void TestE2ETray::menu_reaches_the_wire()
{
    QFETCH(int, mode);
    QFETCH(QStringList, keys);
    QFETCH(int, command);
    QFETCH(int, value);

    SimController sim;
    AppRun app(x_, sim, runtime_.path());
    const qulonglong icon = start_in_background(app, sim, mode);
    QVERIFY2(icon, app.output());
    // Started in the background: nothing of the program in view but its icon.
    QCOMPARE(x_.visible_windows(app.pid()), QList<qulonglong>{icon});

    const qint64 picked = monotonic_ms();
    QVERIFY(pick_from_menu(app, icon, keys));
    QVERIFY2(sim.wait_for_wire([&](const Wire &wire) {
        for (const WireReport &request : wire.since(picked).requests(command)) {
            const int sent = command == cmd_set_mode ? request.payload().at(0) : request.pwm_width();
            if (sent == value)
                return true;
        }
        return false;
    }), app.output());
}

void TestE2ETray::hot_key_in_the_background_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("presses");
    QTest::addColumn<QString>("summary"); // of the one notification left
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("percent");     // its value hint

    QTest::newRow("manual: two steps, one notification") << 1 << QStringList{"ctrl+alt+p", "ctrl+alt+p"}
                                                        << "Яркость 59 % (ручная)" << "" << 59;
    QTest::newRow("automatic: the refusal is shown") << 0 << QStringList{"ctrl+alt+m"}
        << "Яркость 53 % (автоматическая)" << "Яркость меняется вручную только в ручной регулировке" << 53;
}

// Whatever came before (the controller appearing, the steps) is one
// notification, replaced in place.
void TestE2ETray::hot_key_in_the_background()
{
    QFETCH(int, mode);
    QFETCH(QStringList, presses);
    QFETCH(QString, summary);
    QFETCH(QString, body);
    QFETCH(int, percent);

    SimController sim;
    AppRun app(x_, sim, runtime_.path());
    QVERIFY2(start_in_background(app, sim, mode), app.output());
    const qint64 pressed = monotonic_ms();
    for (const QString &press : presses)
        QVERIFY(x_.keys({press}));
    if (mode == 1) {
        QVERIFY(sim.wait_for_wire([&](const Wire &wire) {
            const QList<WireReport> sent = wire.since(pressed).requests(cmd_set_pwm_width);
            return !sent.isEmpty() && sent.last().pwm_width() == 334;
        }));
    }
    QVERIFY(wait_until([&] {
        notifications_.close_all();
        const QJsonObject newest = notifications_.history().at(0).toObject();
        return newest.value("summary").toObject().value("data").toString() == summary;
    }, 10000));
    const QJsonArray history = notifications_.history();
    int ours = 0;
    for (const QJsonValue &notification : history)
        ours += notification.toObject().value("appname").toObject().value("data").toString() == "Morvane PWM";
    QCOMPARE(ours, 1);
    const QJsonObject newest = history.at(0).toObject();
    QCOMPARE(newest.value("body").toObject().value("data").toString(), body);
    QCOMPARE(newest.value("progress").toObject().value("data").toInt(), percent);
}

void TestE2ETray::keep_running()
{
    QDir().mkpath(home_.filePath("io.github.morvane.pwm"));
    QFile preferences(home_.filePath("io.github.morvane.pwm/preferences.conf"));
    QVERIFY(preferences.open(QIODevice::WriteOnly));
    preferences.write("[General]\nkeep_running=true\n");
}

void TestE2ETray::close_to_tray_keeps_the_hot_keys()
{
    keep_running();

    SimController sim;
    sim.set("mode", "1");
    sim.set("pwm_width", "300");
    AppRun app(x_, sim, runtime_.path());
    const qulonglong window = app.launch();
    QVERIFY2(window, app.output());
    qulonglong icon = 0;
    QVERIFY(wait_until([&] { return (icon = tray_.icon("morvane-pwm")) != 0; }, 10000));
    QVERIFY(x_.close_request(window));
    QVERIFY(wait_until([&] { return x_.visible_windows(app.pid()) == QList<qulonglong>{icon}; }, 10000));
    QVERIFY(app.running());
    QVERIFY(sim.wait_for_wire([](const Wire &wire) { return wire.replies(cmd_read_state).size() >= 3; }));

    const qint64 pressed = monotonic_ms();
    QVERIFY(x_.keys({"ctrl+alt+p"}));
    QVERIFY2(sim.wait_for_wire([&](const Wire &wire) {
        const QList<WireReport> sent = wire.since(pressed).requests(cmd_set_pwm_width);
        return !sent.isEmpty() && sent.last().pwm_width() == 317;
    }), app.output());

    // Quit, the menu's last entry, ends it with the write-back.
    const qint64 quit = monotonic_ms();
    QVERIFY(pick_from_menu(app, icon, {"Up"}));
    QVERIFY(app.wait_for_exit(10000));
    QCOMPARE(app.exit_code(), 0);
    QVERIFY(!sim.wire().since(quit).requests(cmd_write_config).isEmpty());
}

void TestE2ETray::sigterm_writes_back()
{
    SimController sim;
    AppRun app(x_, sim, runtime_.path());
    QVERIFY2(start_in_background(app, sim, 0), app.output());
    const qint64 signalled = monotonic_ms();
    QCOMPARE(::kill(pid_t(app.pid()), SIGTERM), 0);
    QVERIFY(app.wait_for_exit(10000));
    QCOMPARE(app.exit_code(), 0);
    QCOMPARE(sim.wire().since(signalled).requests(cmd_write_config).size(), 1);
}

void TestE2ETray::every_ending_writes_back_once_data()
{
    QTest::addColumn<bool>("keep_running");
    QTest::addColumn<bool>("nohup");        // started with SIGHUP ignored
    QTest::addColumn<QStringList>("steps"); // the user's, then the ending; every write takes 1.5 s
    QTest::addColumn<int>("writes");        // commands 56 from the first step on
    QTest::addColumn<bool>("applied");      // the write-back sends the Apply's block, not the loaded one

    // "edit" toggles smoothing; "written" waits for the Apply's answer;
    // "asked" closes the window and waits for its question; "hide" closes
    // it to the tray; "on the wire" waits for a command 56 to go out.
    QTest::newRow("discard in the close prompt") << false << false << QStringList{"edit", "asked", "alt+d"} << 1
                                                 << false;
    for (const char *signal : {"SIGTERM", "SIGINT", "SIGHUP"})
        QTest::addRow("%s with unapplied edits: no question", signal)
            << false << false << QStringList{"edit", signal} << 1 << false;
    QTest::newRow("SIGHUP under nohup: still running")
        << false << true << QStringList{"edit", "SIGHUP", "running", "SIGTERM"} << 1 << false;
    QTest::newRow("SIGTERM during a slow Apply: answered first")
        << false << false << QStringList{"edit", "apply", "SIGTERM"} << 2 << true;
    QTest::newRow("an edit during a slow Apply stays unapplied")
        << false << false << QStringList{"edit", "apply", "edit", "written", "asked", "SIGTERM"} << 2 << true;
    QTest::newRow("Ctrl+Q during a pending write, keep running on")
        << true << false << QStringList{"edit", "apply", "ctrl+q"} << 2 << true;
    QTest::newRow("the tray's Quit during a pending write, keep running on")
        << true << false << QStringList{"edit", "apply", "hide", "quit"} << 2 << true;
    QTest::newRow("D-Bus apply during the exit write-back: refused as closing")
        << false << false << QStringList{"SIGTERM", "on the wire", "dbus apply"} << 1 << false;
}

// However the program is ended, it ends: exit 0, the write-back once and
// last, as loaded or confirmed, and none of its lock files left.
void TestE2ETray::every_ending_writes_back_once()
{
    QFETCH(bool, keep_running);
    QFETCH(bool, nohup);
    QFETCH(QStringList, steps);
    QFETCH(int, writes);
    QFETCH(bool, applied);

    if (keep_running)
        this->keep_running();
    SimController sim;
    x_.set_session_variable("LANG", "en_US.UTF-8"); // the prompt's keys
    AppRun app(x_, sim, runtime_.path());
    x_.set_session_variable("LANG", qEnvironmentVariable("LANG"));
    const sighandler_t hang_up = std::signal(SIGHUP, nohup ? SIG_IGN : SIG_DFL); // inherited, as from nohup
    const qulonglong window = app.launch();
    std::signal(SIGHUP, hang_up);
    QVERIFY2(window, app.output());
    qulonglong icon = 0;
    QVERIFY(wait_until([&] { return (icon = tray_.icon("morvane-pwm")) != 0; }, 10000));
    QVERIFY(sim.wait_for_wire([](const Wire &wire) { return wire.replies(cmd_read_state).size() >= 3; }));
    QDBusConnection bus = QDBusConnection::connectToBus(bus_.address(), "ending");
    const auto call = [&](const QString &method, const QVariantList &arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall("io.github.morvane.pwm", "/io/github/morvane/pwm",
                                                              "io.github.morvane.pwm.Controller", method);
        message.setArguments(arguments);
        return bus.call(message, QDBus::Block, 10000);
    };
    const QDBusMessage configuration = call("GetConfiguration", {});
    QCOMPARE(configuration.type(), QDBusMessage::ReplyMessage);
    sim.set("faults", "delay cmd=56 ms=1500");
    // The library reads the file on its next calls.
    const qsizetype polled = sim.wire().replies(cmd_read_state).size();
    QVERIFY(sim.wait_for_wire([&](const Wire &wire) { return wire.replies(cmd_read_state).size() >= polled + 2; }));
    const qint64 started = monotonic_ms();
    const QMap<QString, int> signal_numbers{{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}};
    for (const QString &step : steps) {
        if (step == "edit")
            QVERIFY(x_.click(window, SMOOTHING_CHECK.x, SMOOTHING_CHECK.y));
        else if (step == "apply")
            QVERIFY(x_.click(window, APPLY_BUTTON.x, APPLY_BUTTON.y));
        else if (step == "written")
            QVERIFY(sim.wait_for_wire([](const Wire &wire) { return !wire.replies(cmd_write_config).isEmpty(); }));
        else if (step == "on the wire")
            QVERIFY(sim.wait_for_wire([](const Wire &wire) { return !wire.requests(cmd_write_config).isEmpty(); }));
        else if (step == "asked") {
            QVERIFY(x_.close_request(window));
            qulonglong box = 0;
            QVERIFY2(wait_until([&] {
                for (qulonglong shown : x_.visible_windows(app.pid()))
                    box = shown != window && shown != icon ? shown : box;
                return box != 0;
            }, 5000), app.output());
            QVERIFY(x_.activate(box));
        } else if (step == "hide") {
            QVERIFY(x_.close_request(window));
            QVERIFY(wait_until([&] { return x_.visible_windows(app.pid()) == QList<qulonglong>{icon}; }, 5000));
        } else if (step == "quit")
            QVERIFY(pick_from_menu(app, icon, {"Up"}));
        else if (step == "running") {
            QTest::qWait(500);
            QVERIFY(app.running());
        } else if (step == "dbus apply")
            QCOMPARE(call("ApplyConfiguration", configuration.arguments()).errorName(),
                     "io.github.morvane.pwm.Error.Closing");
        else if (signal_numbers.contains(step))
            QCOMPARE(::kill(pid_t(app.pid()), signal_numbers[step]), 0);
        else
            QVERIFY(x_.keys({step}));
    }
    QVERIFY2(app.wait_for_exit(15000), app.output());
    QCOMPARE(app.exit_code(), 0);
    QCOMPARE(app.left_behind(), QStringList());

    const Wire wire = sim.wire();
    const QList<WireReport> sent = wire.since(started).requests(cmd_write_config);
    QCOMPARE(sent.size(), writes);
    QCOMPARE(wire.requests().last().command(), int(cmd_write_config));
    QVERIFY(same_configuration(sent.last().block(), sent.first().block()));
    QCOMPARE(same_configuration(sent.last().block(), wire.replies(cmd_read_state).first().block()), !applied);
}

void TestE2ETray::portal_binding_nothing_is_told()
{
    const std::unique_ptr<ProbeProcess> portal = bus_.start_portal({"--bind-none"});
    QVERIFY(portal);
    x_.set_session_variable("XDG_SESSION_TYPE", "wayland");
    SimController sim;
    AppRun app(x_, sim, runtime_.path());
    x_.set_session_variable("XDG_SESSION_TYPE", "x11");
    QVERIFY2(start_in_background(app, sim, 1), app.output());
    const QByteArray notice = "morvane-pwm: no system-wide hot keys: the desktop portal bound no keys";
    QVERIFY(wait_until([&] { return app.output().contains(notice); }, 10000));
    QCOMPARE(app.output().count(notice), 1);
}

QTEST_MAIN(TestE2ETray)
#include "tst_e2e_tray.moc"
