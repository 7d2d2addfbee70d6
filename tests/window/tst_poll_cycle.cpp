// The poll cycle of a connected window: what a load shows, what the two
// read-outs show, which requests each tick sends, what a failed exchange
// leaves behind, unplugging and replugging, and the hot keys.

#include "protocol/commands.h"
#include "window_bench.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

using Requests = QList<int>;

class TestPollCycle : public QObject
{
    Q_OBJECT

private slots:
    void load_shows_the_block_data();
    void load_shows_the_block();
    void read_outs_data();
    void read_outs();
    void unchanged_read_out_keeps_its_selection();
    void manual_width_on_the_wire_data();
    void manual_width_on_the_wire();
    void requests_per_tick_data();
    void requests_per_tick();
    void mode_is_asked_for_until_reported_data();
    void mode_is_asked_for_until_reported();
    void failed_status_read_changes_nothing_data();
    void failed_status_read_changes_nothing();
    void failed_mode_or_width_request_data();
    void failed_mode_or_width_request();
    void failed_load_is_retried_data();
    void failed_load_is_retried();
    void unplug_and_replug();
    void hot_keys_data();
    void hot_keys();
    void hot_keys_wait_for_the_controller_to_report_manual();
};

void TestPollCycle::load_shows_the_block_data()
{
    QTest::addColumn<Controller>("controller");
    QTest::addColumn<QByteArray>("control");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("shown");

    QTest::newRow("threshold 01 F4") << Controller().byte(9, 0x01).byte(10, 0xF4)
                                     << QByteArray("auto_3_light_spinBox") << QByteArray("value") << QVariant(500);
    QTest::newRow("threshold 2000 clamped") << Controller().point(6, 2000, 100)
                                            << QByteArray("auto_6_light_spinBox") << QByteArray("value") << QVariant(1023);
    QTest::newRow("level 600 clamped") << Controller().point(2, 100, 600)
                                       << QByteArray("auto_2_verticalSlider") << QByteArray("value") << QVariant(564);
    QTest::newRow("level 600 shown as clamped") << Controller().point(2, 100, 600)
                                                << QByteArray("auto_2_lineEdit") << QByteArray("text") << QVariant("100%");
    QTest::newRow("level 282") << Controller().point(7, 900, 282)
                               << QByteArray("auto_7_lineEdit") << QByteArray("text") << QVariant("50%");
    QTest::newRow("step delay 255") << Controller().byte(33, 255)
                                    << QByteArray("pwm_step_delay_spinBox") << QByteArray("value") << QVariant(255);
    QTest::newRow("slide delay 0") << Controller().byte(34, 0)
                                   << QByteArray("pwm_slide_delay_spinBox") << QByteArray("value") << QVariant(0);
    QTest::newRow("smoothing byte 2") << Controller().byte(35, 2)
                                      << QByteArray("pwm_smooth_alg_checkBox") << QByteArray("checked") << QVariant(true);
    QTest::newRow("smoothing disables the step delay") << Controller().byte(35, 1)
                                                       << QByteArray("pwm_step_delay_spinBox") << QByteArray("enabled") << QVariant(false);
    QTest::newRow("smoothing byte 0") << Controller().byte(35, 0)
                                      << QByteArray("pwm_smooth_alg_checkBox") << QByteArray("checked") << QVariant(false);
    QTest::newRow("samples 0 clamped") << Controller().byte(36, 0)
                                       << QByteArray("avrg_light_num_spinBox") << QByteArray("value") << QVariant(1);
    QTest::newRow("samples 200 clamped") << Controller().byte(36, 200)
                                         << QByteArray("avrg_light_num_spinBox") << QByteArray("value") << QVariant(50);
    QTest::newRow("mode 1 is manual") << Controller().mode(1)
                                      << QByteArray("groupBox_5") << QByteArray("checked") << QVariant(true);
    QTest::newRow("mode 2 is automatic") << Controller().mode(2)
                                         << QByteArray("groupBox_5") << QByteArray("checked") << QVariant(false);
    QTest::newRow("manual slider starts at the width") << Controller().mode(1).pwm_width(300)
                                                       << QByteArray("pwm_width_horizontalSlider") << QByteArray("value") << QVariant(300);
}

void TestPollCycle::load_shows_the_block()
{
    QFETCH(Controller, controller);
    QFETCH(QByteArray, control);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, shown);

    Bench bench(controller);
    bench.connect();
    QCOMPARE(bench.control<QWidget>(control.constData())->property(property.constData()), shown);
    QVERIFY(!own_enabled(bench.apply()));
}

