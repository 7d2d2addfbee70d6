// The poll cycle of the model: the tick that finds no controller, the tick
// that identifies and loads one, the identification failures that end the
// program, which requests each tick sends, what a failed exchange leaves
// behind, the hot keys' step, how often a drifting light is announced, and
// the sweep that measures the lamp's light. Unplugging and replugging: tests/window
// tst_view, which drives this model with the form attached.

#include "bench.h"
#include "model/device_lock.h"
#include "model/reversal_counter.h"
#include "protocol/commands.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cmath>

using Requests = QList<int>;

class TestPollCycle : public QObject
{
    Q_OBJECT

private slots:
    void first_tick_comes_before_the_controller_is_opened();
    void connecting_identifies_and_loads_in_one_tick();
    void device_check_takes_turns_under_the_lock();
    void open_retried_while_the_node_is_set_up_data();
    void open_retried_while_the_node_is_set_up();
    void identification_failure_data();
    void identification_failure();
    void manual_width_on_the_wire_data();
    void manual_width_on_the_wire();
    void requests_per_tick_data();
    void requests_per_tick();
    void mode_is_asked_for_until_reported_data();
    void mode_is_asked_for_until_reported();
    void failed_mode_or_width_request_data();
    void failed_mode_or_width_request();
    void failed_load_is_retried_data();
    void silence_is_said_and_clears_data();
    void silence_is_said_and_clears();
    void failed_load_is_retried();
    void hot_keys_data();
    void hot_keys();
    void hot_keys_wait_for_the_controller_to_report_manual();
    void readings_paced_data();
    void readings_paced();
    void coupling_sweep_data();
    void coupling_sweep();
    void brightness_turns_data();
    void brightness_turns();
};

void TestPollCycle::first_tick_comes_before_the_controller_is_opened()
{
    Bench bench;
    bench.tick();
    QVERIFY(bench.requests().isEmpty());
    QVERIFY(!bench.model().connected());
    QVERIFY(!bench.model().live());
}

void TestPollCycle::connecting_identifies_and_loads_in_one_tick()
{
    Bench bench(ControllerState().light(512).pwm_width(282).point(3, 500, 141));
    bench.check();
    QVERIFY(bench.requests().isEmpty()); // opening sends nothing
    bench.tick();

    const Controller &model = bench.model();
    QCOMPARE(bench.requests(), (Requests{cmd_identify, cmd_read_state, cmd_read_state}));
    QVERIFY(bench.failures.isEmpty());
    QVERIFY(model.identified() && model.config_loaded() && model.live());
    QCOMPARE(config_part(model.stored_config()), config_part(bench.controller_config()));
    QCOMPARE(model.light_reading(), 512u);
    QCOMPARE(model.brightness_width(), 282);
}

// The device check opens the controller only under its node's lock, holds
// it while connected and lets go once the controller is gone.
void TestPollCycle::device_check_takes_turns_under_the_lock()
{
    Bench bench;
    DeviceLock client = DeviceLock::for_node(QString::fromStdString(bench.sim().path(bench.device())));
    bench.model().share_device(true);

    QVERIFY(client.try_lock());
    bench.check();
    QVERIFY(!bench.model().connected());
    QCOMPARE(bench.sim().open_attempts(bench.device()), 0);

    client.unlock();
    bench.check();
    QVERIFY(bench.model().connected());
    QVERIFY(!client.try_lock());

    bench.unplug();
    bench.check();
    QVERIFY(!bench.model().connected());
    QVERIFY(client.try_lock());
}

void TestPollCycle::open_retried_while_the_node_is_set_up_data()
{
    QTest::addColumn<int>("error_number");
    QTest::addColumn<int>("denied");      // opens refused (SIM_ALWAYS: all)
    QTest::addColumn<int>("check_after"); // the 500 ms device check runs after this many opens (-1: never)
    QTest::addColumn<QString>("opens");   // each open in order: r refused, o opened
    // Each change of the status: w waiting for a retry, o open, s the failure said with its fix.
    QTest::addColumn<QString>("said");

    QTest::newRow("EACCES for the first 1.5 s") << EACCES << 5 << -1 << "rrrrro" << "wo";
    QTest::newRow("permission never comes") << EACCES << SIM_ALWAYS << -1 << "rrrrrr" << "ws";
    QTest::newRow("node not made yet") << ENOENT << 2 << -1 << "rro" << "wo";
    QTest::newRow("node busy") << EBUSY << 1 << -1 << "ro" << "wo";
    QTest::newRow("other errors are said at once") << EIO << SIM_ALWAYS << -1 << "r" << "s";
    QTest::newRow("device check between retries") << EACCES << SIM_ALWAYS << 2 << "rrrrrrr" << "ws";
    QTest::newRow("device check opens first") << EACCES << 2 << 2 << "rro" << "wo";
}

