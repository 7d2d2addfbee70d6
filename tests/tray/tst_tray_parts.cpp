// The tray's parts without a desktop: what the icon and the on-screen level
// say, what the menu asks for, and what survives a restart.

#include "app/hotkeys/global_hot_keys.h"
#include "app/hotkeys/hot_key_ids.h"
#include "app/tray/autostart_entry.h"
#include "app/tray/hunting_notifier.h"
#include "app/tray/level_words.h"
#include "app/tray/preferences.h"
#include "app/tray/tray_icon.h"
#include "app/tray/tray_shell.h"
#include "app/tray/tray_wiring.h"
#include "controller_state.h"
#include "model/controller.h"
#include "model/controller_registry.h"
#include "model/outcome_text.h"
#include "translations/translation.h"

#include <QAction>
#include <QDBusConnection>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <functional>
#include <memory>

namespace {

ControllerStatus status(bool ready, RegulationMode mode, int manual_level, int brightness)
{
    ControllerStatus status;
    status.connected = status.loaded = status.live = ready;
    status.light = 512;
    status.wanted_mode = status.mode = mode;
    status.manual_level = manual_level;
    status.brightness_width = brightness;
    return status;
}

// A controller that stopped answering at 10:15:30 local time, its last readings as `status` gives them.
ControllerStatus silent(RegulationMode mode, int manual_level, int brightness)
{
    ControllerStatus silent = status(true, mode, manual_level, brightness);
    silent.answering = silent.live = false;
    silent.silent_since = QDateTime(QDate(2026, 1, 5), QTime(10, 15, 30));
    return silent;
}

// "Выход" in the menu, "2/Ярче" in the second controller's submenu (after
// "Показать окно" and a separator).
QAction *action(const QMenu *menu, const QString &path)
{
    if (path.contains('/')) {
        const QAction *holder = menu->actions().value(1 + path.section('/', 0, 0).toInt());
        if (!holder || !holder->menu())
            return nullptr;
        menu = holder->menu();
    }
    for (QAction *action : menu->actions()) {
        if (action->text() == path.section('/', -1))
            return action;
    }
    return nullptr;
}

// The notification server, as far as the on-screen level uses it.
class NotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QString last; // "summary | body" of the last notification
    QStringList last_actions;
    int count = 0;
    QStringList capabilities{"body"};

public slots:
    uint Notify(const QString &, uint replaces, const QString &, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &, int)
    {
        last = summary + " | " + body;
        last_actions = actions;
        ++count;
        return replaces ? replaces : 1;
    }
    QStringList GetCapabilities() { return capabilities; }

signals:
    void ActionInvoked(uint id, const QString &action);
};

// The controllers on the bus, in the program as main.cpp wires the tray,
// its window hidden; each controller found, loaded and polled once.
struct Program
{
    explicit Program(const QList<ControllerState> &controllers)
    {
        for (const ControllerState &controller : controllers)
            sim.add_controller(controller.state);
        wire_tray(registry, hot_keys, shell);
        registry.check_devices();
        tick();
        shell.notifier().set_enabled(true);
    }
    void tick()
    {
        for (ControllerThread *controller : registry.places())
            controller->controller().form_update();
    }
    // The last manual level each device was sent (command 57), -1 for none.
    QList<int> sent_levels() const
    {
        QList<int> sent(sim.interface_count(), -1);
        for (const SimWireRecord &record : sim.wire())
            if (record.direction == SimDirection::out && record.command() == cmd_set_pwm_width)
                sent[record.device] = record.payload().at(0) * 4 + record.payload().at(1);
        return sent;
    }

    SimBackend sim;
    ControllerRegistry registry{sim, ControllerRegistry::Threading::caller};
    QWidget window;
    GlobalHotKeys hot_keys{&window};
    TrayShell shell{window, hot_keys, QDBusConnection::sessionBus()};
};

} // namespace

class TestTrayParts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void words_data();
    void words();
    void menu_wishes_data();
    void menu_wishes();
    void preferences_data();
    void preferences();
    void autostart_entry_data();
    void autostart_entry();
    void refusal_is_said_where_it_is_seen_data();
    void refusal_is_said_where_it_is_seen();
    void several_controllers_in_the_tray();
    void steps_reach_each_controller_data();
    void steps_reach_each_controller();
    void polls_slow_while_nobody_looks_data();
    void polls_slow_while_nobody_looks();
    void hunting_notice_once_a_day_data();
    void hunting_notice_once_a_day();

