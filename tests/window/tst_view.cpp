// The form shows the model: what a load shows, what the two read-outs show,
// the manual-regulation controls both ways, and the frame following the
// live state through unplugging and replugging.

#include "protocol/commands.h"
#include "window_bench.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

using Requests = QList<int>;

namespace {

// The debug lines written during one tick.
QStringList debug_lines;
void collect_debug_line(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        debug_lines.append(message);
}

} // namespace

class TestView : public QObject
{
    Q_OBJECT

private slots:
    void load_shows_the_block_data();
    void load_shows_the_block();
    void read_outs_data();
    void read_outs();
    void unchanged_read_out_keeps_its_selection();
    void silent_controller_leaves_dated_read_outs();
    void manual_controls_show_the_model();
    void unplug_and_replug();
};

void TestView::load_shows_the_block_data()
{
    QTest::addColumn<ControllerState>("controller");
    QTest::addColumn<QByteArray>("control");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("shown");

    QTest::newRow("threshold 01 F4") << ControllerState().byte(9, 0x01).byte(10, 0xF4)
                                     << QByteArray("auto_3_light_spinBox") << QByteArray("value") << QVariant(500);
    QTest::newRow("threshold 2000 clamped") << ControllerState().point(6, 2000, 100)
                                            << QByteArray("auto_6_light_spinBox") << QByteArray("value") << QVariant(1023);
    QTest::newRow("level 600 clamped") << ControllerState().point(2, 100, 600)
                                       << QByteArray("auto_2_verticalSlider") << QByteArray("value") << QVariant(564);
    QTest::newRow("level 600 shown as clamped") << ControllerState().point(2, 100, 600)
                                                << QByteArray("auto_2_lineEdit") << QByteArray("text") << QVariant("100%");
    QTest::newRow("level 282") << ControllerState().point(7, 900, 282)
                               << QByteArray("auto_7_lineEdit") << QByteArray("text") << QVariant("50%");
    QTest::newRow("step delay 255") << ControllerState().byte(33, 255)
                                    << QByteArray("pwm_step_delay_spinBox") << QByteArray("value") << QVariant(255);
    QTest::newRow("slide delay 0") << ControllerState().byte(34, 0)
                                   << QByteArray("pwm_slide_delay_spinBox") << QByteArray("value") << QVariant(0);
    QTest::newRow("smoothing byte 2") << ControllerState().byte(35, 2)
                                      << QByteArray("pwm_smooth_alg_checkBox") << QByteArray("checked") << QVariant(true);
    QTest::newRow("smoothing disables the step delay") << ControllerState().byte(35, 1)
                                                       << QByteArray("pwm_step_delay_spinBox") << QByteArray("enabled") << QVariant(false);
    QTest::newRow("smoothing byte 0") << ControllerState().byte(35, 0)
                                      << QByteArray("pwm_smooth_alg_checkBox") << QByteArray("checked") << QVariant(false);
    QTest::newRow("samples 0 clamped") << ControllerState().byte(36, 0)
                                       << QByteArray("avrg_light_num_spinBox") << QByteArray("value") << QVariant(1);
    QTest::newRow("samples 200 clamped") << ControllerState().byte(36, 200)
                                         << QByteArray("avrg_light_num_spinBox") << QByteArray("value") << QVariant(50);
    QTest::newRow("mode 1 is manual") << ControllerState().mode(1)
                                      << QByteArray("groupBox_5") << QByteArray("checked") << QVariant(true);
    QTest::newRow("mode 2 is automatic") << ControllerState().mode(2)
                                         << QByteArray("groupBox_5") << QByteArray("checked") << QVariant(false);
    QTest::newRow("manual slider starts at the width") << ControllerState().mode(1).pwm_width(300)
                                                       << QByteArray("pwm_width_horizontalSlider") << QByteArray("value") << QVariant(300);
}

void TestView::load_shows_the_block()
{
    QFETCH(ControllerState, controller);
    QFETCH(QByteArray, control);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, shown);

    WindowBench bench(controller);
    bench.connect();
    QCOMPARE(bench.control<QWidget>(control.constData())->property(property.constData()), shown);
    QVERIFY(!own_enabled(bench.apply()));
}

void TestView::read_outs_data()
{
    QTest::addColumn<ControllerState>("controller");
    QTest::addColumn<QString>("light");
    QTest::addColumn<QString>("brightness");
    QTest::addColumn<QStringList>("debug");

    // The live state of the reply 00 37 01 1A 02 00 00.
    QTest::newRow("example reply") << ControllerState().byte(0, 0x01).byte(1, 0x1A).byte(2, 0x02).byte(3, 0x00).byte(4, 0)
                                   << "512" << "50%" << QStringList();
    QTest::newRow("dark, off") << ControllerState().light(0).pwm_width(0) << "0" << "0%" << QStringList();
    QTest::newRow("width 563") << ControllerState().pwm_width(563) << "512" << "99%" << QStringList();
    QTest::newRow("width 564") << ControllerState().pwm_width(564) << "512" << "100%" << QStringList();
    QTest::newRow("width 1023 above full scale") << ControllerState().pwm_width(1023) << "512" << "181%" << QStringList();
    QTest::newRow("light 1023") << ControllerState().light(1023) << "1023" << "63%" << QStringList();
    QTest::newRow("light 1024") << ControllerState().light(1024) << "1024" << "63%" << QStringList{"ADC =  1024 "};
    QTest::newRow("light 65535") << ControllerState().light(65535) << "65535" << "63%" << QStringList{"ADC =  65535 "};
}