// An open refused as a node just plugged in is refused is tried again at
// 0.1..1.6 s, and only then said; the device check in between neither
// restarts nor prolongs the retries; retry_open() starts them afresh.
void TestPollCycle::open_retried_while_the_node_is_set_up()
{
    QFETCH(int, error_number);
    QFETCH(int, denied);
    QFETCH(int, check_after);
    QFETCH(QString, opens);
    QFETCH(QString, said);

    Bench bench;
    Controller &model = bench.model();
    bench.sim().deny_open(bench.device(), error_number, denied);
    QString statuses;
    QObject::connect(&model, &Controller::status_value_changed, [&statuses](const ControllerStatus &now) {
        const QChar word(now.opening ? 'w' : now.connected ? 'o' : now.open_failures.empty() ? '-' : 's');
        if (!statuses.endsWith(word))
            statuses += word;
    });
    bench.registry().check_devices(); // finds the controller and opens it
    while (model.opening()) {
        if (int(bench.sim().opens().size()) == check_after)
            model.check_hid_device();
        QTest::qWait(5);
    }
    QString opened;
    for (const SimOpenRecord &open : bench.sim().opens())
        opened += QLatin1Char(open.handle ? 'o' : 'r');
    QCOMPARE(opened, opens);
    QCOMPARE(statuses, said);
    if (!model.connected()) {
        QCOMPARE(model.status().open_failures.front().error_number, error_number);
        bench.sim().deny_open(bench.device(), 0);
        model.retry_open();
        QVERIFY(model.connected());
    }
}

void TestPollCycle::identification_failure_data()
{
    QTest::addColumn<ControllerState>("controller");
    QTest::addColumn<int>("identify_fault"); // -1: none
    QTest::addColumn<int>("version_found");
    QTest::addColumn<Requests>("sent"); // a write that fails is not on the wire

    const Requests identify_and_load{cmd_identify, cmd_read_state};
    QTest::newRow("version 2") << ControllerState().version(2) << -1 << 2 << identify_and_load;
    QTest::newRow("version 0") << ControllerState().version(0) << -1 << 0 << identify_and_load;
    QTest::newRow("silent") << ControllerState() << int(SimFaultKind::silent) << -1 << identify_and_load;
    QTest::newRow("wrong echo") << ControllerState() << int(SimFaultKind::wrong_echo) << -1 << identify_and_load;
    QTest::newRow("write fails") << ControllerState() << int(SimFaultKind::write_fails) << -1
                                 << Requests{cmd_read_state};
}

// The failure is reported once; the tick still loads the configuration, but
// a controller not identified as version 1 gets no request that changes its
// state: no mode, no level (its block asks for manual regulation), and no
// write-back when the program ends.
void TestPollCycle::identification_failure()
{
    QFETCH(ControllerState, controller);
    QFETCH(int, identify_fault);
    QFETCH(int, version_found);
    QFETCH(Requests, sent);

    Bench bench(controller.light(700).mode(1));
    if (identify_fault >= 0)
        bench.fail(cmd_identify, SimFaultKind(identify_fault));
    bench.check();
    bench.tick();

    QCOMPARE(bench.failures.size(), 1);
    QCOMPARE(bench.failures[0].version_found, version_found);
    QCOMPARE(bench.requests(), sent);
    QCOMPARE(config_part(bench.model().stored_config()), config_part(bench.controller_config()));
    QCOMPARE(bench.model().light_reading(), 700u);
    QVERIFY(!bench.model().identified());
    QCOMPARE(bench.model().apply_config(bench.model().stored_config()), Outcome::refused(Refusal::not_identified));

    bench.forget_wire();
    bench.close();
    QVERIFY(bench.requests().isEmpty());
}