void TestPollCycle::read_outs_data()
{
    QTest::addColumn<Controller>("controller");
    QTest::addColumn<QString>("light");
    QTest::addColumn<QString>("brightness");
    QTest::addColumn<QStringList>("debug");

    // The live state of the reply 00 37 01 1A 02 00 00.
    QTest::newRow("example reply") << Controller().byte(0, 0x01).byte(1, 0x1A).byte(2, 0x02).byte(3, 0x00).byte(4, 0)
                                   << "512" << "50%" << QStringList();
    QTest::newRow("dark, off") << Controller().light(0).pwm_width(0) << "0" << "0%" << QStringList();
    QTest::newRow("width 563") << Controller().pwm_width(563) << "512" << "99%" << QStringList();
    QTest::newRow("width 564") << Controller().pwm_width(564) << "512" << "100%" << QStringList();
    QTest::newRow("width 1023 above full scale") << Controller().pwm_width(1023) << "512" << "181%" << QStringList();
    QTest::newRow("light 1023") << Controller().light(1023) << "1023" << "63%" << QStringList();
    QTest::newRow("light 1024") << Controller().light(1024) << "1024" << "63%" << QStringList{"ADC =  1024 "};
    QTest::newRow("light 65535") << Controller().light(65535) << "65535" << "63%" << QStringList{"ADC =  65535 "};
}

// One running tick refreshes both read-outs; only a reading above the
// sensor's scale writes the debug line, once.
void TestPollCycle::read_outs()
{
    QFETCH(Controller, controller);
    QFETCH(QString, light);
    QFETCH(QString, brightness);
    QFETCH(QStringList, debug);

    Bench bench(Controller().light(512).pwm_width(356));
    bench.connect();
    bench.controller_config() = controller.state.config;
    bench.forget_wire();
    DebugLines lines;
    bench.tick();

    QCOMPARE(bench.requests(), Requests{cmd_read_state});
    QCOMPARE(bench.last_reply(cmd_read_state).left(5), status_part(controller.state.config));
    QCOMPARE(bench.light_readout()->text(), light);
    QCOMPARE(bench.brightness_readout()->text(), brightness);
    QCOMPARE(lines.lines, debug);
}

// The read-outs are rewritten only when their text changes, so a value the
// user has selected to copy stays selected across ticks.
void TestPollCycle::unchanged_read_out_keeps_its_selection()
{
    Bench bench;
    bench.connect();
    bench.light_readout()->selectAll();
    bench.tick();
    QVERIFY(bench.light_readout()->hasSelectedText());
    bench.controller_config().set_light_adc(600);
    bench.tick();
    QCOMPARE(bench.light_readout()->text(), QStringLiteral("600"));
}

void TestPollCycle::manual_width_on_the_wire_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("report"); // how the request begins
    QTest::addColumn<QString>("brightness");

    QTest::newRow("300") << 300 << QByteArray::fromHex("00394b00") << "53%";
    QTest::newRow("564") << 564 << QByteArray::fromHex("00398d00") << "100%";
    QTest::newRow("563") << 563 << QByteArray::fromHex("00398c03") << "99%";
    QTest::newRow("1") << 1 << QByteArray::fromHex("00390001") << "0%";
    QTest::newRow("0") << 0 << QByteArray::fromHex("00390000") << "0%";
}

// In manual regulation the slider's width goes out as width div 4 and width
// mod 4, and the brightness read-out shows the slider, not the report.
void TestPollCycle::manual_width_on_the_wire()
{
    QFETCH(int, width);
    QFETCH(QByteArray, report);
    QFETCH(QString, brightness);

    Bench bench(Controller().mode(1).pwm_width(100));
    bench.connect();
    bench.manual_slider()->setValue(width);
    bench.forget_wire();
    bench.tick();

    QCOMPARE(bench.requests(), (Requests{cmd_read_state, cmd_set_pwm_width}));
    const QByteArray sent = bench.reports(cmd_set_pwm_width).value(0);
    QCOMPARE(sent.left(4), report);
    QCOMPARE(sent.size(), 65);
    QCOMPARE(bench.brightness_readout()->text(), brightness);
    QCOMPARE(bench.controller_config().pwm_width(), unsigned(width));
}

