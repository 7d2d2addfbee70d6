// Editing the form and Apply: which changes count as edits, the curve
// labels, the dependent controls, and the block that Apply writes.

#include "protocol/commands.h"
#include "window_bench.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

namespace {

// Counts the enabled-state changes of one widget.
class EnabledChanges : public QObject
{
public:
    explicit EnabledChanges(QWidget *widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            ++count;
        return false;
    }
};

// A configuration unlike the simulator's factory one in every field.
ConfigBlock edited_config(bool smoothing)
{
    ConfigBlock config;
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        config.set_auto_light(n, unsigned(n == 7 ? 1023 : 17 * n + 3));
        config.set_auto_pwm(n, unsigned(n == 7 ? 563 : 70 * n + 1));
    }
    config.set_pwm_step_delay(255);
    config.set_pwm_slide_delay(0);
    config.set_pwm_smooth_alg(smoothing);
    config.set_avrg_light_num(50);
    return config;
}

} // namespace

Q_DECLARE_METATYPE(ConfigBlock)

class TestEditing : public QObject
{
    Q_OBJECT

private slots:
    void curve_slider_shows_its_percentage_data();
    void curve_slider_shows_its_percentage();
    void every_configuration_control_marks_an_edit_data();
    void every_configuration_control_marks_an_edit();
    void load_is_not_an_edit();
    void smoothing_box_switches_the_step_delay();
    void manual_switch_data();
    void manual_switch();
    void manual_slider_is_not_an_edit();

    void apply_writes_big_endian_fields();
    void apply_round_trip_data();
    void apply_round_trip();
    void apply_sends_the_last_status();
    void apply_without_controller();
    void apply_not_confirmed_data();
    void apply_not_confirmed();
    void apply_writes_clamped_values_data();
    void apply_writes_clamped_values();
    void apply_reads_disabled_controls();
};

void TestEditing::curve_slider_shows_its_percentage_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("0") << 0 << "0%";
    QTest::newRow("5") << 5 << "0%";
    QTest::newRow("6") << 6 << "1%";
    QTest::newRow("282") << 282 << "50%";
    QTest::newRow("563") << 563 << "99%";
    QTest::newRow("564") << 564 << "100%";
}

// Each curve slider writes its own label only.
void TestEditing::curve_slider_shows_its_percentage()
{
    QFETCH(int, value);
    QFETCH(QString, text);

    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        Bench bench(Controller().levels(100));
        bench.connect();
        bench.level(n)->setValue(value);
        for (int other = 1; other <= ConfigBlock::CURVE_POINTS; ++other) {
            QCOMPARE(bench.percent(other)->text(), other == n ? text : QStringLiteral("17%"));
        }
        QVERIFY(own_enabled(bench.apply()));
        QCOMPARE(bench.requests().size(), 3); // the connection's; editing sends nothing
    }
}

void TestEditing::every_configuration_control_marks_an_edit_data()
{
    QTest::addColumn<QByteArray>("control");
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        const QByteArray name = "auto_" + QByteArray::number(n) + "_light_spinBox";
        QTest::newRow(name.constData()) << name;
    }
    for (const char *name : {"pwm_step_delay_spinBox", "pwm_slide_delay_spinBox", "avrg_light_num_spinBox"})
        QTest::newRow(name) << QByteArray(name);
}

void TestEditing::every_configuration_control_marks_an_edit()
{
    QFETCH(QByteArray, control);

    Bench bench;
    bench.connect();
    QSpinBox *box = bench.control<QSpinBox>(control.constData());
    box->setValue(box->value() + 1);
    QVERIFY(own_enabled(bench.apply()));
}

// Setting every control from a load runs their handlers, yet Apply is not
// enabled on the way, neither by the first load nor by a reload of a
// configuration that differs in every field.
void TestEditing::load_is_not_an_edit()
{
    Bench bench(Controller().byte(35, 0));
    EnabledChanges changes(bench.apply());
    bench.connect();
    QCOMPARE(changes.count, 0);

    const ConfigBlock other = edited_config(true);
    bench.replace(Controller());
    bench.controller_config() = other;
    bench.connect();
    QCOMPARE(config_part(bench.form()), config_part(other));
    QCOMPARE(changes.count, 0);
    QVERIFY(!own_enabled(bench.step_delay())); // the load's smoothing still switches it
}