// One running tick refreshes both read-outs; only a reading above the
// sensor's scale writes the debug line, once.
void TestView::read_outs()
{
    QFETCH(ControllerState, controller);
    QFETCH(QString, light);
    QFETCH(QString, brightness);
    QFETCH(QStringList, debug);

    WindowBench bench(ControllerState().light(512).pwm_width(356));
    bench.connect();
    bench.controller_config() = controller.state.config;
    bench.forget_wire();
    debug_lines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collect_debug_line);
    bench.tick();
    qInstallMessageHandler(previous);

    QCOMPARE(bench.requests(), Requests{cmd_read_state});
    QCOMPARE(bench.light_readout()->text(), light);
    QCOMPARE(bench.brightness_readout()->text(), brightness);
    QCOMPARE(debug_lines, debug);
}

// The read-outs are rewritten only when their text changes, so a value the
// user has selected to copy stays selected across ticks.
void TestView::unchanged_read_out_keeps_its_selection()
{
    WindowBench bench;
    bench.connect();
    bench.light_readout()->selectAll();
    bench.tick();
    QVERIFY(bench.light_readout()->hasSelectedText());
    bench.controller_config().set_light_adc(600);
    bench.tick();
    QCOMPARE(bench.light_readout()->text(), QStringLiteral("600"));
}

// A silent controller's read-outs are greyed and dated until it answers again.
void TestView::silent_controller_leaves_dated_read_outs()
{
    WindowBench bench;
    bench.connect();
    bench.fail(cmd_read_state, SimFaultKind::silent, 2);
    for (bool answered_again : {false, true}) {
        bench.tick();
        bench.tick();
        const QString since = bench.model().status().silent_since.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
        for (QLineEdit *read_out : {bench.light_readout(), bench.brightness_readout()}) {
            QCOMPARE(read_out->isEnabled(), answered_again);
            QCOMPARE(read_out->toolTip().contains(QStringLiteral("не отвечает с ") + since), !answered_again);
        }
    }
}

// The manual group and slider hand their values to the model, and show the
// model's: the level the hot keys step, the brightness of the level sent.
void TestView::manual_controls_show_the_model()
{
    WindowBench bench(ControllerState().mode(0).pwm_width(100));
    bench.connect();
    bench.manual()->setChecked(true);
    QCOMPARE(bench.model().wanted_mode(), RegulationMode::manual);
    bench.manual_slider()->setValue(300);
    QCOMPARE(bench.model().manual_level(), 300);
    bench.tick(); // switches the controller to manual regulation
    QCOMPARE(bench.brightness_readout()->text(), QStringLiteral("53%"));

    bench.tick();
    QCOMPARE(bench.model().pwm_width_step(Controller::HOTKEY_PWM_STEP), Refusal::none);
    QCOMPARE(bench.manual_slider()->value(), 317);
    QVERIFY(!own_enabled(bench.apply()));
    bench.model().set_wanted_mode(RegulationMode::automatic);
    QVERIFY(!bench.manual()->isChecked());
}

// Unplugging closes the controller at the next check and disables the frame
// at the next tick; replugging reloads the form and drops unapplied edits.
// A load that fails keeps the frame disabled until one succeeds.
void TestView::unplug_and_replug()
{
    WindowBench bench(ControllerState().point(4, 350, 250));
    bench.connect();
    bench.level(4)->setValue(500);
    QVERIFY(own_enabled(bench.apply()));

    bench.unplug();
    bench.forget_wire();
    bench.check();
    QVERIFY(bench.live_group()->isEnabled());
    bench.tick();
    QVERIFY(bench.requests().isEmpty());
    QVERIFY(!bench.live_group()->isEnabled());

    bench.controller_config().set_auto_light(2, 123); // changed elsewhere meanwhile
    bench.replug();
    bench.fail(cmd_read_state);
    bench.connect();
    QVERIFY(!bench.live_group()->isEnabled());
    QCOMPARE(bench.level(4)->value(), 500);
    bench.tick();
    QCOMPARE(bench.level(4)->value(), 250);
    QCOMPARE(bench.threshold(2)->value(), 123);
    QCOMPARE(bench.percent(4)->text(), QStringLiteral("44%"));
    QVERIFY(!own_enabled(bench.apply()));
    QVERIFY(bench.live_group()->isEnabled());
}

QTEST_MAIN(TestView)
#include "tst_view.moc"