private:
    QTemporaryDir home_;
};

void TestTrayParts::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", home_.path().toUtf8());
}

void TestTrayParts::words_data()
{
    QTest::addColumn<QString>("language"); // of the catalogue installed; empty: the Russian source
    QTest::addColumn<ControllerStatus>("shown");
    QTest::addColumn<bool>("hot_keys_missing");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("tool_tip");

    const auto manual = RegulationMode::manual;
    const auto automatic = RegulationMode::automatic;
    QTest::newRow("manual: the level asked for, not the read-out")
        << "" << status(true, manual, 316, 282) << false << "Яркость 56 % (ручная)"
        << "Morvane PWM\nОсвещенность 512\nЯркость 56 % (ручная)";
    QTest::newRow("automatic: the curve's brightness")
        << "" << status(true, automatic, 0, 564) << false << "Яркость 100 % (автоматическая)"
        << "Morvane PWM\nОсвещенность 512\nЯркость 100 % (автоматическая)";
    QTest::newRow("no controller, no hot keys") << "" << status(false, manual, 316, 282) << true
        << "Контроллер не подключен" << "Morvane PWM\nКонтроллер не подключен\nГорячие клавиши не работают";
    QTest::newRow("silent: since when, and the last readings")
        << "" << silent(manual, 316, 282) << false << "Контроллер не отвечает"
        << "Morvane PWM\nКонтроллер не отвечает с 10:15:30\nПоследние показания: освещенность 512, "
           "Яркость 56 % (ручная)";
    QTest::newRow("English: manual") << "en" << status(true, manual, 316, 282) << false
                                     << "Brightness 56 % (manual)" << "Morvane PWM\nLight 512\nBrightness 56 % (manual)";
    QTest::newRow("English: silent, no hot keys")
        << "en" << silent(automatic, 0, 564) << true << "The controller does not answer"
        << "Morvane PWM\nThe controller has not answered since 10:15:30\nLast readings: light 512, "
           "Brightness 100 % (automatic)\nThe hot keys do not work";
}

void TestTrayParts::words()
{
    QFETCH(QString, language);
    QFETCH(ControllerStatus, shown);
    QFETCH(bool, hot_keys_missing);
    QFETCH(QString, level);
    QFETCH(QString, tool_tip);
    if (!language.isEmpty())
        QCOMPARE(install_translation(*qApp, QLocale(language)), language);
    const auto uninstall = qScopeGuard([] { qDeleteAll(qApp->findChildren<QTranslator *>()); });
    QCOMPARE(level_words(shown), level);
    QCOMPARE(tray_tool_tip({shown}, hot_keys_missing), tool_tip);
    TrayIcon tray;
    tray.show_statuses({shown});
    tray.set_hot_keys_missing(hot_keys_missing);
    QCOMPARE(tray.tool_tip(), tool_tip);
}

void TestTrayParts::menu_wishes_data()
{
    QTest::addColumn<RegulationMode>("mode");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QByteArray>("wish");       // the signal, as SIGNAL() names it
    QTest::addColumn<QVariantList>("arguments"); // empty: the entry is disabled

    const auto manual = RegulationMode::manual;
    const auto automatic = RegulationMode::automatic;
    const QString id = "sn:A1"; // the controller's, which its entries carry
    QTest::newRow("manual on") << automatic << "Ручная регулировка"
                               << QByteArray(SIGNAL(manual_toggled(QString, bool))) << QVariantList{id, true};
    QTest::newRow("brighter") << manual << "Ярче" << QByteArray(SIGNAL(step_requested(QString, int)))
                              << QVariantList{id, 1};
    QTest::newRow("dimmer") << manual << "Темнее" << QByteArray(SIGNAL(step_requested(QString, int)))
                            << QVariantList{id, -1};
    QTest::newRow("25 % is the width the slider gives 25 %")
        << manual << "Яркость 25 %" << QByteArray(SIGNAL(level_chosen(QString, int))) << QVariantList{id, 141};
    QTest::newRow("100 %") << manual << "Яркость 100 %" << QByteArray(SIGNAL(level_chosen(QString, int)))
                           << QVariantList{id, 564};
    QTest::newRow("levels wait for manual regulation")
        << automatic << "Яркость 75 %" << QByteArray(SIGNAL(level_chosen(QString, int))) << QVariantList{};
    QTest::newRow("keep running") << automatic << "Работать в фоне"
                                  << QByteArray(SIGNAL(keep_running_toggled(bool))) << QVariantList{true};
    QTest::newRow("quit") << automatic << "Выход" << QByteArray(SIGNAL(quit_requested())) << QVariantList{};
}

