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
#include <QRegularExpression>
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
    void close_to_tray_keeps_the_hot_keys_data();
    void close_to_tray_keeps_the_hot_keys();
    void sigterm_writes_back();
    void start_at_login_keeps_running();
    void every_ending_writes_back_once_data();
    void every_ending_writes_back_once();
    void portal_binding_nothing_is_told();
    void background_waits_for_the_tray_data();
    void background_waits_for_the_tray();
    void wayland_data();
    void wayland();

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
    QTest::addColumn<QString>("summary");    // of every notification after it, as a pattern; empty: unchecked

    const QStringList to_manual{"Down", "Down"};
    QTest::newRow("manual regulation on") << 0 << to_manual << int(cmd_set_mode) << 1 << "";
    // Not the manual 53 % the read-out still held as the mode changed.
    QTest::newRow("manual regulation off") << 1 << to_manual << int(cmd_set_mode) << 0
                                           << "^Яркость (?!53 )\\d+ % \\(автоматическая\\)$";
    QTest::newRow("brighter") << 1 << QStringList{"Down", "Down", "Down"} << int(cmd_set_pwm_width) << 317 << "";
    QTest::newRow("dimmer") << 1 << QStringList(4, "Down") << int(cmd_set_pwm_width) << 283 << "";
    QTest::newRow("level 50 %") << 1 << QStringList(6, "Down") << int(cmd_set_pwm_width) << 282 << "";
    QTest::newRow("level 100 %") << 1 << QStringList(8, "Down") << int(cmd_set_pwm_width) << 564 << "";
}

void TestE2ETray::menu_reaches_the_wire()
{
    QFETCH(int, mode);
    QFETCH(QStringList, keys);
    QFETCH(int, command);
    QFETCH(int, value);
    QFETCH(QString, summary);

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
    if (summary.isEmpty())
        return;
    const QRegularExpression shown(summary);
    QJsonArray history;
    QVERIFY(wait_until([&] {
        notifications_.close_all();
        history = notifications_.history();
        return !history.isEmpty();
    }, 10000));
    for (const QJsonValue &notification : std::as_const(history)) {
        const QString text = notification.toObject().value("summary").toObject().value("data").toString();
        QVERIFY2(shown.match(text).hasMatch(), qPrintable(text));
    }
}

void TestE2ETray::hot_key_in_the_background_data()
{
    QTest::addColumn<QString>("lang"); // LANG of the program
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("presses");
    QTest::addColumn<QString>("summary"); // of the one notification left
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("percent");     // its value hint; -1: none, so every server shows the body

    const QStringList two_up{"ctrl+alt+p", "ctrl+alt+p"};
    QTest::newRow("manual: two steps, one notification")
        << "C" << 1 << two_up << "Яркость 59 % (ручная)" << "" << 59;
    QTest::newRow("automatic: the refusal is shown") << "C" << 0 << QStringList{"ctrl+alt+m"}
        << "Яркость 53 % (автоматическая)"
        << "Ручная регулировка выключена; сначала включите ее. В контроллер ничего не отправлено." << -1;
    QTest::newRow("English: two steps") << "en_US.UTF-8" << 1 << two_up << "Brightness 59 % (manual)" << "" << 59;
    QTest::newRow("English: the refusal") << "en_US.UTF-8" << 0 << QStringList{"ctrl+alt+m"}
        << "Brightness 53 % (automatic)"
        << "Manual regulation is off; switch it on first. Nothing was sent to the controller." << -1;
}

