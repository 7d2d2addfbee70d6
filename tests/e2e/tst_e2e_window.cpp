// The whole program seen from outside: start-up, the window, the
// single instance, and what reaches the controller when the window closes.

#include "e2e_session.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

constexpr int POLL_MS = 50; // the program's poll interval
// A single-shot Qt timer may fire up to 5 % early, and the log's
// milliseconds are truncated at both ends.
constexpr int POLL_MS_AT_LEAST = POLL_MS - 5;

// _MOTIF_WM_HINTS: flags, then the functions and decorations it allows.
constexpr unsigned MWM_HINTS_FUNCTIONS = 1;
constexpr unsigned MWM_HINTS_DECORATIONS = 2;
constexpr unsigned MWM_FUNC_ALL = 0x01;
constexpr unsigned MWM_FUNC_MINIMIZE = 0x08;
constexpr unsigned MWM_FUNC_MAXIMIZE = 0x10;
constexpr unsigned MWM_FUNC_CLOSE = 0x20;
constexpr unsigned MWM_DECOR_ALL = 0x01;
constexpr unsigned MWM_DECOR_MINIMIZE = 0x20;
constexpr unsigned MWM_DECOR_MAXIMIZE = 0x40;

std::function<bool(const Wire &)> status_replies(int count)
{
    return [count](const Wire &wire) { return wire.replies(cmd_read_state).size() >= count; };
}

bool same_status(const ConfigBlock &a, const ConfigBlock &b)
{
    return std::equal(a.bytes.begin(), a.bytes.begin() + ConfigBlock::STATUS_SIZE, b.bytes.begin());
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startup_identifies_loads_and_polls();
    void manual_switch_reaches_controller();
    void window_asks_for_no_maximise_button();
    void second_start_wakes_first_window();
    void close_writes_configuration_back_data();
    void close_writes_configuration_back();
    void applied_configuration_persists();

private:
    XSession x_;
};

void TestWindow::initTestCase()
{
    QString why;
    if (!x_.start(&why))
        QSKIP(qPrintable(why));
}

void TestWindow::startup_identifies_loads_and_polls()
{
    SimController sim;
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    QVERIFY2(app.launch(), app.output());
    QVERIFY2(sim.wait_for_wire(status_replies(12)), app.output());

    const Wire wire = sim.wire();
    const QList<WireReport> requests = wire.requests();
    const QList<int> commands = wire.request_commands();
    // Identify, load, first status pass; then, the controller reporting
    // automatic regulation, one status read per tick and nothing else.
    QCOMPARE(commands.mid(0, 3), (QList<int>{cmd_identify, cmd_read_state, cmd_read_state}));
    QCOMPARE(commands.count(cmd_read_state), commands.size() - 1);

    // The first device check comes half a second after start; the
    // identification follows within its tick.
    const qint64 loaded = sim.event_ms(QStringLiteral("loaded"));
    QVERIFY(loaded > 0);
    QVERIFY2(requests[0].ms - loaded < 3000, qPrintable(QString::number(requests[0].ms - loaded)));
    // Identification, load and status pass share one tick: no poll interval
    // lies between them, as it would between two ticks.
    QVERIFY2(requests[2].ms - requests[0].ms < POLL_MS_AT_LEAST,
             qPrintable(QString::number(requests[2].ms - requests[0].ms)));

    // From then on one tick every 50 ms, counted from the end of the
    // previous one: never sooner, and typically not much later.
    QList<qint64> gaps;
    for (qsizetype i = 3; i < requests.size(); ++i)
        gaps.append(requests[i].ms - requests[i - 1].ms);
    std::sort(gaps.begin(), gaps.end());
    QVERIFY2(gaps.first() >= POLL_MS_AT_LEAST, qPrintable(QString::number(gaps.first())));
    QVERIFY2(gaps[gaps.size() / 2] <= 4 * POLL_MS, qPrintable(QString::number(gaps[gaps.size() / 2])));
}

// The configuration frame starts disabled and takes clicks only once the
// controller is polled; checking manual regulation must then reach it.
void TestWindow::manual_switch_reaches_controller()
{
    SimController sim;
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    const qulonglong window = app.launch();
    QVERIFY2(window, app.output());
    QVERIFY(sim.wait_for_wire(status_replies(3)));

    const qint64 clicked = monotonic_ms();
    QVERIFY(x_.click(window, MANUAL_REGULATION_CHECK.x, MANUAL_REGULATION_CHECK.y));
    QVERIFY(sim.wait_for_wire([](const Wire &wire) { return wire.requests(cmd_set_pwm_width).size() >= 3; }));

    const Wire wire = sim.wire();
    // The mode goes over once; the slider starts at the width the
    // controller reported last before the switch and goes out every tick.
    const QList<WireReport> modes = wire.requests(cmd_set_mode);
    QCOMPARE(modes.size(), 1);
    QCOMPARE(quint8(modes[0].payload()[0]), quint8(1));
    const QList<WireReport> replies = wire.replies(cmd_read_state);
    const auto before = std::find_if(replies.rbegin(), replies.rend(),
                                     [&](const WireReport &r) { return r.ms <= modes[0].ms; });
    QVERIFY(before != replies.rend());
    QVERIFY(modes[0].ms >= clicked);
    for (const WireReport &width : wire.requests(cmd_set_pwm_width))
        QCOMPARE(width.pwm_width(), int(before->block().pwm_width()));
}