void TestTrayParts::menu_wishes()
{
    QFETCH(RegulationMode, mode);
    QFETCH(QString, entry);
    QFETCH(QByteArray, wish);
    QFETCH(QVariantList, arguments);
    TrayIcon tray;
    ControllerStatus shown = status(true, mode, 300, 300);
    shown.identity = "sn:A1";
    tray.show_statuses({shown});
    QSignalSpy spy(&tray, wish.constData());
    QAction *chosen = action(tray.menu(), entry);
    QVERIFY(chosen);
    const bool wished = wish != SIGNAL(quit_requested()) && arguments.isEmpty();
    QCOMPARE(chosen->isEnabled(), !wished);
    chosen->trigger();
    QCOMPARE(spy.size(), wished ? 0 : 1);
    if (!arguments.isEmpty())
        QCOMPARE(spy.first(), arguments);
}

void TestTrayParts::preferences_data()
{
    QTest::addColumn<QByteArray>("file"); // preferences.conf as found; empty: none
    QTest::addColumn<bool>("keep_running");
    QTest::addColumn<bool>("on_screen_level");

    QTest::newRow("none: defaults") << QByteArray() << false << true;
    QTest::newRow("saved") << QByteArray("[General]\nkeep_running=true\non_screen_level=false\n") << true << false;
    QTest::newRow("values not ours") << QByteArray("[General]\nkeep_running=maybe\non_screen_level=0\n")
                                     << false << true;
    QTest::newRow("damaged") << QByteArray("\x00\xff[General\nkeep_running=true\n\x01=\n[", 22) << false << true;
}

// Whatever the file holds, the program starts with usable preferences, and
// saving over it keeps the user's new choice.
void TestTrayParts::preferences()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, keep_running);
    QFETCH(bool, on_screen_level);
    const QString path = home_.filePath("io.github.morvane.pwm/preferences.conf");
    QFile::remove(path);
    if (!file.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file);
    }
    Preferences loaded = Preferences::load();
    QCOMPARE(loaded.keep_running, keep_running);
    QCOMPARE(loaded.on_screen_level, on_screen_level);

    loaded.keep_running = !keep_running;
    QString why;
    QVERIFY2(loaded.save(&why), qPrintable(why));
    QCOMPARE(Preferences::load().keep_running, !keep_running);
}

void TestTrayParts::autostart_entry_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec"); // the Exec line

    QTest::newRow("plain") << "/usr/bin/morvane-pwm" << "Exec=/usr/bin/morvane-pwm --background";
    QTest::newRow("blank, quote, dollar, percent")
        << "/home/me/my \"build\" $1 50%/morvane-pwm"
        << "Exec=\"/home/me/my \\\\\"build\\\\\" \\\\$1 50%%/morvane-pwm\" --background";
}

// The entry is one the desktop accepts, and starts this program in the background.
void TestTrayParts::autostart_entry()
{
    QFETCH(QString, program);
    QFETCH(QString, exec);
    QString why;
    QVERIFY2(autostart_entry::write(program, &why), qPrintable(why));
    QCOMPARE(autostart_entry::path(), home_.filePath("autostart/io.github.morvane.pwm.desktop"));
    QVERIFY(autostart_entry::exists());
    QFile entry(autostart_entry::path());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split('\n');
    QVERIFY(lines.contains(exec));
    QVERIFY(lines.contains("Comment[ru]=Контроллер яркости в области уведомлений, с горячими клавишами"));

    QProcess validate;
    validate.start("desktop-file-validate", {autostart_entry::path()});
    if (!validate.waitForStarted())
        QSKIP("desktop-file-validate (Debian package desktop-file-utils) is not installed");
    QVERIFY(validate.waitForFinished());
    QVERIFY2(validate.exitCode() == 0, validate.readAllStandardOutput().constData());

    QVERIFY(autostart_entry::remove(&why));
    QVERIFY(!autostart_entry::exists());
    QVERIFY(autostart_entry::remove(&why));
}

