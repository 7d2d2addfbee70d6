// Global hot keys. This process runs offscreen, where there are none; the X11
// tests start a private Xvfb per test, run hot_key_probe on it and press keys
// with xdotool (XTEST, as a real keyboard would).

#include "app/hotkeys/global_hot_keys.h"
#include "app/hotkeys/hot_key_ids.h"
#include "probe_process.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

namespace {

const QStringList PROBE_KEYS{"101=P", "102=M", "198=W", "199=Z"};
// Pressed before a scenario until it arrives: the grabs are in force on the
// server, so no timed press of the scenario can come too early.
const QString WARM_UP_PRESS = "ctrl+alt+w";
const QString WARM_UP_LINE = "activated 198";
// Pressed after a scenario: its arrival shows every earlier press was seen.
const QString SENTINEL_PRESS = "ctrl+alt+z";
const QString SENTINEL_LINE = "activated 199";

} // namespace

class TestGlobalHotKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void unavailable_without_x11();
    void delivers_presses_data();
    void delivers_presses();
    void validates_registrations();
    void second_grabber_names_held_keys();
    void released_keys_can_be_taken();
    void follows_keyboard_layout_change();
    void program_keys_step_the_level_data();
    void program_keys_step_the_level();

private:
    bool start_display(QString *why);
    ProbeProcess &start_probe(const QStringList &keys);
    bool run(const QString &program, const QStringList &arguments);
    bool xdotool(const QStringList &arguments) { return run("xdotool", arguments); }
    // Presses the combination until the line shows up (a mapping change is
    // handled by the probe only after the change has reached it).
    bool press_until(const QString &keys, ProbeProcess &probe, const QString &line);

    QString missing_tools;
    std::unique_ptr<QTemporaryDir> runtime_dir;
    std::unique_ptr<QProcess> xvfb;
    QString display;
    std::vector<std::unique_ptr<ProbeProcess>> probes;
};

// Each X11 test needs its own X server; skip when the tools are not there.
#define REQUIRE_DISPLAY()                                                                   \
    do {                                                                                    \
        if (!missing_tools.isEmpty())                                                       \
            QSKIP(qPrintable(missing_tools + " not installed: X11 hot keys not tested"));   \
        QString why;                                                                        \
        QVERIFY2(start_display(&why), qPrintable(why));                                     \
    } while (false)

void TestGlobalHotKeys::initTestCase()
{
    QStringList missing;
    for (const char *tool : {"Xvfb", "xdotool"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            missing << tool;
    }
    missing_tools = missing.join(" and ");
    // A Wayland session would take the desktop portal's way instead.
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("XDG_SESSION_TYPE");
}

void TestGlobalHotKeys::cleanup()
{
    probes.clear();
    if (xvfb) {
        xvfb->kill();
        xvfb->waitForFinished(ProbeProcess::WAIT_MS);
        xvfb.reset();
    }
    runtime_dir.reset();
}

bool TestGlobalHotKeys::start_display(QString *why)
{
    runtime_dir = std::make_unique<QTemporaryDir>();
    QFile::setPermissions(runtime_dir->path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    xvfb = std::make_unique<QProcess>();
    // -displayfd: Xvfb picks a free display and writes its number once it
    // accepts connections.
    xvfb->start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
    QDeadlineTimer deadline(ProbeProcess::WAIT_MS);
    while (!xvfb->canReadLine() && !deadline.hasExpired()
           && xvfb->state() != QProcess::NotRunning)
        xvfb->waitForReadyRead(int(deadline.remainingTime()));
    bool ok = false;
    const int number = xvfb->readLine().trimmed().toInt(&ok);
    if (!ok) {
        *why = "Xvfb did not start: " + QString::fromLocal8Bit(xvfb->readAllStandardError());
        return false;
    }
    display = ":" + QString::number(number);
    return true;
}

ProbeProcess &TestGlobalHotKeys::start_probe(const QStringList &keys)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_RUNTIME_DIR", runtime_dir->path());
    probes.push_back(std::make_unique<ProbeProcess>(PROBE_PATH, keys, env));
    return *probes.back();
}

bool TestGlobalHotKeys::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    return process.waitForFinished(ProbeProcess::WAIT_MS)
        && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool TestGlobalHotKeys::press_until(const QString &keys, ProbeProcess &probe, const QString &line)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (!xdotool({"key", keys}))
            return false;
        if (probe.wait_for_line(line, 500))
            return true;
    }
    return false;
}