void TestPollCycle::manual_width_on_the_wire_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("report"); // how the request begins

    QTest::newRow("300") << 300 << QByteArray::fromHex("00394b00");
    QTest::newRow("564") << 564 << QByteArray::fromHex("00398d00");
    QTest::newRow("563") << 563 << QByteArray::fromHex("00398c03");
    QTest::newRow("1") << 1 << QByteArray::fromHex("00390001");
    QTest::newRow("0") << 0 << QByteArray::fromHex("00390000");
}

// In manual regulation the level goes out as width div 4 and width mod 4,
// and the brightness shown is the level sent, not the report.
void TestPollCycle::manual_width_on_the_wire()
{
    QFETCH(int, width);
    QFETCH(QByteArray, report);

    Bench bench(ControllerState().mode(1).pwm_width(100));
    bench.connect();
    bench.model().set_manual_level(width);
    bench.forget_wire();
    bench.tick();

    QCOMPARE(bench.requests(), (Requests{cmd_read_state, cmd_set_pwm_width}));
    const QByteArray sent = bench.reports(cmd_set_pwm_width).value(0);
    QCOMPARE(sent.left(4), report);
    QCOMPARE(sent.size(), 65);
    QCOMPARE(bench.model().brightness_width(), width);
    QCOMPARE(bench.controller_config().pwm_width(), unsigned(width));
}

void TestPollCycle::requests_per_tick_data()
{
    QTest::addColumn<ControllerState>("controller");
    QTest::addColumn<bool>("plugged");
    QTest::addColumn<int>("choose_manual"); // after the first tick: -1 leave, 0 automatic, 1 manual
    QTest::addColumn<QList<Requests>>("ticks");

    const Requests load{cmd_identify, cmd_read_state, cmd_read_state};
    QTest::newRow("absent") << ControllerState() << false << -1 << QList<Requests>{{}, {}, {}};
    QTest::newRow("automatic") << ControllerState().mode(0) << true << -1
                               << QList<Requests>{load, {cmd_read_state}, {cmd_read_state}};
    QTest::newRow("automatic, controller reports 2")
        << ControllerState().mode(2) << true << -1
        << QList<Requests>{load + Requests{cmd_set_mode}, {cmd_read_state}, {cmd_read_state}};
    QTest::newRow("manual") << ControllerState().mode(1) << true << -1
                            << QList<Requests>{load + Requests{cmd_set_pwm_width},
                                               {cmd_read_state, cmd_set_pwm_width},
                                               {cmd_read_state, cmd_set_pwm_width}};
    QTest::newRow("manual chosen") << ControllerState().mode(0) << true << 1
                                   << QList<Requests>{load,
                                                      {cmd_read_state, cmd_set_mode, cmd_set_pwm_width},
                                                      {cmd_read_state, cmd_set_pwm_width}};
    QTest::newRow("automatic chosen") << ControllerState().mode(1) << true << 0
                                      << QList<Requests>{load + Requests{cmd_set_pwm_width},
                                                         {cmd_read_state, cmd_set_mode},
                                                         {cmd_read_state}};
}

void TestPollCycle::requests_per_tick()
{
    QFETCH(ControllerState, controller);
    QFETCH(bool, plugged);
    QFETCH(int, choose_manual);
    QFETCH(QList<Requests>, ticks);

    Bench bench(controller);
    if (!plugged)
        bench.unplug();
    bench.check();
    for (int i = 0; i < ticks.size(); ++i) {
        bench.forget_wire();
        bench.tick();
        QVERIFY2(bench.requests() == ticks[i], qPrintable(QStringLiteral("tick %1").arg(i + 1)));
        if (i == 0 && choose_manual >= 0)
            bench.model().set_wanted_mode(RegulationMode(choose_manual));
    }
    QCOMPARE(bench.model().live(), plugged);
}

