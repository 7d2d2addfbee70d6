// The whole program against a controller that answers
// wrongly or not at all, goes away and comes back, is stepped by the hot
// keys, and misbehaves on the wire.

#include "device/hid_device.h"
#include "e2e_session.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <algorithm>
#include <utility>

namespace {

int count_after(const QList<qint64> &times, qint64 ms)
{
    return int(std::count_if(times.begin(), times.end(), [ms](qint64 t) { return t > ms; }));
}

std::function<bool(const Wire &)> status_replies_since(qint64 ms, int count)
{
    return [ms, count](const Wire &wire) { return wire.since(ms).replies(cmd_read_state).size() >= count; };
}

// The moment of the fault's strike after the first `count`, once it came; -1 if none did.
qint64 strike_after(const SimController &sim, int count)
{
    const auto strikes = [&] { return sim.event_times(QStringLiteral("fault ")); };
    return wait_until([&] { return strikes().size() > count; }, 20000) ? strikes().value(count) : -1;
}

// Still within the exchange that a silent request started at `struck`: a
// program whose window waited for the controller could not answer before it
// gave up.
bool before_time_out(qint64 struck)
{
    return monotonic_ms() < struck + HID_EXCHANGE_TIMEOUT_MS;
}

// The program's threads and open descriptors, as /proc lists them.
std::pair<int, int> threads_and_descriptors(qint64 pid)
{
    const auto count = [pid](const char *what) {
        return int(QDir(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(what)))
                       .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                       .size());
    };
    return {count("task"), count("fd")};
}

} // namespace

class TestController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void identification_failure_ends_program_data();
    void identification_failure_ends_program();
    void unplug_and_replug_reloads_data();
    void unplug_and_replug_reloads();
    void unopenable_controller_reported_once_per_appearance();
    void permission_race_is_ridden_out();
    void controllers_run_side_by_side();
    void hot_plug_from_udev();
    void hot_keys_step_manual_width_data();
    void hot_keys_step_manual_width();
    void wire_faults_do_not_break_program_data();
    void wire_faults_do_not_break_program();

private:
    XSession x_;
};

void TestController::initTestCase()
{
    QString why;
    if (!x_.start(&why))
        QSKIP(qPrintable(why));
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("no session bus: run under dbus-run-session");
    x_.set_session_variable(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                            qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
}

void TestController::identification_failure_ends_program_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("faults");
    QTest::addColumn<int>("exit_code");
    QTest::addColumn<int>("box_not_before_ms"); // after the identify request

    QTest::newRow("wrong version: box, exit code 2") << "2" << "" << 2 << 0;
    // The exchange gives up on the reply after its 3 s time-out.
    QTest::newRow("no answer: box after the time-out, exit code 1")
        << "1" << "silent cmd=54" << 1 << 2900;
}

void TestController::identification_failure_ends_program()
{
    QFETCH(QString, version);
    QFETCH(QString, faults);
    QFETCH(int, exit_code);
    QFETCH(int, box_not_before_ms);

    SimController sim;
    sim.set(QStringLiteral("version"), version);
    sim.set(QStringLiteral("faults"), faults);
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    const qulonglong window = app.launch();
    QVERIFY2(window, app.output());

    // The "Ошибка!" box: the program's only other window.
    const qulonglong box = app.wait_for_dialog(window, 15000);
    const qint64 seen = monotonic_ms();
    QVERIFY2(box, app.output());
    const std::optional<WireReport> identify = sim.wire().first_after(0, true, cmd_identify);
    QVERIFY(identify);
    QVERIFY2(seen - identify->ms >= box_not_before_ms, qPrintable(QString::number(seen - identify->ms)));

    QVERIFY(x_.activate(box));
    QVERIFY(x_.keys({QStringLiteral("Return")}));
    QVERIFY(app.wait_for_exit(10000));
    QCOMPARE(app.exit_code(), exit_code);
    // An unidentified controller gets nothing but the load's read: no status
    // pass, no mode or width, no configuration written to it.
    QCOMPARE(sim.wire().request_commands(), (QList<int>{cmd_identify, cmd_read_state}));
}

void TestController::unplug_and_replug_reloads_data()
{
    QTest::addColumn<bool>("noticed"); // the program closed the controller before the replug

    QTest::newRow("replugged after the program closed it") << true;
    // The path is listed again at the next device check, but the handle the
    // program holds died with the unplug.
    QTest::newRow("replugged between two device checks") << false;
}