// In front of the user the window's status line says a refused key or
// tray action; elsewhere only the on-screen level does.
void TestTrayParts::refusal_is_said_where_it_is_seen_data()
{
    QTest::addColumn<QString>("window"); // shown, minimised or hidden
    QTest::addColumn<int>("refusal");
    QTest::addColumn<bool>("in_window");

    QTest::newRow("active window") << "shown" << int(Refusal::not_manual) << true;
    QTest::newRow("minimised window") << "minimised" << int(Refusal::not_manual) << false;
    QTest::newRow("hidden window") << "hidden" << int(Refusal::not_connected) << false;
    QTest::newRow("nothing refused") << "shown" << int(Refusal::none) << false;
}

void TestTrayParts::refusal_is_said_where_it_is_seen()
{
    QFETCH(QString, window);
    QFETCH(int, refusal);
    QFETCH(bool, in_window);
    QWidget shown_window;
    GlobalHotKeys hot_keys(&shown_window);
    TrayShell shell(shown_window, hot_keys, QDBusConnection::sessionBus());
    if (window == QLatin1String("shown")) {
        shown_window.show();
        shown_window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&shown_window));
    } else if (window == QLatin1String("minimised")) {
        shown_window.showMinimized();
        QVERIFY(QTest::qWaitForWindowExposed(&shown_window) || shown_window.isMinimized());
    }
    QSignalSpy said(&shell, &TrayShell::refused_in_window);
    shell.show_refusal(Refusal(refusal));
    QCOMPARE(said.size(), in_window ? 1 : 0);
    if (in_window)
        QCOMPARE(said.first().first().value<Refusal>(), Refusal(refusal));
}

// Several controllers get a submenu each, a line each in the tool tip, and
// the icon shows the state that most needs seeing (one keeps today's menu:
// menu_wishes).
void TestTrayParts::several_controllers_in_the_tray()
{
    Program program({ControllerState().mode(0).pwm_width(564), ControllerState().mode(1).pwm_width(300)});
    const TrayIcon &tray = program.shell.tray();
    const QList<QAction *> entries = tray.menu()->actions();
    QCOMPARE(entries.at(2)->text(), "&1 path:/dev/hidraw0: Яркость 100 % (автоматическая)");
    QCOMPARE(entries.at(3)->text(), "&2 path:/dev/hidraw1: Яркость 53 % (ручная)");
    QVERIFY(entries.at(4)->isSeparator());
    QCOMPARE(tray.tool_tip(), "Morvane PWM\npath:/dev/hidraw0: Освещенность 512; Яркость 100 % (автоматическая)\n"
                              "path:/dev/hidraw1: Освещенность 512; Яркость 53 % (ручная)");
    QCOMPARE(tray.state(), TrayState::manual);
}