void TestPollCycle::mode_is_asked_for_until_reported_data()
{
    QTest::addColumn<bool>("manual");
    QTest::addColumn<Requests>("each_tick");

    QTest::newRow("manual chosen") << true << Requests{cmd_read_state, cmd_set_mode, cmd_set_pwm_width};
    QTest::newRow("automatic chosen") << false << Requests{cmd_read_state, cmd_set_mode};
}

// A controller that keeps reporting mode 2 is asked for the chosen mode on
// every tick; once it reports that mode, the asking stops.
void TestPollCycle::mode_is_asked_for_until_reported()
{
    QFETCH(bool, manual);
    QFETCH(Requests, each_tick);

    Bench bench(ControllerState().mode(2));
    bench.connect();
    bench.model().set_wanted_mode(manual ? RegulationMode::manual : RegulationMode::automatic);
    for (int i = 0; i < 3; ++i) {
        bench.controller_config().set_regulation_mode(2);
        bench.forget_wire();
        bench.tick();
        QCOMPARE(bench.requests(), each_tick);
        QCOMPARE(bench.payloads(cmd_set_mode).first().at(0), char(manual ? 1 : 0));
    }
    bench.forget_wire();
    bench.tick();
    QVERIFY(!bench.requests().contains(cmd_set_mode));
}

void TestPollCycle::failed_mode_or_width_request_data()
{
    QTest::addColumn<unsigned>("reported_mode");
    QTest::addColumn<bool>("manual");
    QTest::addColumn<int>("failing");
    QTest::addColumn<Requests>("failed_tick");
    QTest::addColumn<Requests>("next_tick");

    QTest::newRow("set mode 1 fails") << 0u << true << int(cmd_set_mode)
                                      << Requests{cmd_read_state, cmd_set_mode}
                                      << Requests{cmd_read_state, cmd_set_mode, cmd_set_pwm_width};
    QTest::newRow("set width fails") << 1u << true << int(cmd_set_pwm_width)
                                     << Requests{cmd_read_state, cmd_set_pwm_width}
                                     << Requests{cmd_read_state, cmd_set_pwm_width};
    QTest::newRow("set mode 0 fails") << 1u << false << int(cmd_set_mode)
                                      << Requests{cmd_read_state, cmd_set_mode}
                                      << Requests{cmd_read_state, cmd_set_mode};
}

// The tick ends at the failed request; what its status read set stays (the
// write-back carries it: the invariant checker's rule 1), and the next tick
// repeats the pass.
void TestPollCycle::failed_mode_or_width_request()
{
    QFETCH(unsigned, reported_mode);
    QFETCH(bool, manual);
    QFETCH(int, failing);
    QFETCH(Requests, failed_tick);
    QFETCH(Requests, next_tick);

    Bench bench(ControllerState().mode(reported_mode).light(100).pwm_width(564));
    bench.connect();
    bench.model().set_wanted_mode(manual ? RegulationMode::manual : RegulationMode::automatic);
    bench.model().set_manual_level(141);
    bench.controller_config().set_light_adc(777);
    bench.controller_config().set_pwm_width(282);
    bench.fail(failing, SimFaultKind::silent);
    bench.forget_wire();
    bench.tick();

    QCOMPARE(bench.requests(), failed_tick);
    QCOMPARE(bench.model().light_reading(), 777u);
    QCOMPARE(bench.model().brightness_width(), 282); // reported, not the level's 141
    bench.forget_wire();
    bench.tick();
    QCOMPARE(bench.requests(), next_tick);
}

void TestPollCycle::failed_load_is_retried_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<QList<Requests>>("ticks");

    const Requests load_and_status{cmd_read_state, cmd_read_state};
    QTest::newRow("once") << 1
                          << QList<Requests>{{cmd_identify, cmd_read_state}, load_and_status, {cmd_read_state}};
    QTest::newRow("twice") << 2
                           << QList<Requests>{{cmd_identify, cmd_read_state}, {cmd_read_state},
                                              load_and_status, {cmd_read_state}};
}