void TestController::unplug_and_replug_reloads()
{
    QFETCH(bool, noticed);

    SimController sim;
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    QVERIFY2(app.launch(), app.output());
    QVERIFY(sim.wait_for_wire(status_replies_since(0, 3)));

    sim.set(QStringLiteral("plugged"), QStringLiteral("0"));
    QVERIFY(wait_until([&] { return sim.event_ms(QStringLiteral("unplugged")) > 0; }, 5000));
    if (noticed) {
        QVERIFY(wait_until([&] { return sim.event_ms(QStringLiteral("close /dev/hidraw1")) > 0; }, 5000));
        QTest::qWait(300); // some ticks with the controller gone
    }
    sim.set(QStringLiteral("plugged"), QStringLiteral("1"));
    QVERIFY(wait_until([&] { return sim.event_ms(QStringLiteral("plugged")) > 0; }, 5000));
    const qint64 unplugged = sim.event_ms(QStringLiteral("unplugged"));
    const qint64 replugged = sim.event_ms(QStringLiteral("plugged"));
    QVERIFY2(sim.wait_for_wire(status_replies_since(replugged, 4)), app.output());

    const Wire wire = sim.wire();
    // Nothing crossed the wire while the controller was away, and once the
    // program had closed it, it stopped trying.
    for (const WireReport &request : wire.since(unplugged).requests())
        QVERIFY(request.ms >= replugged);
    const qint64 closed = sim.event_ms(QStringLiteral("close /dev/hidraw1"));
    for (qint64 refused : sim.event_times(QStringLiteral("write-refused")))
        QVERIFY(refused <= closed);
    // Back again: identified and loaded anew.
    QCOMPARE(wire.since(replugged).request_commands().mid(0, 3),
             (QList<int>{cmd_identify, cmd_read_state, cmd_read_state}));
    QCOMPARE(sim.event_times(QStringLiteral("open /dev/hidraw1")).size(), 2);
}

void TestController::hot_keys_step_manual_width_data()
{
    QTest::addColumn<int>("mode");           // as the controller reports it
    QTest::addColumn<int>("width");          // the controller's width at start
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QList<int>>("settled"); // the last widths sent
    QTest::addColumn<QString>("faults");     // set before the keys, which come while they strike

    const QString up = QStringLiteral("ctrl+alt+p");
    const QString down = QStringLiteral("ctrl+alt+m");
    QTest::newRow("manual, up: +17") << 1 << 300 << QStringList{up} << QList<int>{317, 317, 317} << "";
    QTest::newRow("manual, down twice: -34")
        << 1 << 300 << QStringList{down, down} << QList<int>{266, 266, 266} << "";
    QTest::newRow("manual, up stops at 564")
        << 1 << 560 << QStringList{up, up} << QList<int>{564, 564, 564} << "";
    QTest::newRow("manual, down stops at 0") << 1 << 10 << QStringList{down} << QList<int>{0, 0, 0} << "";
    QTest::newRow("automatic: nothing changes") << 0 << 300 << QStringList{up, down} << QList<int>{} << "";
    // Three status reads of 3 s each go unanswered; the step is carried once
    // the controller answers again.
    QTest::newRow("manual, up while the controller is silent: +17 after")
        << 1 << 300 << QStringList{up} << QList<int>{317, 317, 317} << "silent cmd=55 times=3";
    QTest::newRow("automatic, keys while the controller is silent: nothing")
        << 0 << 300 << QStringList{up, down} << QList<int>{} << "silent times=3";
}