void TestEditing::smoothing_box_switches_the_step_delay()
{
    Bench bench(Controller().byte(35, 0));
    bench.connect();
    QVERIFY(bench.step_delay()->isEnabled());

    bench.smoothing()->click();
    QVERIFY(!bench.step_delay()->isEnabled());
    QVERIFY(own_enabled(bench.apply()));

    bench.apply()->click();
    bench.smoothing()->click();
    QVERIFY(bench.step_delay()->isEnabled());
    QVERIFY(own_enabled(bench.apply()));
}

void TestEditing::manual_switch_data()
{
    QTest::addColumn<bool>("edited");
    QTest::newRow("no edits") << false;
    QTest::newRow("unapplied edits") << true;
}

// Switching to manual regulation starts the slider at the width of the last
// status read and is no configuration edit either way.
void TestEditing::manual_switch()
{
    QFETCH(bool, edited);

    Bench bench(Controller().mode(0).pwm_width(100));
    bench.connect();
    bench.controller_config().set_pwm_width(321);
    bench.tick();
    bench.controller_config().set_pwm_width(400); // not read yet
    if (edited)
        bench.slide_delay()->setValue(1);

    bench.manual()->setChecked(true);
    QVERIFY(!bench.auto_group()->isEnabled());
    QCOMPARE(bench.manual_slider()->value(), 321);
    QCOMPARE(own_enabled(bench.apply()), edited);

    bench.manual()->setChecked(false);
    QVERIFY(bench.auto_group()->isEnabled());
    QCOMPARE(own_enabled(bench.apply()), edited);
}

void TestEditing::manual_slider_is_not_an_edit()
{
    Bench bench(Controller().mode(1));
    bench.connect();
    bench.manual_slider()->setValue(42);
    QVERIFY(!own_enabled(bench.apply()));
}

void TestEditing::apply_writes_big_endian_fields()
{
    Bench bench;
    bench.connect();
    bench.threshold(1)->setValue(1023);
    bench.threshold(3)->setValue(500);
    bench.level(7)->setValue(564);
    bench.forget_wire();
    bench.apply()->click();

    QCOMPARE(bench.requests(), QList<int>{cmd_write_config});
    const QByteArray payload = bench.payloads(cmd_write_config).value(0);
    QCOMPARE(payload.mid(5, 2), QByteArray::fromHex("03ff"));
    QCOMPARE(payload.mid(9, 2), QByteArray::fromHex("01f4"));
    QCOMPARE(payload.mid(31, 2), QByteArray::fromHex("0234"));
    QVERIFY(!own_enabled(bench.apply()));
}

void TestEditing::apply_round_trip_data()
{
    QTest::addColumn<ConfigBlock>("config");
    QTest::newRow("smoothing on") << edited_config(true);
    QTest::newRow("smoothing off") << edited_config(false);
}

// Apply writes what the form shows; reading it back after a reconnection
// shows the same form.
void TestEditing::apply_round_trip()
{
    QFETCH(ConfigBlock, config);

    Bench bench(Controller().byte(35, config.pwm_smooth_alg() ? 0 : 1));
    bench.connect();
    bench.enter(config);
    QCOMPARE(config_part(bench.form()), config_part(config));
    bench.apply()->click();
    QCOMPARE(config_part(bench.controller_config()), config_part(config));
    QCOMPARE(bench.payloads(cmd_write_config).value(0).at(35), char(config.pwm_smooth_alg()));

    bench.unplug();
    bench.check();
    bench.tick();
    bench.enter(edited_config(!config.pwm_smooth_alg())); // unapplied, then reloaded over
    bench.replug();
    bench.connect();
    QCOMPARE(config_part(bench.form()), config_part(config));
}