// A load that fails after the version was accepted is tried again on each
// following tick, without identifying again; the model is not live until it
// has loaded.
void TestPollCycle::failed_load_is_retried()
{
    QFETCH(int, failures);
    QFETCH(QList<Requests>, ticks);

    Bench bench(ControllerState().point(1, 40, 282));
    bench.fail(cmd_read_state, SimFaultKind::silent, failures);
    bench.check();
    for (int i = 0; i < ticks.size(); ++i) {
        bench.forget_wire();
        bench.tick();
        QVERIFY2(bench.requests() == ticks[i], qPrintable(QStringLiteral("tick %1").arg(i + 1)));
        const bool loaded = i >= failures;
        QCOMPARE(bench.model().live(), loaded);
        QCOMPARE(bench.model().config_loaded(), loaded);
    }
    QCOMPARE(config_part(bench.model().stored_config()), config_part(bench.controller_config()));
}

void TestPollCycle::silence_is_said_and_clears_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("times");
    // t: a poll tick, c: a device check; then whether the controller is
    // said to answer after each step.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("answering");

    const int silent = int(SimFaultKind::silent);
    QTest::newRow("one read lost") << silent << 1 << "ttt" << "111";
    QTest::newRow("two reads lost") << silent << 2 << "tcttc" << "11011";
    QTest::newRow("link fails on a controller still there")
        << int(SimFaultKind::write_fails) << 3 << "ttctt" << "11001";
    QTest::newRow("unplugged is gone, not silent") << int(SimFaultKind::unplug_mid_exchange) << 1 << "tttc" << "1111";
}

// Two status reads in a row that fail say the controller is silent, since
// the first of them began; the next answered read takes it back.
void TestPollCycle::silence_is_said_and_clears()
{
    QFETCH(int, fault);
    QFETCH(int, times);
    QFETCH(QString, steps);
    QFETCH(QString, answering);

    Bench bench(ControllerState().light(300));
    bench.connect();
    bench.fail(cmd_read_state, SimFaultKind(fault), times);
    const QDateTime first_read = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < steps.size(); ++i) {
        steps[i] == QLatin1Char('t') ? bench.tick() : bench.check();
        const ControllerStatus now = bench.model().status();
        QVERIFY2(now.answering == (answering[i] == QLatin1Char('1')), qPrintable(QStringLiteral("step %1").arg(i + 1)));
        QCOMPARE(now.silent_since.isValid(), !now.answering);
        QVERIFY(now.answering || (now.silent_since >= first_read && now.silent_since <= QDateTime::currentDateTimeUtc()));
        QCOMPARE(now.light, 300u); // the last reading stays
    }
}

void TestPollCycle::hot_keys_data()
{
    QTest::addColumn<ControllerState>("controller");
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<bool>("unplugged");
    QTest::addColumn<int>("expected");

    const ControllerState manual = ControllerState().mode(1);
    const int up = +Controller::HOTKEY_PWM_STEP;
    const int down = -Controller::HOTKEY_PWM_STEP;
    QTest::newRow("up a step") << manual << 100 << QList<int>{up} << false << 117;
    QTest::newRow("up to full scale") << manual << 560 << QList<int>{up} << false << 564;
    QTest::newRow("up at full scale") << manual << 560 << QList<int>{up, up} << false << 564;
    QTest::newRow("down to zero") << manual << 10 << QList<int>{down} << false << 0;
    QTest::newRow("up and down") << manual << 300 << QList<int>{up, up, down} << false << 317;
    // Outside manual regulation neither the level nor a step is taken.
    QTest::newRow("automatic") << ControllerState().mode(0) << 100 << QList<int>{up} << false << 0;
    QTest::newRow("mode 2") << ControllerState().mode(2) << 100 << QList<int>{up} << false << 0;
    QTest::newRow("disconnected") << manual << 100 << QList<int>{up} << true << 100;
}

void TestPollCycle::hot_keys()
{
    QFETCH(ControllerState, controller);
    QFETCH(int, start);
    QFETCH(QList<int>, steps);
    QFETCH(bool, unplugged);
    QFETCH(int, expected);

    Bench bench(controller);
    bench.connect();
    bench.model().set_manual_level(start);
    if (unplugged) {
        bench.unplug();
        bench.check();
    }
    bench.forget_wire();
    for (int step : steps)
        bench.model().pwm_width_step(step);
    QCOMPARE(bench.model().manual_level(), expected);
    QVERIFY(bench.requests().isEmpty()); // the next tick carries the level
    QVERIFY(!bench.model().edits_pending());
}