// The keys go through XTEST to the display while another program's window
// has the focus: only a system-wide grab can see them.
void TestController::hot_keys_step_manual_width()
{
    QFETCH(int, mode);
    QFETCH(int, width);
    QFETCH(QStringList, keys);
    QFETCH(QList<int>, settled);
    QFETCH(QString, faults);

    SimController sim;
    sim.set(QStringLiteral("mode"), QString::number(mode));
    sim.set(QStringLiteral("pwm_width"), QString::number(width));
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    QVERIFY2(app.launch(), app.output());
    QVERIFY(sim.wait_for_wire(status_replies_since(0, 3)));
    OtherWindow other(x_);
    QVERIFY(other.window());
    QVERIFY(x_.activate(other.window()));
    sim.set(QStringLiteral("faults"), faults);
    const qint64 struck = faults.isEmpty() ? 0 : strike_after(sim, 0);
    QVERIFY(struck >= 0);

    const qint64 pressed = monotonic_ms();
    QVERIFY(x_.keys(keys));
    if (!faults.isEmpty())
        QVERIFY(sim.wire().since(struck).replies(cmd_read_state).isEmpty());
    // Plenty of ticks for the keys to be handled and the width to go out.
    QVERIFY(sim.wait_for_wire(status_replies_since(pressed, 10), 20000));

    const Wire wire = sim.wire();
    QList<int> sent;
    for (const WireReport &request : wire.since(pressed).requests(cmd_set_pwm_width))
        sent.append(request.pwm_width());
    QCOMPARE(sent.mid(qMax<qsizetype>(0, sent.size() - 3)), settled);
    // Before the keys the controller's own width went out; the mode never
    // needed switching.
    for (const WireReport &request : wire.requests(cmd_set_pwm_width)) {
        if (request.ms < pressed)
            QCOMPARE(request.pwm_width(), width);
    }
    QVERIFY(wire.requests(cmd_set_mode).isEmpty());
    QCOMPARE(x_.active_window(), other.window());
}

void TestController::wire_faults_do_not_break_program_data()
{
    QTest::addColumn<QString>("fault"); // a line of the faults file
    QTest::addColumn<int>("hits");      // requests it strikes
    QTest::addColumn<bool>("replug");   // the fault leaves the controller unplugged

    QTest::newRow("flood of unsolicited reports") << "flood cmd=55 count=50 times=5" << 5 << false;
    QTest::newRow("flood crowding the reply out") << "flood cmd=55 count=100 times=1" << 1 << false;
    QTest::newRow("wrong echo") << "wrong_echo cmd=55 times=1" << 1 << false;
    QTest::newRow("short reply") << "short_reply cmd=55 len=10 times=3" << 3 << false;
    QTest::newRow("slow reply") << "delay cmd=55 ms=200 times=3" << 3 << false;
    QTest::newRow("write fails") << "write_fails cmd=55 times=3" << 3 << false;
    QTest::newRow("unplug in the middle of a tick") << "unplug_mid_exchange cmd=55 times=1" << 1 << true;
    QTest::newRow("silent for three status reads") << "silent cmd=55 times=3" << 3 << false;
}

// Whatever the controller does, the program keeps running, takes up polling
// again and still answers a second start, while a silent controller is
// waited for too.
void TestController::wire_faults_do_not_break_program()
{
    QFETCH(QString, fault);
    QFETCH(int, hits);
    QFETCH(bool, replug);
    // A controller silent for seconds: the window repaints, a second start
    // and D-Bus are answered meanwhile.
    const bool silent = fault.startsWith(QLatin1String("silent"));

    SimController sim;
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    const qulonglong window = app.launch();
    QVERIFY2(window, app.output());
    QVERIFY(sim.wait_for_wire(status_replies_since(0, 3)));

    const auto second_start_wakes_window = [&] {
        QVERIFY(x_.minimize(window));
        AppRun second(x_, sim, runtime.path());
        QVERIFY(second.start());
        QVERIFY(second.wait_for_exit(10000));
        QCOMPARE(second.exit_code(), 0);
        QVERIFY(wait_until([&] { return !x_.iconic(window); }, 5000));
    };

    sim.set(QStringLiteral("faults"), fault);
    if (silent) {
        // Each answer below comes within one silent exchange.
        qint64 struck = strike_after(sim, 0);
        QVERIFY(struck > 0);
        QVERIFY(program_property(QStringLiteral("Connected"), HID_EXCHANGE_TIMEOUT_MS).toBool());
        QVERIFY(before_time_out(struck));
        const QByteArray unticked = x_.image(window, SMOOTHING_CHECK);
        QVERIFY(x_.click(window, SMOOTHING_CHECK.x, SMOOTHING_CHECK.y));
        QVERIFY(wait_until([&] { return x_.image(window, SMOOTHING_CHECK) != unticked; }, HID_EXCHANGE_TIMEOUT_MS));
        QVERIFY(before_time_out(struck));
        struck = strike_after(sim, 1);
        QVERIFY(struck > 0);
        second_start_wakes_window();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(before_time_out(struck));
    }
    QVERIFY(strike_after(sim, hits - 1) > 0);
    if (replug) {
        QVERIFY(wait_until([&] { return sim.event_ms(QStringLiteral("close /dev/hidraw1")) > 0; }, 5000));
        sim.set(QStringLiteral("plugged"), QStringLiteral("1"));
    }
    const qint64 struck = sim.event_times(QStringLiteral("fault ")).last();
    QVERIFY2(sim.wait_for_wire(status_replies_since(struck, 5), 15000), app.output());
    QVERIFY(app.running());
    QVERIFY(sim.wire().requests(cmd_write_config).isEmpty());
    if (!replug) {
        // The controller stayed plugged in: the connection, and with it any
        // unapplied edits, outlives the fault.
        QVERIFY(sim.event_times(QStringLiteral("close ")).isEmpty());
        QCOMPARE(sim.wire().requests(cmd_identify).size(), 1);
    }

    if (!silent)
        second_start_wakes_window();
    QVERIFY(app.running());
}