// Whatever came before (the controller appearing, the steps) is one
// notification, replaced in place: the start itself shows none.
void TestE2ETray::hot_key_in_the_background()
{
    QFETCH(QString, lang);
    QFETCH(int, mode);
    QFETCH(QStringList, presses);
    QFETCH(QString, summary);
    QFETCH(QString, body);
    QFETCH(int, percent);

    x_.set_session_variable("LC_ALL", lang);
    SimController sim;
    AppRun app(x_, sim, runtime_.path());
    x_.set_session_variable("LC_ALL", QString());
    QVERIFY2(start_in_background(app, sim, mode), app.output());
    // Neither the start nor the controller's coming is a change to show.
    QCOMPARE(notifications_.displayed(), 0);
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

void TestE2ETray::close_to_tray_keeps_the_hot_keys_data()
{
    QTest::addColumn<bool>("background"); // started with --background, "keep running" off

    QTest::newRow("keep running ticked") << false;
    QTest::newRow("a background start, its window opened again") << true;
}

void TestE2ETray::close_to_tray_keeps_the_hot_keys()
{
    QFETCH(bool, background);
    if (!background)
        keep_running();

    SimController sim;
    AppRun app(x_, sim, runtime_.path());
    qulonglong window = 0;
    qulonglong icon = 0;
    if (background) {
        QVERIFY2(icon = start_in_background(app, sim, 1), app.output());
        // A second start shows the window (a click on the icon would leave
        // the pointer there, and its tool tip in the way of the menu).
        AppRun second(x_, sim, runtime_.path());
        QVERIFY(second.start() && second.wait_for_exit(10000));
        QVERIFY(wait_until([&] {
            for (qulonglong shown : x_.visible_windows(app.pid()))
                window = shown != icon ? shown : window;
            return window != 0;
        }, 10000));
    } else {
        sim.set("mode", "1");
        sim.set("pwm_width", "300");
        window = app.launch();
        QVERIFY2(window, app.output());
        QVERIFY(wait_until([&] { return (icon = tray_.icon("morvane-pwm")) != 0; }, 10000));
    }
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

// What login starts runs in the background; a window opened from there and
// closed again should not end it.
void TestE2ETray::start_at_login_keeps_running()
{
    SimController sim;
    AppRun app(x_, sim, runtime_.path());
    const qulonglong icon = start_in_background(app, sim, 0);
    QVERIFY2(icon, app.output());
    QVERIFY(pick_from_menu(app, icon, {"Up", "Up", "Up"}));
    QVERIFY(wait_until([&] {
        QFile preferences(home_.filePath("io.github.morvane.pwm/preferences.conf"));
        return preferences.open(QIODevice::ReadOnly) && preferences.readAll().contains("keep_running=true");
    }, 10000));
    QVERIFY(QFile::exists(home_.filePath("autostart/io.github.morvane.pwm.desktop")));
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
    x_.set_session_variable("LC_ALL", "en_US.UTF-8"); // the prompt's keys
    AppRun app(x_, sim, runtime_.path());
    x_.set_session_variable("LC_ALL", QString());
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

void TestE2ETray::background_waits_for_the_tray_data()
{
    QTest::addColumn<QString>("wait_ms"); // MORVANE_PWM_TRAY_WAIT_MS
    QTest::addColumn<QByteArray>("said"); // once the wait is over; empty: nothing, and no window

    // As at login, the panel comes after the program.
    QTest::newRow("the tray comes within the wait") << "5000" << QByteArray();
    QTest::newRow("no tray within the wait")
        << "0" << QByteArray("no system tray to run in the background from; the window starts minimised instead");
}

// Either way the icon goes into the tray once it comes.
void TestE2ETray::background_waits_for_the_tray()
{
    QFETCH(QString, wait_ms);
    QFETCH(QByteArray, said);

    tray_.stop();
    QString why;
    bool tray_back = false;
    const auto restart = qScopeGuard([&] {
        if (!tray_back)
            tray_.start(x_, &why);
    });
    SimController sim;
    AppRun app(x_, sim, runtime_.path());
    app.set_variable("MORVANE_PWM_TRAY_WAIT_MS", wait_ms);
    app.set_arguments({"--background"});
    const qint64 started = monotonic_ms();
    QVERIFY(app.start());
    QVERIFY(sim.wait_for_wire([](const Wire &wire) { return wire.replies(cmd_read_state).size() >= 3; }));
    QVERIFY2(wait_until([&] { return app.output().contains(said); }, 10000), app.output());

    tray_back = true;
    QVERIFY2(tray_.start(x_, &why), qPrintable(why));
    qulonglong icon = 0;
    QVERIFY(wait_until([&] { return (icon = tray_.icon("morvane-pwm")) != 0; }, 10000));
    if (said.isEmpty()) {
        // Past the wait, nothing falls back.
        QTest::qWait(int(qMax<qint64>(0, started + wait_ms.toInt() - monotonic_ms())) + 500);
        QCOMPARE(x_.visible_windows(app.pid()), QList<qulonglong>{icon});
        QVERIFY2(!app.output().contains("no system tray"), app.output());
    }
}

void TestE2ETray::wayland_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("said"); // by the first start; empty: nothing to check

    QTest::newRow("a background start with no tray")
        << QStringList{"--background"} << QByteArray("no system tray to run in the background from; the window is shown instead");
    QTest::newRow("a start with its window") << QStringList{} << QByteArray();
}

// On a real compositor with neither a tray nor window activation (weston
// 10), as Qt chooses it with both displays set: no icon and no Qt warning
// about one, the truth about the window, a second start that says it cannot
// bring the window forward, and an ending with the write-back.
void TestE2ETray::wayland()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, said);

    const QString socket = QStringLiteral("e2e-weston-%1").arg(QCoreApplication::applicationPid());
    QProcess weston;
    QProcessEnvironment env = x_.environment();
    env.insert("XDG_RUNTIME_DIR", runtime_.path());
    weston.setProcessEnvironment(env);
    weston.setStandardOutputFile(QProcess::nullDevice());
    weston.setStandardErrorFile(QProcess::nullDevice());
    weston.start("weston", {"--backend=headless-backend.so", "--socket=" + socket});
    if (!weston.waitForStarted())
        QSKIP("weston (Debian package weston) is not installed");
    const auto stop = qScopeGuard([&] { weston.terminate(); weston.waitForFinished(); });
    QVERIFY(wait_until([&] { return QFile::exists(runtime_.filePath(socket)); }, 10000));

    SimController sim;
    const auto on_weston = [&](AppRun &run) {
        run.set_variable("WAYLAND_DISPLAY", socket);
        run.set_variable("QT_QPA_PLATFORM", QString());
        run.set_variable("MORVANE_PWM_TRAY_WAIT_MS", "0");
        // Sanitized: Mesa's driver under EGL has no frame pointers, so only a
        // whole walk of the stack lets tests/lsan.supp know its allocation.
        if (qEnvironmentVariableIsSet("ASAN_OPTIONS"))
            run.set_variable("ASAN_OPTIONS", qEnvironmentVariable("ASAN_OPTIONS") + ":fast_unwind_on_malloc=0");
    };
    AppRun first(x_, sim, runtime_.path());
    on_weston(first);
    first.set_arguments(arguments);
    QVERIFY(first.start());
    QVERIFY2(sim.wait_for_wire([](const Wire &wire) { return wire.replies(cmd_read_state).size() >= 3; }),
             first.output());
    if (!said.isEmpty())
        QVERIFY2(wait_until([&] { return first.output().contains(said); }, 10000), first.output());

    AppRun second(x_, sim, runtime_.path());
    on_weston(second);
    QVERIFY(second.start());
    QVERIFY(second.wait_for_exit(10000));
    QVERIFY2(second.exit_code() == 0 && second.output().contains("this desktop gave no activation token"),
             second.output());

    const qint64 signalled = monotonic_ms();
    QCOMPARE(::kill(pid_t(first.pid()), SIGTERM), 0);
    QVERIFY(first.wait_for_exit(10000));
    QVERIFY2(first.exit_code() == 0, first.output());
    QCOMPARE(sim.wire().since(signalled).requests(cmd_write_config).size(), 1);
    QVERIFY2(!first.output().contains("systemTrayWindowChanged"), first.output());
}

QTEST_MAIN(TestE2ETray)
#include "tst_e2e_tray.moc"