// Choosing manual regulation is not enough: the step acts once a status read
// has reported manual regulation, and the tick after sends its level.
void TestPollCycle::hot_keys_wait_for_the_controller_to_report_manual()
{
    Bench bench(ControllerState().mode(0).pwm_width(200));
    bench.connect();
    Controller &model = bench.model();
    model.set_wanted_mode(RegulationMode::manual);
    QCOMPARE(model.manual_level(), 200);
    QCOMPARE(model.pwm_width_step(Controller::HOTKEY_PWM_STEP), Refusal::not_manual);
    QCOMPARE(model.manual_level(), 200);

    bench.tick(); // reads mode 0, then switches the controller to manual
    QCOMPARE(model.pwm_width_step(Controller::HOTKEY_PWM_STEP), Refusal::not_manual);
    QCOMPARE(model.manual_level(), 200);

    bench.tick(); // reads mode 1
    QCOMPARE(model.pwm_width_step(Controller::HOTKEY_PWM_STEP), Refusal::none);
    QCOMPARE(model.manual_level(), 217);
    bench.forget_wire();
    bench.tick();
    QCOMPARE(bench.payloads(cmd_set_pwm_width).value(0).left(2), QByteArray::fromHex("3601"));
    QCOMPARE(bench.controller_config().pwm_width(), 217u);
}

void TestPollCycle::readings_paced_data()
{
    QTest::addColumn<bool>("paced");
    // l: the light moves by one and a tick runs; t: a tick; w: the pace
    // passes (READINGS_MS); e: the window holds edits (a state change);
    // v: manual level 300 is asked for; q, Q: nobody looks from now on,
    // someone does again.
    QTest::addColumn<QString>("steps");
    // What was announced meanwhile: light/brightness, "e" while edits are held.
    QTest::addColumn<QStringList>("announced");

    QTest::newRow("a burst of readings: the first, then the latest")
        << true << "lllwl" << QStringList{"501/200", "504/200"};
    QTest::newRow("the latest comes with the first tick after the pace")
        << true << "llwt" << QStringList{"501/200", "502/200"};
    QTest::newRow("a state change goes through the pace, with the latest readings")
        << true << "llle" << QStringList{"501/200", "503/200e"};
    QTest::newRow("readings after a state change wait for its pace")
        << true << "lelwt" << QStringList{"501/200", "501/200e", "502/200e"};
    QTest::newRow("nobody looks: held past the pace, until someone looks")
        << true << "qlwlwtQt" << QStringList{"502/200"};
    QTest::newRow("an action: asked and sent, each said at once")
        << true << "lvtl" << QStringList{"501/200", "501/200", "501/300"};
    QTest::newRow("unpaced: every reading")
        << false << "llle" << QStringList{"501/200", "502/200", "503/200", "503/200e"};
}

// A drifting light costs every view, D-Bus and the history a few statuses
// a second, none while nobody looks; whatever else changes is said at once.
void TestPollCycle::readings_paced()
{
    QFETCH(bool, paced);
    QFETCH(QString, steps);
    QFETCH(QStringList, announced);

    Bench bench(ControllerState().light(500).mode(1).pwm_width(200));
    Controller &model = bench.model();
    model.pace_readings(paced);
    bench.connect();
    QTest::qWait(Controller::READINGS_MS);
    QStringList said;
    QObject::connect(&model, &Controller::status_value_changed, [&said](const ControllerStatus &now) {
        said << QStringLiteral("%1/%2").arg(now.light).arg(now.brightness_width) + (now.edits_pending ? "e" : "");
    });
    for (const QChar step : steps) {
        switch (step.toLatin1()) {
        case 'l':
            bench.controller_config().set_light_adc(bench.controller_config().light_adc() + 1);
            bench.tick();
            break;
        case 't':
            bench.tick();
            break;
        case 'w':
            QTest::qWait(Controller::READINGS_MS);
            break;
        case 'e':
            model.set_edits_pending(true);
            break;
        case 'v':
            QCOMPARE(model.set_manual_level(300), Refusal::none);
            break;
        case 'q':
        case 'Q':
            model.set_quiet(step == QLatin1Char('q'));
            break;
        }
    }
    QCOMPARE(said, announced);
}