// The keys ask every controller; each takes the step as the model decides,
// and the on-screen level lists those that moved, or says the refusal when
// none did.
void TestTrayParts::steps_reach_each_controller_data()
{
    QTest::addColumn<QList<ControllerState>>("controllers");
    QTest::addColumn<QString>("press"); // a hot key, the wheel or a menu entry
    QTest::addColumn<QList<int>>("sent"); // the level each device was sent, -1 none
    QTest::addColumn<QString>("notice"); // "summary | body"

    const auto manual = [](unsigned width) { return ControllerState().mode(1).pwm_width(width); };
    const ControllerState automatic = ControllerState().mode(0).pwm_width(564);
    QTest::newRow("one manual: stepped") << QList<ControllerState>{manual(300)} << "up" << QList<int>{317}
                                         << "Яркость 56 % (ручная) | ";
    QTest::newRow("one automatic: refused")
        << QList<ControllerState>{automatic} << "down" << QList<int>{-1}
        << "Яркость 100 % (автоматическая) | " + outcome_text(Outcome::refused(Refusal::not_manual));
    QTest::newRow("two, one manual: it alone, no refusal")
        << QList<ControllerState>{automatic, manual(300)} << "up" << QList<int>{-1, 317}
        << "Яркость контроллеров | path:/dev/hidraw1: Яркость 56 % (ручная)";
    QTest::newRow("two manual: both, each clamped")
        << QList<ControllerState>{manual(560), manual(10)} << "down" << QList<int>{543, 0}
        << "Яркость контроллеров | path:/dev/hidraw0: Яркость 96 % (ручная)\npath:/dev/hidraw1: Яркость 0 % (ручная)";
    QTest::newRow("two manual, up: the top one clamped")
        << QList<ControllerState>{manual(560), manual(10)} << "wheel up" << QList<int>{564, 27}
        << "Яркость контроллеров | path:/dev/hidraw0: Яркость 100 % (ручная)\npath:/dev/hidraw1: Яркость 4 % (ручная)";
    QTest::newRow("two automatic: the refusal, and where each stands")
        << QList<ControllerState>{automatic, automatic} << "up" << QList<int>{-1, -1}
        << "Яркость контроллеров | " + outcome_text(Outcome::refused(Refusal::not_manual))
               + "\npath:/dev/hidraw0: Яркость 100 % (автоматическая)\npath:/dev/hidraw1: Яркость 100 % (автоматическая)";
    QTest::newRow("two: a submenu's entry, its controller alone")
        << QList<ControllerState>{manual(300), manual(300)} << "2/Ярче" << QList<int>{300, 317}
        << "Яркость контроллеров | path:/dev/hidraw1: Яркость 56 % (ручная)";
}

void TestTrayParts::steps_reach_each_controller()
{
    QFETCH(QList<ControllerState>, controllers);
    QFETCH(QString, press);
    QFETCH(QList<int>, sent);
    QFETCH(QString, notice);
    NotificationServer server;
    QDBusConnection server_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "notifications");
    const auto disconnect = qScopeGuard([] { QDBusConnection::disconnectFromBus("notifications"); });
    QVERIFY2(server_bus.registerService("org.freedesktop.Notifications"), "no session bus");
    QVERIFY(server_bus.registerObject("/org/freedesktop/Notifications", &server, QDBusConnection::ExportAllSlots));

    Program program(controllers);
    program.sim.clear_logs();
    if (press == "up" || press == "down") {
        emit program.hot_keys.activated(press == "up" ? HOTKEY_PWM_UP : HOTKEY_PWM_DOWN);
    } else if (press == "wheel up") {
        emit program.shell.tray().step_all_requested(+1);
    } else {
        QAction *chosen = action(program.shell.tray().menu(), press);
        QVERIFY(chosen && chosen->isEnabled());
        chosen->trigger();
    }
    program.tick();
    QCOMPARE(program.sent_levels(), sent);
    QTRY_COMPARE(server.last, notice);
}

// The window hidden to the tray and nobody watching: every controller's
// poll slows, a controller plugged in later's too; the window shown
// (minimised too) or a key brings back the fast poll, the next tick due
// at once, not at the end of a slow one.
void TestTrayParts::polls_slow_while_nobody_looks_data()
{
    QTest::addColumn<QStringList>("steps"); // show, minimise, hide, key, plug
    QTest::addColumn<QList<int>>("poll_ms"); // every place's, after the start and after each step

    const int slow = Controller::QUIET_POLL_MS;
    const int fast = Controller::POLL_MS;
    QTest::newRow("started hidden, then shown and hidden again")
        << QStringList{"show", "hide"} << QList<int>{slow, fast, slow};
    QTest::newRow("minimised counts as shown") << QStringList{"minimise"} << QList<int>{slow, fast};
    QTest::newRow("a key while hidden") << QStringList{"key"} << QList<int>{slow, fast};
    QTest::newRow("a controller plugged in while hidden") << QStringList{"plug"} << QList<int>{slow, slow};
}