// A controller that is listed but cannot be opened (no udev rule yet) is
// named on stderr, with its errno, once its fast retries are spent, once
// while it stays plugged in, and once more when it comes back; the window
// stays greyed out and nothing is ever sent to it.
void TestController::unopenable_controller_reported_once_per_appearance()
{
    const QString notice = QStringLiteral("cannot open the controller at /dev/hidraw1");
    SimController sim;
    sim.set(QStringLiteral("faults"), QStringLiteral("deny_open errno=EACCES"));
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    QVERIFY2(app.launch(), app.output());

    const auto refusals = [&] { return sim.event_times(QStringLiteral("open-failed")); };
    const auto notices = [&] { return QString::fromUtf8(app.output()).count(notice); };
    QVERIFY(wait_until([&] { return notices() == 1; }, 10000));
    QVERIFY(refusals().size() >= 6); // the first open and its five retries
    QVERIFY2(app.output().contains("(EACCES)"), app.output());
    QVERIFY(wait_until([&] { return refusals().size() >= 9; }, 10000)); // the device check goes on
    QCOMPARE(notices(), 1);

    sim.set(QStringLiteral("plugged"), QStringLiteral("0"));
    QVERIFY(wait_until([&] { return sim.event_ms(QStringLiteral("unplugged")) > 0; }, 5000));
    const qint64 unplugged = sim.event_ms(QStringLiteral("unplugged"));
    // Two device checks that find nothing.
    QVERIFY(wait_until([&] { return count_after(sim.event_times(QStringLiteral("enumerate")), unplugged) >= 2; },
                       5000));
    sim.set(QStringLiteral("plugged"), QStringLiteral("1"));
    QVERIFY(wait_until([&] { return sim.event_ms(QStringLiteral("plugged")) > 0; }, 5000));
    const qint64 replugged = sim.event_ms(QStringLiteral("plugged"));
    QVERIFY(wait_until([&] { return notices() == 2; }, 10000));
    QVERIFY(count_after(refusals(), replugged) >= 6);
    QVERIFY(sim.wire().requests().isEmpty());
    QVERIFY(app.running());
}

// The permission race of a controller just plugged in: its node refuses
// opens for a moment, a retry opens it, and no failure is ever said.
void TestController::permission_race_is_ridden_out()
{
    SimController sim;
    sim.set(QStringLiteral("faults"), QStringLiteral("deny_open errno=EACCES for=1500"));
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    QVERIFY2(app.launch(), app.output());
    QVERIFY2(sim.wait_for_wire(status_replies_since(0, 3)), app.output());

    const QList<qint64> refusals = sim.event_times(QStringLiteral("open-failed"));
    QVERIFY(refusals.size() >= 2);
    QVERIFY(refusals.last() <= sim.event_ms(QStringLiteral("open /dev/hidraw1")));
    QVERIFY2(!app.output().contains("cannot open"), app.output());
}