void TestPollCycle::coupling_sweep_data()
{
    // Its room, and the regulation the sweep must put back: automatic, or
    // manual at its width.
    QTest::addColumn<ControllerState>("controller");
    // What happens once `at_step` steps are done: "" nothing, "cancel",
    // "end" (the program closes), "silent" (two status reads lost),
    // "unplug" (then plugged in again), "widths lost" (no width command
    // arrives from then on).
    QTest::addColumn<int>("at_step");
    QTest::addColumn<QString>("interruption");
    QTest::addColumn<QByteArray>("error");
    QTest::addColumn<double>("k"); // counts per percent, within 5 % + 0.05
    QTest::addColumn<bool>("stable");

    const auto automatic = [] { return ControllerState().mode(0).pwm_width(0); };
    const auto manual = [] { return ControllerState().mode(1).pwm_width(200); };
    QTest::newRow("no coupling") << automatic().room(300, 0) << 3 << "" << QByteArray() << 0.0 << true;
    QTest::newRow("a small coupling") << manual().room(300, 0.5) << 3 << "" << QByteArray() << 0.5 << true;
    QTest::newRow("a strong coupling, a lamp that takes its time")
        << automatic().room(100, 5, 0, 0, 150) << 3 << "" << QByteArray() << 5.0 << true;
    QTest::newRow("noise within the agreement") << manual().room(300, 2, 3) << 3 << "" << QByteArray() << 2.0 << true;
    QTest::newRow("the room brightens: every step settles, the ambient moved")
        << automatic().room(100, 2, 0, 5) << 3 << "" << QByteArray() << 2.0 << false;
    QTest::newRow("no step takes its width: each runs out of time")
        << automatic().room(300, 2) << 0 << "widths lost" << QByteArray() << 0.0 << false;
    QTest::newRow("silent mid-sweep") << manual().room(300, 1) << 3 << "silent" << QByteArray("silent") << 0.0 << false;
    QTest::newRow("unplugged mid-sweep, plugged in again")
        << automatic().room(300, 1) << 3 << "unplug" << QByteArray("unplugged") << 0.0 << false;
    QTest::newRow("cancelled") << manual().room(300, 1) << 3 << "cancel" << QByteArray("cancelled") << 0.0 << false;
    QTest::newRow("the program ends mid-sweep")
        << manual().room(300, 1) << 3 << "end" << QByteArray("closing") << 0.0 << false;
}