void TestTrayParts::polls_slow_while_nobody_looks()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, poll_ms);
    Program program({ControllerState().mode(1).pwm_width(300)});
    program.registry.start();
    const QMap<QString, std::function<void()>> take{
        {"start", [] {}},
        {"show", [&] { program.window.show(); }},
        {"minimise", [&] { program.window.showMinimized(); }},
        {"hide", [&] { program.window.hide(); }},
        {"key", [&] { emit program.hot_keys.activated(HOTKEY_PWM_UP); }},
        {"plug", [&] { program.sim.add_controller(ControllerState().state); program.registry.check_devices(); }},
    };
    for (qsizetype step = 0; step <= steps.size(); ++step) {
        const QString done = step ? steps.at(step - 1) : QStringLiteral("start");
        take[done]();
        for (ControllerThread *place : program.registry.places()) {
            const Controller &controller = place->controller();
            QVERIFY2(controller.poll_ms() == poll_ms.at(step), qPrintable(done));
            // Timers may fire a little late; fast, the next tick was due at once.
            if (controller.poll_ms() == Controller::POLL_MS)
                QVERIFY2(controller.findChild<QTimer *>("poll_timer")->remainingTime() <= Controller::POLL_MS,
                         qPrintable(done));
        }
    }
    QCOMPARE(int(program.registry.places().size()), steps.contains("plug") ? 2 : 1);
}

void TestTrayParts::hunting_notice_once_a_day_data()
{
    QTest::addColumn<QStringList>("capabilities"); // the notification server's
    // h: the history finds sn:LAMP hunting; +N: N hours pass; r: the program
    // restarts; m: the owner chooses "measure" on the last notice.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("notices");
    QTest::addColumn<QStringList>("actions"); // offered on the last notice
    QTest::addColumn<QStringList>("measured"); // the controllers a measurement was asked for

    const QStringList with_actions{"body", "actions"};
    const QStringList measure{"measure", "Измерить"};
    QTest::newRow("first: shown with the action") << with_actions << "h" << 1 << measure << QStringList();
    QTest::newRow("again the same day: not shown") << with_actions << "h +1 h +22 h" << 1 << measure
                                                   << QStringList();
    QTest::newRow("a day later: again") << with_actions << "h +25 h" << 2 << measure << QStringList();
    QTest::newRow("a restart the same day: still remembered") << with_actions << "h r +2 h" << 1 << measure
                                                              << QStringList();
    QTest::newRow("measure: asked for that controller") << with_actions << "h m" << 1 << measure
                                                        << QStringList{"sn:LAMP"};
    QTest::newRow("no actions listed: none offered, none taken") << QStringList{"body"} << "h m" << 1
                                                                 << QStringList() << QStringList();
}

// The notice that the lamp's light seems to reach the sensor stays rare:
// at most one a day, restarts or not, and only offers what the server shows.
void TestTrayParts::hunting_notice_once_a_day()
{
    QFETCH(QStringList, capabilities);
    QFETCH(QString, steps);
    QFETCH(int, notices);
    QFETCH(QStringList, actions);
    QFETCH(QStringList, measured);
    QFile::remove(home_.filePath("io.github.morvane.pwm/preferences.conf"));
    NotificationServer server;
    server.capabilities = capabilities;
    QDBusConnection server_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "notifications");
    const auto disconnect = qScopeGuard([] { QDBusConnection::disconnectFromBus("notifications"); });
    QVERIFY2(server_bus.registerService("org.freedesktop.Notifications"), "no session bus");
    QVERIFY(server_bus.registerObject("/org/freedesktop/Notifications", &server,
                                      QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));

    qint64 now_ms = 1'800'000'000'000;
    QStringList asked;
    std::unique_ptr<HuntingNotifier> notifier;
    const auto start = [&] {
        notifier = std::make_unique<HuntingNotifier>(QDBusConnection::sessionBus(), [&now_ms] { return now_ms; });
        QObject::connect(notifier.get(), &HuntingNotifier::measure_requested,
                         [&asked](const QString &identity) { asked << identity; });
    };
    start();
    for (const QString &step : steps.split(' ')) {
        if (step == "h") {
            QSignalSpy answered(notifier.get(), &HuntingNotifier::shown);
            notifier->hunting_seen(QStringLiteral("sn:LAMP"));
            answered.wait(300); // none when it is not due
        } else if (step == "r") {
            start();
        } else if (step == "m") {
            emit server.ActionInvoked(1, QStringLiteral("measure"));
            QTest::qWait(100);
        } else {
            now_ms += step.toLongLong() * 3600 * 1000;
        }
    }
    QCOMPARE(server.count, notices);
    QCOMPARE(server.last_actions, actions);
    QTRY_COMPARE(asked, measured);
}

QTEST_MAIN(TestTrayParts)
#include "tst_tray_parts.moc"