void TestGlobalHotKeys::unavailable_without_x11()
{
    QWidget window;
    GlobalHotKeys hot_keys(&window);
    QSignalSpy missing(&hot_keys, &GlobalHotKeys::went_missing);
    QVERIFY(!hot_keys.register_hot_key(101, 'P'));
    QTRY_COMPARE(missing.size(), 1);
    QCOMPARE(missing[0][0].toString(), "No system-wide hot keys on this display server; "
                                       "set the brightness in the window or from the tray icon instead.");
    QVERIFY(hot_keys.missing());
    GlobalHotKeys more_hot_keys(&window);
    QVERIFY(!more_hot_keys.register_hot_key(102, 'M'));
    QTRY_VERIFY(more_hot_keys.missing());
}

void TestGlobalHotKeys::delivers_presses_data()
{
    QTest::addColumn<QStringList>("locks");       // lock keys switched on first
    QTest::addColumn<bool>("focus_probe");        // our own window has the focus
    QTest::addColumn<QStringList>("presses");
    QTest::addColumn<QStringList>("expected");    // activations, in order

    const QStringList both{"ctrl+alt+p", "ctrl+alt+m"};
    const QStringList both_seen{"activated 101", "activated 102"};
    QTest::newRow("up") << QStringList{} << false << QStringList{"ctrl+alt+p"}
                        << QStringList{"activated 101"};
    QTest::newRow("down") << QStringList{} << false << QStringList{"ctrl+alt+m"}
                          << QStringList{"activated 102"};
    QTest::newRow("in order pressed") << QStringList{} << false
                                      << QStringList{"ctrl+alt+m", "ctrl+alt+p", "ctrl+alt+m"}
                                      << QStringList{"activated 102", "activated 101",
                                                     "activated 102"};
    QTest::newRow("Num Lock on") << QStringList{"Num_Lock"} << false << both << both_seen;
    QTest::newRow("Caps Lock on") << QStringList{"Caps_Lock"} << false << both << both_seen;
    QTest::newRow("both locks on") << QStringList{"Num_Lock", "Caps_Lock"} << false << both
                                   << both_seen;
    QTest::newRow("own window focused") << QStringList{} << true << both << both_seen;
    QTest::newRow("own window focused, Num Lock on") << QStringList{"Num_Lock"} << true << both
                                                     << both_seen;
    const QStringList others{"p", "ctrl+p", "alt+p", "ctrl+alt+shift+p", "ctrl+alt+q"};
    QTest::newRow("other combinations") << QStringList{} << false << others << QStringList{};
    QTest::newRow("other combinations, own window focused") << QStringList{} << true << others
                                                            << QStringList{};
}

void TestGlobalHotKeys::delivers_presses()
{
    QFETCH(QStringList, locks);
    QFETCH(bool, focus_probe);
    QFETCH(QStringList, presses);
    QFETCH(QStringList, expected);
    REQUIRE_DISPLAY();

    ProbeProcess &probe = start_probe(PROBE_KEYS);
    QVERIFY(probe.wait_for_line("ready"));
    QCOMPARE(probe.lines().filter("registered"),
             (QStringList{"registered 101 yes", "registered 102 yes", "registered 198 yes",
                          "registered 199 yes"}));
    for (const QString &lock : locks)
        QVERIFY(xdotool({"key", lock}));
    if (focus_probe) {
        const QString window = probe.lines().filter(QRegularExpression("^window ")).value(0);
        QVERIFY(xdotool({"windowfocus", "--sync", window.section(' ', 1)}));
    }
    QVERIFY(press_until(WARM_UP_PRESS, probe, WARM_UP_LINE));
    for (const QString &keys : presses)
        QVERIFY(xdotool({"key", keys}));
    QVERIFY(xdotool({"key", SENTINEL_PRESS}));
    QVERIFY(probe.wait_for_line(SENTINEL_LINE));

    // Warm-up presses may arrive late and more than once; they are not the scenario's.
    QCOMPARE(probe.lines().filter(QRegularExpression("^activated (?!198$)")), expected << SENTINEL_LINE);
}