// The sweep on the simulator's clock, a poll every POLL_MS: how it ends,
// what it measured, that nothing else drives the controller meanwhile, and
// that the mode and level before it come back on every ending.
void TestPollCycle::coupling_sweep()
{
    QFETCH(ControllerState, controller);
    QFETCH(int, at_step);
    QFETCH(QString, interruption);
    QFETCH(QByteArray, error);
    QFETCH(double, k);
    QFETCH(bool, stable);

    Bench bench(controller);
    Controller &model = bench.model();
    model.set_clock([&bench] { return qint64(bench.sim().now_ms()); });
    model.set_coupling_timing({});
    bench.connect();
    const RegulationMode mode_before = model.wanted_mode();
    const int level_before = model.manual_level();
    int step = -1;
    int manual_changes = 0;
    QList<CouplingResult> finished;
    QObject::connect(&model, &Controller::coupling_progress, [&step](int done, int steps) {
        QVERIFY(done == step + 1 && steps == CouplingSweep::STEPS);
        step = done;
    });
    QObject::connect(&model, &Controller::coupling_finished, [&finished](const CouplingResult &result) {
        finished << result;
    });
    QObject::connect(&model, &Controller::manual_change, [&manual_changes] { ++manual_changes; });
    const auto poll_until = [&bench, &finished, &step](int steps_done) {
        for (int tick = 0; tick < 2000 && finished.isEmpty() && step < steps_done; ++tick) {
            bench.sim().advance_clock(Controller::POLL_MS);
            bench.tick();
        }
    };

    const qint64 started_ms = bench.sim().now_ms();
    model.set_edits_pending(true); // the owner applies or discards them first
    QCOMPARE(model.start_coupling(), Refusal::edits_pending);
    model.set_edits_pending(false);
    QCOMPARE(model.start_coupling(), Refusal::none);
    poll_until(at_step);
    QCOMPARE(step, at_step);
    QVERIFY(model.status().measuring);
    QCOMPARE(model.set_manual_level(100), Refusal::measuring);
    QCOMPARE(model.set_wanted_mode(RegulationMode::automatic), Refusal::measuring);
    QCOMPARE(model.pwm_width_step(Controller::HOTKEY_PWM_STEP), Refusal::measuring);
    QCOMPARE(model.apply_config(model.stored_config()).refusal, Refusal::measuring);
    QCOMPARE(model.start_coupling(), Refusal::measuring);

    if (interruption == QLatin1String("cancel"))
        model.cancel_coupling();
    else if (interruption == QLatin1String("silent"))
        bench.fail(cmd_read_state, SimFaultKind::silent, Controller::SILENT_AFTER_FAILED_READS);
    else if (interruption == QLatin1String("widths lost"))
        bench.fail(cmd_set_pwm_width, SimFaultKind::write_fails, SIM_ALWAYS);
    else if (interruption == QLatin1String("unplug")) {
        bench.unplug();
        bench.check();
        QCOMPARE(finished.size(), 1);
        bench.replug();
        bench.connect();
    } else if (interruption == QLatin1String("end"))
        bench.close();
    if (bench.running()) {
        poll_until(CouplingSweep::STEPS);
        bench.tick(); // carries what was put back
        QVERIFY(!model.status().measuring);
        QCOMPARE(model.wanted_mode(), mode_before);
        QCOMPARE(model.manual_level(), level_before);
    }
    QCOMPARE(RegulationMode(bench.controller_config().regulation_mode()), mode_before);
    if (mode_before == RegulationMode::manual)
        QCOMPARE(int(bench.controller_config().pwm_width()), level_before);
    QCOMPARE(manual_changes, 0); // the sweep's levels are no corrections

    QCOMPARE(finished.size(), 1);
    const CouplingResult &result = finished.front();
    QCOMPARE(result.error, error);
    if (!result.measured())
        return;
    QCOMPARE(step, CouplingSweep::STEPS);
    QVERIFY2(std::abs(result.counts_per_percent - k) <= 0.05 * k + 0.05,
             qPrintable(QString::number(result.counts_per_percent)));
    QCOMPARE(result.stable, stable);
    QCOMPARE(result.points.size(), CouplingSweep::PERCENTS.size());
    if (stable)
        QVERIFY(bench.sim().now_ms() - started_ms < 60'000);
}

void TestPollCycle::brightness_turns_data()
{
    // The widths of successive status reads (2 % of full scale is 11.28);
    // -1: a read in manual regulation.
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<int>("turns");

    QTest::newRow("steady, then one way only") << QList<int>{300, 300, 350, 400, 400} << 0;
    QTest::newRow("up and back by 2 %") << QList<int>{300, 312, 300} << 1;
    QTest::newRow("back by less than 2 %") << QList<int>{300, 312, 301} << 0;
    QTest::newRow("a wobble smaller than 2 % never starts a move") << QList<int>{300, 308, 295, 306, 296} << 0;
    QTest::newRow("measured from the peak, not the start") << QList<int>{300, 340, 320, 328} << 1;
    QTest::newRow("hunting: up, down, up, down") << QList<int>{300, 330, 300, 330, 300} << 3;
    QTest::newRow("a slow turn over several reads") << QList<int>{300, 320, 315, 310, 305, 330} << 2;
    QTest::newRow("manual regulation between: the move starts afresh")
        << QList<int>{300, 330, -1, 300, 330} << 0;
}

// The turns the history counts as hunting: only real moves back and forth,
// only while the controller regulates by itself.
void TestPollCycle::brightness_turns()
{
    QFETCH(QList<int>, widths);
    QFETCH(int, turns);
    ReversalCounter counter;
    for (const int width : widths)
        counter.note(std::max(width, 0), width >= 0);
    QCOMPARE(int(counter.count()), turns);
}

QTEST_MAIN(TestPollCycle)
#include "tst_poll_cycle.moc"