void TestEditing::apply_sends_the_last_status()
{
    Bench bench(Controller().mode(0).light(10).pwm_width(20));
    bench.connect();
    bench.controller_config().set_light_adc(0x0304);
    bench.controller_config().set_pwm_width(0x0102);
    bench.tick();
    bench.controller_config().set_light_adc(999); // not read yet
    bench.manual_slider()->setValue(500);
    bench.slide_delay()->setValue(7);
    bench.forget_wire();
    bench.apply()->click();
    QCOMPARE(bench.payloads(cmd_write_config).value(0).left(5), QByteArray::fromHex("0102030400"));
}

// With the controller gone the button still resets and nothing goes out; the
// reconnection then loads the controller's own configuration.
void TestEditing::apply_without_controller()
{
    Bench bench(Controller().point(5, 500, 350));
    bench.connect();
    bench.level(5)->setValue(10);
    bench.unplug();
    bench.check();
    bench.forget_wire();
    bench.apply()->click();
    QVERIFY(bench.sim().wire().empty());
    QVERIFY(!own_enabled(bench.apply()));

    bench.replug();
    bench.connect();
    QCOMPARE(bench.level(5)->value(), 350);
    QCOMPARE(bench.controller_config().auto_pwm(5), 350u);
}

void TestEditing::apply_not_confirmed_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("silent") << int(SimFaultKind::silent);
    QTest::newRow("wrong echo") << int(SimFaultKind::wrong_echo);
    QTest::newRow("write fails") << int(SimFaultKind::write_fails);
}

// A write the controller did not confirm leaves the edits marked as
// unapplied, and pressing again writes them.
void TestEditing::apply_not_confirmed()
{
    QFETCH(int, fault);

    Bench bench;
    bench.connect();
    bench.threshold(6)->setValue(654);
    bench.fail(cmd_write_config, SimFaultKind(fault));
    bench.apply()->click();
    QVERIFY(own_enabled(bench.apply()));

    bench.apply()->click();
    QVERIFY(!own_enabled(bench.apply()));
    QCOMPARE(bench.controller_config().auto_light(6), 654u);
}

void TestEditing::apply_writes_clamped_values_data()
{
    QTest::addColumn<Controller>("controller");
    QTest::addColumn<int>("at");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("threshold 2000") << Controller().point(2, 2000, 80) << 7 << QByteArray::fromHex("03ff");
    QTest::newRow("threshold ff ff") << Controller().byte(17, 0xff).byte(18, 0xff) << 17 << QByteArray::fromHex("03ff");
    QTest::newRow("level 600") << Controller().point(4, 350, 600) << 25 << QByteArray::fromHex("0234");
    QTest::newRow("samples 0") << Controller().byte(36, 0) << 36 << QByteArray::fromHex("01");
    QTest::newRow("samples 200") << Controller().byte(36, 200) << 36 << QByteArray::fromHex("32");
    QTest::newRow("smoothing byte 2") << Controller().byte(35, 2) << 35 << QByteArray::fromHex("01");
}

// A value the form could not hold goes back as the form holds it.
void TestEditing::apply_writes_clamped_values()
{
    QFETCH(Controller, controller);
    QFETCH(int, at);
    QFETCH(QByteArray, written);

    Bench bench(controller.byte(34, 9));
    bench.connect();
    bench.slide_delay()->setValue(10);
    bench.forget_wire();
    bench.apply()->click();
    QCOMPARE(bench.payloads(cmd_write_config).value(0).mid(at, written.size()), written);
}

// A value entered before its control was disabled is still written.
void TestEditing::apply_reads_disabled_controls()
{
    Bench bench(Controller().byte(35, 0).byte(33, 2));
    bench.connect();
    bench.step_delay()->setValue(77);
    bench.smoothing()->click();
    QVERIFY(!bench.step_delay()->isEnabled());
    bench.apply()->click();
    const QByteArray payload = bench.payloads(cmd_write_config).value(0);
    QCOMPARE(payload.at(33), char(77));
    QCOMPARE(payload.at(35), char(1));
}

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