void TestGlobalHotKeys::validates_registrations()
{
    REQUIRE_DISPLAY();
    // Only upper-case letters, each id and each key once.
    ProbeProcess &probe =
        start_probe({"101=P", "102=p", "103=1", "101=M", "104=P", "105=@", "106=[", "107=A", "108=Z"});
    QVERIFY(probe.wait_for_line("ready"));
    QCOMPARE(probe.lines().filter("registered"),
             (QStringList{"registered 101 yes", "registered 102 no", "registered 103 no",
                          "registered 101 no", "registered 104 no", "registered 105 no",
                          "registered 106 no", "registered 107 yes", "registered 108 yes"}));
}

void TestGlobalHotKeys::second_grabber_names_held_keys()
{
    REQUIRE_DISPLAY();
    ProbeProcess &first = start_probe({"101=P", "102=M"});
    QVERIFY(first.wait_for_line("ready"));

    // Another program already holds Ctrl+Alt+P and Ctrl+Alt+M.
    ProbeProcess &second = start_probe({"101=P", "102=M", "103=Q"});
    QVERIFY(second.wait_for_line("ready"));
    QCOMPARE(second.lines().filter("registered"),
             (QStringList{"registered 101 no", "registered 102 no", "registered 103 yes"}));
    QVERIFY2(!second.errors().contains("XCB error"), qPrintable(second.errors()));
    QVERIFY(press_until("ctrl+alt+q", second, "activated 103"));
    // One line names both keys the other program keeps.
    QCOMPARE(second.errors().count("morvane-pwm: hot keys held by another program: Ctrl+Alt+P, Ctrl+Alt+M. "
                                   "Free them there"), 1);

    // Ending cleanly, the second releases only its own grab.
    second.process().closeWriteChannel();
    QVERIFY(second.wait_for_exit());
    QCOMPARE(second.process().exitCode(), 0);
    QVERIFY(xdotool({"key", "ctrl+alt+p"}));
    QVERIFY(first.wait_for_line("activated 101"));
}

void TestGlobalHotKeys::released_keys_can_be_taken()
{
    REQUIRE_DISPLAY();
    ProbeProcess &first = start_probe({"101=P", "102=M"});
    QVERIFY(first.wait_for_line("ready"));
    first.process().write("release\n");
    QVERIFY(first.wait_for_line("released"));

    ProbeProcess &second = start_probe({"101=P", "102=M"});
    QVERIFY(second.wait_for_line("ready"));
    QCOMPARE(second.lines().filter("registered"),
             (QStringList{"registered 101 yes", "registered 102 yes"}));
    QVERIFY(xdotool({"key", "ctrl+alt+m"}));
    QVERIFY(second.wait_for_line("activated 102"));
}

void TestGlobalHotKeys::follows_keyboard_layout_change()
{
    REQUIRE_DISPLAY();
    if (QStandardPaths::findExecutable("setxkbmap").isEmpty())
        QSKIP("setxkbmap not installed: keyboard layout change not tested");
    ProbeProcess &probe = start_probe(PROBE_KEYS);
    QVERIFY(probe.wait_for_line("ready"));

    // The French layout moves M to another key; P stays where it was.
    QVERIFY(run("setxkbmap", {"-layout", "fr"}));
    QVERIFY(press_until("ctrl+alt+p", probe, "activated 101"));
    QVERIFY(xdotool({"key", "ctrl+alt+m"}));
    QVERIFY2(probe.wait_for_line("activated 102"), "M must be grabbed on its new key");
}

// The program's keys step the manual level; a key under any other id asks nothing of the model.
void TestGlobalHotKeys::program_keys_step_the_level_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("direction");
    QTest::newRow("Ctrl+Alt+P: up") << int(HOTKEY_PWM_UP) << +1;
    QTest::newRow("Ctrl+Alt+M: down") << int(HOTKEY_PWM_DOWN) << -1;
    QTest::newRow("another key") << 103 << 0;
    QTest::newRow("id 0") << 0 << 0;
}

void TestGlobalHotKeys::program_keys_step_the_level()
{
    QFETCH(int, id);
    QFETCH(int, direction);
    QCOMPARE(hot_key_direction(id), direction);
}

QTEST_MAIN(TestGlobalHotKeys)
#include "tst_global_hot_keys.moc"