// openbox decides its allowed actions by itself and keeps maximise for every
// resizable window, whatever the Motif hints say; what the program controls,
// and what window managers that honour the hints show, is the hints.
void TestWindow::window_asks_for_no_maximise_button()
{
    SimController sim;
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    const qulonglong window = app.launch();
    QVERIFY2(window, app.output());

    const QString hints = x_.property(window, QStringLiteral("_MOTIF_WM_HINTS"));
    const QStringList fields = hints.section(QLatin1Char('='), 1).split(QLatin1Char(','));
    QVERIFY2(fields.size() >= 3, qPrintable(hints));
    const unsigned flags = fields[0].trimmed().toUInt(nullptr, 16);
    const unsigned functions = fields[1].trimmed().toUInt(nullptr, 16);
    const unsigned decorations = fields[2].trimmed().toUInt(nullptr, 16);
    QVERIFY2(flags & MWM_HINTS_FUNCTIONS, qPrintable(hints));
    QVERIFY2(flags & MWM_HINTS_DECORATIONS, qPrintable(hints));
    QVERIFY2(!(functions & MWM_FUNC_ALL) && !(functions & MWM_FUNC_MAXIMIZE), qPrintable(hints));
    QVERIFY2((functions & MWM_FUNC_MINIMIZE) && (functions & MWM_FUNC_CLOSE), qPrintable(hints));
    QVERIFY2(!(decorations & MWM_DECOR_ALL) && !(decorations & MWM_DECOR_MAXIMIZE), qPrintable(hints));
    QVERIFY2(decorations & MWM_DECOR_MINIMIZE, qPrintable(hints));

    const QString actions = x_.property(window, QStringLiteral("_NET_WM_ALLOWED_ACTIONS"));
    QVERIFY2(actions.contains(QLatin1String("_NET_WM_ACTION_MINIMIZE")), qPrintable(actions));
    QVERIFY2(actions.contains(QLatin1String("_NET_WM_ACTION_CLOSE")), qPrintable(actions));
}

void TestWindow::second_start_wakes_first_window()
{
    SimController sim;
    QTemporaryDir runtime;
    AppRun first(x_, sim, runtime.path());
    const qulonglong window = first.launch();
    QVERIFY2(window, first.output());
    OtherWindow other(x_);
    QVERIFY(other.window());
    QVERIFY(x_.activate(other.window()));
    QVERIFY(x_.minimize(window));

    AppRun second(x_, sim, runtime.path());
    // As a launcher starts it; the first instance's window takes the id over.
    second.set_variable(QStringLiteral("DESKTOP_STARTUP_ID"), QStringLiteral("e2e-launch-%1").arg(monotonic_ms()));
    const qint64 started = monotonic_ms();
    QVERIFY(second.start());
    QVERIFY(second.wait_for_exit(10000));
    QCOMPARE(second.exit_code(), 0);
    // A second start that could not reach the first would wait out its
    // 5 s send time-out before giving up.
    QVERIFY2(monotonic_ms() - started < 4000, qPrintable(QString::number(monotonic_ms() - started)));

    // Restored, activated and raised above the other program's window.
    QVERIFY(wait_until([&] {
        return !x_.iconic(window) && x_.active_window() == window
            && x_.stacking_order().value(x_.stacking_order().size() - 1) == window;
    }, 5000));
    QVERIFY2(x_.property(window, QStringLiteral("_NET_STARTUP_ID")).contains(QLatin1String("e2e-launch-")),
             qPrintable(x_.property(window, QStringLiteral("_NET_STARTUP_ID"))));
    // The second start showed no window and never touched the controller.
    const QByteArray titled = x_.tool(QStringLiteral("xdotool"),
                                      {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                       QStringLiteral("--name"), QStringLiteral("^Morvane PWM")})
                                  .out;
    QCOMPARE(titled.trimmed().split('\n').size(), 1);
    QCOMPARE(sim.events().filter(QRegularExpression(QStringLiteral("^\\d+ loaded "))).size(), 1);
    QVERIFY(first.running());
}

void TestWindow::close_writes_configuration_back_data()
{
    QTest::addColumn<bool>("plugged");
    QTest::addColumn<QString>("faults"); // set once polled; the window closes while they strike
    QTest::addColumn<bool>("apply");     // an edit applied just before closing
    QTest::addColumn<int>("writes");
    QTest::newRow("controller connected: the loaded block, once") << true << "" << false << 1;
    QTest::newRow("no controller: nothing") << false << "" << false << 0;
    QTest::newRow("status reads silent: the loaded block, once") << true << "silent cmd=55" << false << 1;
    // The write-back goes out and is not answered: tried once, within the
    // exchange's limits.
    QTest::newRow("controller silent: the write-back tried once") << true << "silent" << false << 1;
    // The Apply waits behind a silent status read, the close behind the
    // Apply; the write-back sends what it confirmed.
    QTest::newRow("status reads silent, Apply then close: the applied block, twice")
        << true << "silent cmd=55" << true << 2;
}