void TestPollCycle::requests_per_tick_data()
{
    QTest::addColumn<Controller>("controller");
    QTest::addColumn<bool>("plugged");
    QTest::addColumn<int>("choose_manual"); // after the first tick: -1 leave, 0 automatic, 1 manual
    QTest::addColumn<QList<Requests>>("ticks");

    const Requests load{cmd_identify, cmd_read_state, cmd_read_state};
    QTest::newRow("absent") << Controller() << false << -1 << QList<Requests>{{}, {}, {}};
    QTest::newRow("automatic") << Controller().mode(0) << true << -1
                               << QList<Requests>{load, {cmd_read_state}, {cmd_read_state}};
    QTest::newRow("automatic, controller reports 2")
        << Controller().mode(2) << true << -1
        << QList<Requests>{load + Requests{cmd_set_mode}, {cmd_read_state}, {cmd_read_state}};
    QTest::newRow("manual") << Controller().mode(1) << true << -1
                            << QList<Requests>{load + Requests{cmd_set_pwm_width},
                                               {cmd_read_state, cmd_set_pwm_width},
                                               {cmd_read_state, cmd_set_pwm_width}};
    QTest::newRow("manual chosen") << Controller().mode(0) << true << 1
                                   << QList<Requests>{load,
                                                      {cmd_read_state, cmd_set_mode, cmd_set_pwm_width},
                                                      {cmd_read_state, cmd_set_pwm_width}};
    QTest::newRow("automatic chosen") << Controller().mode(1) << true << 0
                                      << QList<Requests>{load + Requests{cmd_set_pwm_width},
                                                         {cmd_read_state, cmd_set_mode},
                                                         {cmd_read_state}};
}

void TestPollCycle::requests_per_tick()
{
    QFETCH(Controller, controller);
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
            bench.manual()->setChecked(choose_manual == 1);
    }
    QCOMPARE(bench.frame()->isEnabled(), plugged);
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

    Bench bench(Controller().mode(2));
    bench.connect();
    bench.manual()->setChecked(manual);
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

void TestPollCycle::failed_status_read_changes_nothing_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("silent") << int(SimFaultKind::silent);
    QTest::newRow("wrong echo") << int(SimFaultKind::wrong_echo);
    QTest::newRow("short reply") << int(SimFaultKind::short_reply);
    QTest::newRow("write fails") << int(SimFaultKind::write_fails);
}