// Two controllers: each is opened, loaded and polled on its own; one
// unplugged and plugged back is loaded anew while the other keeps going,
// and the program's end writes each one's configuration back once.
void TestController::controllers_run_side_by_side()
{
    SimController sim;
    sim.set(QStringLiteral("controllers"), QStringLiteral("desk serial=DESK-1 port=1-2\nlamp serial=LAMP-7 port=3-1"));
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    QVERIFY2(app.launch(), app.output());
    const QString lamp = QStringLiteral("lamp");
    QVERIFY2(sim.wait_for_wire(status_replies_since(0, 3)), app.output());
    QVERIFY2(sim.wait_for_wire(status_replies_since(0, 3), 10000, lamp), app.output());
    for (const QString &controller : {QString(), lamp})
        QCOMPARE(sim.wire(controller).request_commands().mid(0, 3),
                 (QList<int>{cmd_identify, cmd_read_state, cmd_read_state}));

    sim.set(QStringLiteral("lamp/plugged"), QStringLiteral("0"));
    QVERIFY(wait_until([&] { return sim.event_ms(QStringLiteral("close /dev/hidraw2"), lamp) > 0; }, 5000));
    const qint64 lamp_gone = sim.event_ms(QStringLiteral("close /dev/hidraw2"), lamp);
    QVERIFY2(sim.wait_for_wire(status_replies_since(lamp_gone, 10)), app.output()); // the desk goes on
    sim.set(QStringLiteral("lamp/plugged"), QStringLiteral("1"));
    QVERIFY(wait_until([&] { return sim.event_ms(QStringLiteral("plugged"), lamp) > 0; }, 5000));
    const qint64 lamp_back = sim.event_ms(QStringLiteral("plugged"), lamp);
    QVERIFY2(sim.wait_for_wire(status_replies_since(lamp_back, 3), 10000, lamp), app.output());
    QCOMPARE(sim.wire(lamp).since(lamp_back).request_commands().mid(0, 3),
             (QList<int>{cmd_identify, cmd_read_state, cmd_read_state}));

    QCOMPARE(::kill(pid_t(app.pid()), SIGTERM), 0);
    QVERIFY(app.wait_for_exit(10000));
    QCOMPARE(app.exit_code(), 0);
    for (const QString &controller : {QString(), lamp}) {
        const QList<int> sent = sim.wire(controller).request_commands();
        QCOMPARE(sent.count(cmd_write_config), 1);
        QCOMPARE(sent.last(), int(cmd_write_config));
    }
}

// Under udev a controller is found by its add event, with no device check on
// a timer: the bus is listed once at the start and then only for events.
// Quick replugs of the second controller leave one of each, with as many
// descriptors and threads as before.
void TestController::hot_plug_from_udev()
{
    SimController sim;
    sim.set(QStringLiteral("udev"), QStringLiteral("1"));
    sim.set(QStringLiteral("controllers"), QStringLiteral("desk serial=DESK-1 port=1-2\nlamp serial=LAMP-7 port=3-1"));
    const QString lamp = QStringLiteral("lamp");
    sim.set(QStringLiteral("lamp/plugged"), QStringLiteral("0"));
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    QVERIFY2(app.launch(), app.output());
    QVERIFY2(sim.wait_for_wire(status_replies_since(0, 3)), app.output());
    const int listings = sim.event_times(QStringLiteral("enumerate")).size();
    QTest::qWait(1500); // three device checks of old
    QCOMPARE(sim.event_times(QStringLiteral("enumerate")).size(), listings);

    const auto plug = [&](const QString &state, const QString &event) {
        const int before = sim.event_times(event, lamp).size();
        sim.set(QStringLiteral("lamp/plugged"), state);
        return wait_until([&] { return sim.event_times(event, lamp).size() > before; }, 5000);
    };
    QVERIFY(plug(QStringLiteral("1"), QStringLiteral("udev add")));
    const qint64 added = sim.event_ms(QStringLiteral("udev add"), lamp);
    QVERIFY2(sim.wait_for_wire(status_replies_since(added, 3), 10000, lamp), app.output());
    const std::pair<int, int> before = threads_and_descriptors(app.pid());

    for (int replug = 0; replug < 20; ++replug) {
        QVERIFY(plug(QStringLiteral("0"), QStringLiteral("udev remove")));
        QVERIFY(plug(QStringLiteral("1"), QStringLiteral("udev add")));
    }
    const qint64 back = sim.event_times(QStringLiteral("udev add"), lamp).last();
    QVERIFY2(sim.wait_for_wire(status_replies_since(back, 3), 10000, lamp), app.output());
    QCOMPARE(sim.event_times(QStringLiteral("open /dev/hidraw2"), lamp).size(),
             sim.event_times(QStringLiteral("close /dev/hidraw2"), lamp).size() + 1);
    // Places let go end their threads once they have answered.
    QTRY_COMPARE_WITH_TIMEOUT(threads_and_descriptors(app.pid()), before, 5000);
    QVERIFY(app.running());
}

QTEST_GUILESS_MAIN(TestController)
#include "tst_e2e_controller.moc"
