// Writing the configuration: apply_config (what goes out, what it reports)
// and the write-back when the program ends, one command 56 with the last
// status and the configuration as last loaded or applied, and none unless
// those bytes came from this very connection. And how a curve's segments
// feed the lamp's own light back (loop_gains).

#include "bench.h"
#include "model/loop_gain.h"
#include "protocol/commands.h"

#include <QTest>
#include <QThread>

namespace {

// What happens between the start of the program and its end.
enum class Step {
    connect,            // the check that opens the controller, the tick that loads it
    tick,
    live_state_changes, // the controller's reading and width change, not read yet
    edit,               // the window holds edits it has not applied
    apply,              // curve point 4 and the slide delay changed and applied
    apply_write_fails,  // the same, and its command 56 gets no answer
    fail_identify,      // the next identify gets no answer
    fail_load,          // the next read of the block gets no answer
    unplug,             // unplugged, and the check notices
    replug,             // plugged in again, and the check opens it
    bounce,             // out and in again between two checks; the next
                        // check opens the new connection
    replace,            // another controller instead, opened by one check
                        // while the model still holds the first one's block
};
using Script = QList<Step>;

// What the end should write: nothing, or the configuration as loaded or as
// the apply step left it.
enum class Written { nothing, loaded, applied };

ConfigBlock edited(ConfigBlock config)
{
    config.set_auto_light(4, 777);
    config.set_auto_pwm(4, 444);
    config.set_pwm_slide_delay(99);
    return config;
}

void run(Bench &bench, Step step)
{
    switch (step) {
    case Step::connect:
        bench.connect();
        break;
    case Step::tick:
        bench.tick();
        break;
    case Step::live_state_changes:
        bench.controller_config().set_light_adc(1000);
        bench.controller_config().set_pwm_width(500);
        break;
    case Step::edit:
        bench.model().set_edits_pending(true);
        break;
    case Step::apply_write_fails:
        bench.fail(cmd_write_config);
        [[fallthrough]];
    case Step::apply:
        bench.model().apply_config(edited(bench.model().stored_config()));
        break;
    case Step::fail_identify:
        bench.fail(cmd_identify);
        break;
    case Step::fail_load:
        bench.fail(cmd_read_state);
        break;
    case Step::unplug:
        bench.unplug();
        bench.check();
        break;
    case Step::replug:
        bench.replug();
        bench.check();
        break;
    case Step::bounce:
        bench.unplug();
        bench.replug();
        bench.check();
        break;
    case Step::replace:
        bench.replace(ControllerState().point(4, 1, 2));
        bench.check();
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(Written)
Q_DECLARE_METATYPE(Outcome)

class TestConfiguration : public QObject
{
    Q_OBJECT

private slots:
    void write_back_data();
    void write_back();
    void apply_sends_the_last_status();
    void apply_result_data();
    void apply_result();
    void ending_on_the_worker_thread_data();
    void ending_on_the_worker_thread();
    void loop_gain_data();
    void loop_gain();
};

void TestConfiguration::write_back_data()
{
    QTest::addColumn<ControllerState>("controller");
    QTest::addColumn<Script>("script");
    QTest::addColumn<Written>("written");

    const ControllerState plain = ControllerState().light(300).pwm_width(200);
    using S = Step;
    QTest::newRow("loaded") << plain << Script{S::connect} << Written::loaded;
    QTest::newRow("loaded, in manual regulation") << ControllerState().mode(1) << Script{S::connect, S::tick}
                                                  << Written::loaded;
    QTest::newRow("state changed since the last read")
        << plain << Script{S::connect, S::tick, S::live_state_changes} << Written::loaded;
    QTest::newRow("edited, not applied") << plain << Script{S::connect, S::edit} << Written::loaded;
    QTest::newRow("applied") << plain << Script{S::connect, S::edit, S::apply} << Written::applied;
    // Only what the controller confirmed goes back, whatever the window holds.
    QTest::newRow("applied, write failed") << plain << Script{S::connect, S::edit, S::apply_write_fails}
                                           << Written::loaded;
    QTest::newRow("load retried") << plain << Script{S::fail_load, S::connect, S::tick} << Written::loaded;
    // The new controller never reported its status bytes: nothing to send them with.
    QTest::newRow("replaced, reload failed, then applied")
        << plain << Script{S::connect, S::replace, S::fail_load, S::tick, S::edit, S::apply} << Written::nothing;
    QTest::newRow("replugged and reloaded")
        << plain << Script{S::connect, S::edit, S::unplug, S::replug, S::tick} << Written::loaded;

    QTest::newRow("no controller") << plain << Script{S::tick} << Written::nothing;
    QTest::newRow("opened, not identified yet") << plain << Script{S::tick, S::replug} << Written::nothing;
    QTest::newRow("unplugged") << plain << Script{S::connect, S::unplug} << Written::nothing;
    QTest::newRow("wrong version") << ControllerState().version(2) << Script{S::connect, S::tick} << Written::nothing;
    QTest::newRow("silent identify") << plain << Script{S::fail_identify, S::connect} << Written::nothing;
    QTest::newRow("load failed") << plain << Script{S::fail_load, S::connect} << Written::nothing;
    QTest::newRow("replugged, reload failed")
        << plain << Script{S::connect, S::unplug, S::fail_load, S::replug, S::tick} << Written::nothing;
    QTest::newRow("replugged, no tick yet") << plain << Script{S::connect, S::unplug, S::replug} << Written::nothing;
    QTest::newRow("replaced, no tick yet") << plain << Script{S::connect, S::replace} << Written::nothing;
    QTest::newRow("replaced after Apply") << plain << Script{S::connect, S::edit, S::apply, S::replace}
                                          << Written::nothing;
    QTest::newRow("applied before the replacement was identified, reload failed")
        << plain << Script{S::connect, S::edit, S::replace, S::apply, S::fail_load, S::tick} << Written::nothing;
    QTest::newRow("applied while unplugged")
        << plain << Script{S::connect, S::edit, S::unplug, S::apply, S::replug} << Written::nothing;
    QTest::newRow("applied while unplugged, then reloaded")
        << plain << Script{S::connect, S::edit, S::unplug, S::apply, S::replug, S::tick} << Written::loaded;
}

void TestConfiguration::write_back()
{
    QFETCH(ControllerState, controller);
    QFETCH(Script, script);
    QFETCH(Written, written);

    Bench bench(controller);
    for (Step step : script)
        run(bench, step);
    // The status bytes go back as the last successful read reported them.
    const QByteArray last_status = bench.last_reply(cmd_read_state).left(5);
    bench.forget_wire();
    bench.close();

    const QList<QByteArray> sent = bench.payloads(cmd_write_config);
    if (written == Written::nothing) {
        QVERIFY(sent.isEmpty());
        return;
    }
    QCOMPARE(sent.size(), 1);
    const ConfigBlock &loaded = controller.state.config;
    QCOMPARE(sent[0].left(5), last_status);
    QCOMPARE(sent[0].mid(5, 32), config_part(written == Written::applied ? edited(loaded) : loaded));
}

// Bytes 0..4 go out as the last status read reported them, whatever the
// block handed to apply_config holds there.
void TestConfiguration::apply_sends_the_last_status()
{
    Bench bench(ControllerState().mode(0).light(10).pwm_width(20));
    bench.connect();
    bench.controller_config().set_light_adc(0x0304);
    bench.controller_config().set_pwm_width(0x0102);
    bench.tick();
    bench.controller_config().set_light_adc(999); // not read yet
    bench.model().set_manual_level(500);
    ConfigBlock config = edited(bench.model().stored_config());
    config.set_light_adc(0x0909);
    bench.forget_wire();
    QCOMPARE(bench.model().apply_config(config), Outcome::done());
    QCOMPARE(bench.requests(), QList<int>{cmd_write_config});
    QCOMPARE(bench.payloads(cmd_write_config).value(0).left(5), QByteArray::fromHex("0102030400"));
}

void TestConfiguration::apply_result_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("fault"); // on the write, -1: none
    QTest::addColumn<Outcome>("result");

    using S = Step;
    const Outcome not_confirmed = Outcome::not_confirmed();
    QTest::newRow("written") << Script{S::connect} << -1 << Outcome::done();
    QTest::newRow("silent") << Script{S::connect} << int(SimFaultKind::silent) << not_confirmed;
    QTest::newRow("wrong echo") << Script{S::connect} << int(SimFaultKind::wrong_echo) << not_confirmed;
    QTest::newRow("write fails") << Script{S::connect} << int(SimFaultKind::write_fails) << not_confirmed;
    QTest::newRow("unplugged") << Script{S::connect, S::unplug} << -1 << Outcome::refused(Refusal::not_connected);
    QTest::newRow("replugged between two checks") << Script{S::connect, S::bounce} << -1
                                                  << Outcome::refused(Refusal::loading);
    QTest::newRow("never connected") << Script{S::tick} << -1 << Outcome::refused(Refusal::not_connected);
    // Bytes 0..4 were never read from this controller.
    QTest::newRow("identified, load failed") << Script{S::fail_load, S::connect} << -1
                                             << Outcome::refused(Refusal::loading);
}

// A write not confirmed can be made again, and until it is confirmed the
// model keeps what the controller last confirmed (the write-back sends
// that); one not sent leaves the controller alone, and the next connection
// loads the controller's own configuration.
void TestConfiguration::apply_result()
{
    QFETCH(Script, script);
    QFETCH(int, fault);
    QFETCH(Outcome, result);

    Bench bench(ControllerState().point(5, 500, 350));
    for (Step step : script)
        run(bench, step);
    if (fault >= 0)
        bench.fail(cmd_write_config, SimFaultKind(fault));
    const ConfigBlock config = edited(bench.model().stored_config());
    const ConfigBlock before = bench.model().stored_config();
    bench.forget_wire();
    QCOMPARE(bench.model().apply_config(config), result);

    if (!result.sent()) {
        QVERIFY(bench.sim().wire().empty());
        bench.replug();
        bench.connect();
        bench.tick();
        QCOMPARE(bench.model().stored_config().auto_pwm(5), 350u);
        QCOMPARE(bench.controller_config().auto_pwm(5), 350u);
        return;
    }
    if (fault != int(SimFaultKind::write_fails)) // a failed write is not on the wire
        QCOMPARE(bench.requests(), QList<int>{cmd_write_config});
    if (result == Outcome::not_confirmed()) {
        QCOMPARE(config_part(bench.model().stored_config()), config_part(before));
        QCOMPARE(bench.model().apply_config(config), Outcome::done());
    }
    QCOMPARE(config_part(bench.controller_config()), config_part(config));
}

void TestConfiguration::ending_on_the_worker_thread_data()
{
    QTest::addColumn<bool>("apply_first");     // the window's Apply is on its way as the program ends
    QTest::addColumn<QStringList>("answered"); // by the worker, in order, after the refusals
    QTest::newRow("nothing on its way: the write-back alone") << false << QStringList{"end done"};
    QTest::newRow("an Apply on its way: answered first") << true << QStringList{"apply done", "end done"};
}

// The program's own threading. The window's "edits pending" stands against
// status copies the worker sent before it; at the end, what was asked
// before is answered first, what comes after is refused at once, and the
// write-back is the last exchange.
void TestConfiguration::ending_on_the_worker_thread()
{
    QFETCH(bool, apply_first);
    QFETCH(QStringList, answered);

    SimBackend sim;
    sim.add_controller(ControllerState().state);
    ControllerRegistry registry(sim, ControllerRegistry::Threading::worker);
    ControllerThread &controller = registry.first();
    QList<bool> edits_pending;
    connect(&controller, &ControllerThread::status_changed, this,
            [&](const ControllerStatus &status) { edits_pending << status.edits_pending; });
    registry.start();
    QThread::msleep(3 * Controller::DEVICE_CHECK_MS); // the worker loads; its status copies wait here
    controller.set_edits_pending(true);
    QTRY_VERIFY(controller.status().live);
    QVERIFY(!edits_pending.isEmpty() && !edits_pending.contains(false));

    QStringList answers;
    const auto note = [&answers](const QString &what) {
        return [&answers, what](const Outcome &outcome) {
            answers << what + (outcome.ok() ? " done" : outcome.refusal == Refusal::closing ? " closing" : " other");
        };
    };
    if (apply_first)
        controller.apply(edited(controller.applied_config()), ChangeSource::window, note("apply"));
    controller.end(note("end"));
    controller.apply(edited(controller.applied_config()), ChangeSource::dbus, note("apply"));
    controller.set_manual(true, ChangeSource::dbus, note("manual"));
    controller.step(+1, ChangeSource::hot_key, note("step"));
    controller.end(note("end"));
    const QStringList at_once{"apply closing", "manual closing", "step closing", "end closing"};
    QCOMPARE(answers, at_once);
    QTRY_COMPARE(answers, at_once + answered);

    QTest::qWait(4 * Controller::POLL_MS); // no poll tick follows the write-back
    QList<int> sent;
    for (const SimWireRecord &record : sim.wire())
        if (record.direction == SimDirection::out)
            sent << record.command();
    QCOMPARE(sent.last(), int(cmd_write_config));
    QCOMPARE(sent.count(cmd_write_config), 1 + int(apply_first));
}

Q_DECLARE_METATYPE(GainStrength)

// The curve as (light, width) by point number; one percent is 5.64 widths,
// so a drop of 564 over 100 counts is -1 % per count.
void TestConfiguration::loop_gain_data()
{
    QTest::addColumn<QList<QPoint>>("points");
    QTest::addColumn<bool>("smooth");
    QTest::addColumn<double>("k");
    QTest::addColumn<int>("segments");
    // The strongest segment:
    QTest::addColumn<QPoint>("between"); // from_point, to_point, at their lights
    QTest::addColumn<double>("gain");
    QTest::addColumn<GainStrength>("strength");

    const QList<QPoint> falls{{0, 564}, {100, 564}, {200, 564}, {300, 0}, {400, 0}, {500, 0}, {600, 0}};
    const QList<QPoint> rises{{0, 0}, {100, 0}, {200, 0}, {300, 0}, {400, 282}, {500, 564}, {600, 564}};
    QTest::newRow("line falls, will hunt") << falls << true << 1.5 << 6 << QPoint(3, 4) << -1.5 << GainStrength::will;
    QTest::newRow("line falls, may hunt") << falls << true << 0.6 << 6 << QPoint(3, 4) << -0.6 << GainStrength::may;
    QTest::newRow("step falls, may hunt") << falls << false << 0.55 << 6 << QPoint(3, 4) << -0.55 << GainStrength::may;
    QTest::newRow("step falls, below half") << falls << false << 0.49 << 6 << QPoint(3, 4) << -0.49
                                            << GainStrength::none;
    QTest::newRow("line rises, runs away") << rises << true << 2.2 << 6 << QPoint(4, 5) << 1.1 << GainStrength::will;
    QTest::newRow("step rises, amplifies") << rises << false << 1.2 << 6 << QPoint(4, 5) << 0.6 << GainStrength::may;
    QTest::newRow("no coupling") << falls << true << 0.0 << 6 << QPoint(1, 2) << 0.0 << GainStrength::none;
    // Points 4 and 5 share a threshold: 5, the higher number, takes over at
    // 250 and 4 never drives. Steps go from 3's level straight to 5's (the
    // same); the line heads for 4 and climbs 564 over 50 counts.
    const QList<QPoint> tie{{0, 0}, {100, 0}, {200, 0}, {250, 564}, {250, 0}, {500, 0}, {600, 0}};
    QTest::newRow("tie, steps level") << tie << false << 0.3 << 5 << QPoint(1, 2) << 0.0 << GainStrength::none;
    QTest::newRow("tie, line to the hidden point") << tie << true << 0.3 << 5 << QPoint(3, 5) << 0.6
                                                   << GainStrength::may;
    // Point 2 at 500 comes after 3 by light; 3, reached first and higher by
    // number, keeps the lead there: the step is 3's level to 4's at 600.
    const QList<QPoint> out_of_order{{0, 0}, {500, 564}, {100, 0}, {600, 282}, {700, 282}, {800, 282}, {900, 282}};
    QTest::newRow("out of order, point 2 never drives")
        << out_of_order << false << 1.0 << 5 << QPoint(3, 4) << 0.1 << GainStrength::none;
}

void TestConfiguration::loop_gain()
{
    QFETCH(QList<QPoint>, points);
    QFETCH(bool, smooth);
    QFETCH(double, k);
    QFETCH(int, segments);
    QFETCH(QPoint, between);
    QFETCH(double, gain);
    QFETCH(GainStrength, strength);

    ConfigBlock config;
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        config.set_auto_light(n, unsigned(points[n - 1].x()));
        config.set_auto_pwm(n, unsigned(points[n - 1].y()));
    }
    config.set_pwm_smooth_alg(smooth);
    QCOMPARE(int(loop_gains(config, k).size()), segments);
    const std::optional<SegmentGain> strongest = strongest_segment(config, k);
    QVERIFY(strongest);
    QCOMPARE(QPoint(strongest->from_point, strongest->to_point), between);
    QCOMPARE(QPoint(int(strongest->light_from), int(strongest->light_to)),
             QPoint(points[between.x() - 1].x(), points[between.y() - 1].x()));
    QVERIFY2(qAbs(strongest->gain - gain) < 1e-9, qPrintable(QString::number(strongest->gain)));
    QCOMPARE(strongest->rising, gain > 0);
    QCOMPARE(strongest->strength, strength);
}

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