void TestPollCycle::failed_status_read_changes_nothing()
{
    QFETCH(int, fault);

    Bench bench(Controller().mode(1).light(200).pwm_width(282));
    bench.connect();
    const QByteArray reported = bench.last_reply(cmd_read_state).left(5);
    bench.controller_config().set_light_adc(900);
    bench.controller_config().set_regulation_mode(0);
    bench.fail(cmd_read_state, SimFaultKind(fault));
    bench.forget_wire();
    bench.tick();

    QVERIFY(!bench.requests().contains(cmd_set_mode));
    QVERIFY(!bench.requests().contains(cmd_set_pwm_width));
    QCOMPARE(bench.light_readout()->text(), QStringLiteral("200"));
    QCOMPARE(bench.brightness_readout()->text(), QStringLiteral("50%"));
    QVERIFY(bench.frame()->isEnabled());
    bench.close(); // the write-back carries the status of the last good read
    QCOMPARE(bench.payloads(cmd_write_config).value(0).left(5), reported);
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

// The tick ends at the failed request; what its status read set stays, and
// the next tick repeats the pass.
void TestPollCycle::failed_mode_or_width_request()
{
    QFETCH(unsigned, reported_mode);
    QFETCH(bool, manual);
    QFETCH(int, failing);
    QFETCH(Requests, failed_tick);
    QFETCH(Requests, next_tick);

    // The same scenario twice: closed right after the failed tick, and run on.
    for (const bool close_at_once : {true, false}) {
        Bench bench(Controller().mode(reported_mode).light(100).pwm_width(564));
        bench.connect();
        bench.manual()->setChecked(manual);
        bench.manual_slider()->setValue(141);
        bench.controller_config().set_light_adc(777);
        bench.controller_config().set_pwm_width(282);
        const QByteArray status = status_part(bench.controller_config());
        bench.fail(failing, SimFaultKind::silent);
        bench.forget_wire();
        bench.tick();

        QCOMPARE(bench.requests(), failed_tick);
        QCOMPARE(bench.light_readout()->text(), QStringLiteral("777"));
        QCOMPARE(bench.brightness_readout()->text(), QStringLiteral("50%")); // reported, not the slider's 25%
        bench.forget_wire();
        if (close_at_once) {
            bench.close();
            QCOMPARE(bench.payloads(cmd_write_config).value(0).left(5), status);
        } else {
            bench.tick();
            QCOMPARE(bench.requests(), next_tick);
        }
    }
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
// following tick, without identifying again; the frame waits for it.
void TestPollCycle::failed_load_is_retried()
{
    QFETCH(int, failures);
    QFETCH(QList<Requests>, ticks);

    Bench bench(Controller().point(1, 40, 282));
    bench.fail(cmd_read_state, SimFaultKind::silent, failures);
    bench.check();
    for (int i = 0; i < ticks.size(); ++i) {
        bench.forget_wire();
        bench.tick();
        QVERIFY2(bench.requests() == ticks[i], qPrintable(QStringLiteral("tick %1").arg(i + 1)));
        const bool loaded = i >= failures;
        QCOMPARE(bench.frame()->isEnabled(), loaded);
        QCOMPARE(bench.percent(1)->text(), loaded ? QStringLiteral("50%") : QString());
    }
    QCOMPARE(config_part(bench.form()), config_part(bench.controller_config()));
}

// Unplugging closes the controller at the next check and disables the frame
// at the next tick; replugging reloads the form and drops unapplied edits.
void TestPollCycle::unplug_and_replug()
{
    Bench bench(Controller().point(4, 350, 250));
    bench.connect();
    bench.level(4)->setValue(500);
    QVERIFY(own_enabled(bench.apply()));

    bench.unplug();
    bench.forget_wire();
    bench.check();
    QVERIFY(bench.frame()->isEnabled());
    bench.tick();
    QVERIFY(bench.requests().isEmpty());
    QVERIFY(!bench.frame()->isEnabled());

    bench.controller_config().set_auto_light(2, 123); // changed elsewhere meanwhile
    bench.replug();
    bench.check();
    bench.tick();
    QCOMPARE(bench.requests(), (Requests{cmd_identify, cmd_read_state, cmd_read_state}));
    QCOMPARE(bench.level(4)->value(), 250);
    QCOMPARE(bench.threshold(2)->value(), 123);
    QCOMPARE(bench.percent(4)->text(), QStringLiteral("44%"));
    QVERIFY(!own_enabled(bench.apply()));
    QVERIFY(bench.frame()->isEnabled());
}

void TestPollCycle::hot_keys_data()
{
    QTest::addColumn<Controller>("controller");
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<bool>("unplugged");
    QTest::addColumn<int>("expected");

    const Controller manual = Controller().mode(1);
    const int up = Widget::HOTKEY_PWM_UP;
    const int down = Widget::HOTKEY_PWM_DOWN;
    QTest::newRow("up a step") << manual << 100 << QList<int>{up} << false << 117;
    QTest::newRow("up to full scale") << manual << 560 << QList<int>{up} << false << 564;
    QTest::newRow("up at full scale") << manual << 560 << QList<int>{up, up} << false << 564;
    QTest::newRow("down to zero") << manual << 10 << QList<int>{down} << false << 0;
    QTest::newRow("up and down") << manual << 300 << QList<int>{up, up, down} << false << 317;
    QTest::newRow("unknown id") << manual << 100 << QList<int>{103} << false << 100;
    QTest::newRow("automatic") << Controller().mode(0) << 100 << QList<int>{up} << false << 100;
    QTest::newRow("mode 2") << Controller().mode(2) << 100 << QList<int>{up} << false << 100;
    QTest::newRow("disconnected") << manual << 100 << QList<int>{up} << true << 100;
}

void TestPollCycle::hot_keys()
{
    QFETCH(Controller, controller);
    QFETCH(int, start);
    QFETCH(QList<int>, keys);
    QFETCH(bool, unplugged);
    QFETCH(int, expected);

    Bench bench(controller);
    bench.connect();
    bench.manual_slider()->setValue(start);
    if (unplugged) {
        bench.unplug();
        bench.check();
    }
    bench.forget_wire();
    for (int id : keys)
        bench.hot_key(id);
    QCOMPARE(bench.manual_slider()->value(), expected);
    QVERIFY(bench.requests().isEmpty()); // the next tick carries the level
    QVERIFY(!own_enabled(bench.apply()));
}

// Checking the manual group is not enough: the keys act once a status read
// has reported manual regulation, and the tick after sends their level.
void TestPollCycle::hot_keys_wait_for_the_controller_to_report_manual()
{
    Bench bench(Controller().mode(0).pwm_width(200));
    bench.connect();
    bench.manual()->setChecked(true);
    QCOMPARE(bench.manual_slider()->value(), 200);
    bench.hot_key(Widget::HOTKEY_PWM_UP);
    QCOMPARE(bench.manual_slider()->value(), 200);

    bench.tick(); // reads mode 0, then switches the controller to manual
    bench.hot_key(Widget::HOTKEY_PWM_UP);
    QCOMPARE(bench.manual_slider()->value(), 200);

    bench.tick(); // reads mode 1
    bench.hot_key(Widget::HOTKEY_PWM_UP);
    QCOMPARE(bench.manual_slider()->value(), 217);
    bench.forget_wire();
    bench.tick();
    QCOMPARE(bench.payloads(cmd_set_pwm_width).value(0).left(2), QByteArray::fromHex("3601"));
    QCOMPARE(bench.controller_config().pwm_width(), 217u);
}

QTEST_MAIN(TestPollCycle)
#include "tst_poll_cycle.moc"