void TestWindow::close_writes_configuration_back()
{
    QFETCH(bool, plugged);
    QFETCH(QString, faults);
    QFETCH(bool, apply);
    QFETCH(int, writes);

    SimController sim;
    sim.set(QStringLiteral("plugged"), plugged ? QStringLiteral("1") : QStringLiteral("0"));
    // A moving reading, so the last status differs from the loaded one.
    sim.set(QStringLiteral("light"), QStringLiteral("ramp 0 1023 700"));
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    const qulonglong window = app.launch();
    QVERIFY2(window, app.output());
    // Polled for a while, or, without a controller, searched for it (and
    // found the decoy interface alone).
    if (plugged)
        QVERIFY(sim.wait_for_wire(status_replies(8)));
    else
        QVERIFY(wait_until([&] { return sim.event_ms(QStringLiteral("enumerate 1")) > 0; }, 5000));
    sim.set(QStringLiteral("faults"), faults);
    if (!faults.isEmpty())
        QVERIFY(wait_until([&] { return sim.event_ms(QStringLiteral("fault ")) > 0; }, 5000));
    if (apply) {
        QVERIFY(x_.click(window, SMOOTHING_CHECK.x, SMOOTHING_CHECK.y));
        QVERIFY(x_.click(window, APPLY_BUTTON.x, APPLY_BUTTON.y));
    }

    QVERIFY(x_.close_request(window));
    QVERIFY(app.wait_for_exit(15000));
    QCOMPARE(app.exit_code(), 0);

    const Wire wire = sim.wire();
    const QList<WireReport> sent = wire.requests(cmd_write_config);
    QCOMPARE(sent.size(), writes);
    if (sent.isEmpty())
        return;
    // The last report of the run: the configuration as loaded, or as the
    // Apply wrote it; the status bytes as last reported.
    QCOMPARE(wire.requests().last().command(), int(cmd_write_config));
    const QList<WireReport> replies = wire.replies(cmd_read_state);
    const ConfigBlock configuration = sent.first().block();
    QCOMPARE(same_configuration(configuration, replies.first().block()), !apply);
    for (const WireReport &write : sent) {
        QVERIFY(same_configuration(write.block(), configuration));
        QVERIFY(same_status(write.block(), replies.last().block()));
    }
    QVERIFY(!same_status(replies.first().block(), replies.last().block()));
}

// The simulated controller keeps its block in the state file, so an Apply
// can be seen to survive a restart of the program.
void TestWindow::applied_configuration_persists()
{
    SimController sim;
    sim.set(QStringLiteral("state"), QString());
    QTemporaryDir runtime;
    ConfigBlock applied;
    {
        AppRun app(x_, sim, runtime.path());
        const qulonglong window = app.launch();
        QVERIFY2(window, app.output());
        QVERIFY(sim.wait_for_wire(status_replies(3)));
        const ConfigBlock loaded = sim.wire().replies(cmd_read_state).first().block();
        QCOMPARE(loaded.pwm_smooth_alg(), 1u);

        QVERIFY(x_.click(window, SMOOTHING_CHECK.x, SMOOTHING_CHECK.y));
        QVERIFY(x_.click(window, APPLY_BUTTON.x, APPLY_BUTTON.y));
        QVERIFY(sim.wait_for_wire([](const Wire &wire) { return !wire.requests(cmd_write_config).isEmpty(); }));
        applied = sim.wire().requests(cmd_write_config).first().block();
        QCOMPARE(applied.pwm_smooth_alg(), 0u);
        applied.set_pwm_smooth_alg(true);
        QVERIFY(same_configuration(applied, loaded)); // nothing else changed
        applied.set_pwm_smooth_alg(false);

        // Closing writes the applied block once more.
        QVERIFY(x_.close_request(window));
        QVERIFY(app.wait_for_exit(15000));
        QCOMPARE(app.exit_code(), 0);
        const QList<WireReport> writes = sim.wire().requests(cmd_write_config);
        QCOMPARE(writes.size(), 2);
        QVERIFY(same_configuration(writes[1].block(), applied));
    }

    const qint64 restarted = monotonic_ms();
    AppRun again(x_, sim, runtime.path());
    QVERIFY2(again.launch(), again.output());
    QVERIFY(sim.wait_for_wire(
        [&](const Wire &wire) { return wire.first_after(restarted, false, cmd_read_state).has_value(); }));
    QVERIFY(same_configuration(sim.wire().first_after(restarted, false, cmd_read_state)->block(), applied));
}

QTEST_GUILESS_MAIN(TestWindow)
#include "tst_e2e_window.moc"
