// Editing the form and Apply: which changes count as edits, the curve
// labels, the dependent controls, and the block that Apply writes.

#include "protocol/commands.h"
#include "ui/curve_window.h"
#include "window_bench.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QScopeGuard>
#include <QSettings>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

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
    void several_controllers_data();
    void several_controllers();
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
    void apply_not_sent_data();
    void apply_not_sent();
    void apply_not_confirmed();
    void apply_asks_when_the_lamp_would_hunt_data();
    void apply_asks_when_the_lamp_would_hunt();
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
        WindowBench bench(ControllerState().levels(100));
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

    WindowBench bench;
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
    WindowBench bench(ControllerState().byte(35, 0));
    EnabledChanges changes(bench.apply());
    bench.connect();
    QCOMPARE(changes.count, 0);

    const ConfigBlock other = edited_config(true);
    bench.replace(ControllerState());
    bench.controller_config() = other;
    bench.connect();
    QCOMPARE(config_part(bench.form()), config_part(other));
    QCOMPARE(changes.count, 0);
    QVERIFY(!own_enabled(bench.step_delay())); // the load's smoothing still switches it
}

void TestEditing::smoothing_box_switches_the_step_delay()
{
    WindowBench bench(ControllerState().byte(35, 0));
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

    WindowBench bench(ControllerState().mode(0).pwm_width(100));
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
    WindowBench bench(ControllerState().mode(1));
    bench.connect();
    bench.manual_slider()->setValue(42);
    QVERIFY(!own_enabled(bench.apply()));
}

void TestEditing::apply_writes_big_endian_fields()
{
    WindowBench bench;
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

    WindowBench bench(ControllerState().byte(35, config.pwm_smooth_alg() ? 0 : 1));
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

void TestEditing::apply_not_sent_data()
{
    QTest::addColumn<bool>("bounced"); // false: unplugged; true: out and in between two checks
    QTest::newRow("unplugged") << false;
    QTest::newRow("replugged between two checks") << true;
}

// An Apply that sent nothing leaves the edits marked as unapplied.
void TestEditing::apply_not_sent()
{
    QFETCH(bool, bounced);

    WindowBench bench(ControllerState().point(5, 500, 350));
    bench.connect();
    bench.level(5)->setValue(10);
    bench.unplug();
    if (bounced)
        bench.replug();
    bench.check();
    bench.forget_wire();
    bench.apply()->click();
    QVERIFY(bench.sim().wire().empty());
    QVERIFY(own_enabled(bench.apply()));
    QVERIFY(bench.model().edits_pending());
}

// A write the controller did not confirm leaves the edits marked as
// unapplied, and pressing again writes them (each way to fail: tests/model).
void TestEditing::apply_not_confirmed()
{
    WindowBench bench;
    bench.connect();
    bench.threshold(6)->setValue(654);
    bench.fail(cmd_write_config, SimFaultKind::silent);
    bench.apply()->click();
    QVERIFY(own_enabled(bench.apply()));
    QVERIFY(bench.model().edits_pending());

    bench.apply()->click();
    QVERIFY(!own_enabled(bench.apply()));
    QVERIFY(!bench.model().edits_pending());
    QCOMPARE(bench.controller_config().auto_light(6), 654u);
}

void TestEditing::apply_asks_when_the_lamp_would_hunt_data()
{
    QTest::addColumn<double>("k"); // the measured coupling; 0: none measured
    QTest::addColumn<int>("answer"); // QMessageBox::NoButton: no question
    QTest::addColumn<bool>("written");

    // edited_config rises 0.73 % per light count between its first points.
    QTest::newRow("not measured") << 0.0 << int(QMessageBox::NoButton) << true;
    QTest::newRow("gain 0.7: marked, not asked") << 1.0 << int(QMessageBox::NoButton) << true;
    QTest::newRow("gain 1.5, applied anyway") << 2.0 << int(QMessageBox::Apply) << true;
    QTest::newRow("gain 1.5, cancelled") << 2.0 << int(QMessageBox::Cancel) << false;
}

void TestEditing::apply_asks_when_the_lamp_would_hunt()
{
    QFETCH(double, k);
    QFETCH(int, answer);
    QFETCH(bool, written);

    WindowBench bench;
    QSignalSpy wanted(&bench.view(), &Widget::coupling_wanted);
    bench.connect();
    // Wanted from the history at the load, the curve window never opened.
    QCOMPARE(wanted.size(), 1);
    CouplingResult coupling;
    coupling.counts_per_percent = k;
    bench.view().show_coupling(wanted.first().first().toString(), k > 0 ? std::optional(coupling) : std::nullopt);
    bench.enter(edited_config(true));
    bool asked = false;
    QTimer::singleShot(0, &bench.view(), [&] { // gone with this row when no question came
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); (asked = box))
            box->button(QMessageBox::StandardButton(answer))->click();
    });
    bench.apply()->click();
    QCOMPARE(asked, answer != QMessageBox::NoButton);
    QCOMPARE(bench.controller_config().auto_light(1) == edited_config(true).auto_light(1), written);
    QCOMPARE(bench.model().edits_pending(), !written);
}

void TestEditing::apply_writes_clamped_values_data()
{
    QTest::addColumn<ControllerState>("controller");
    QTest::addColumn<int>("at");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("threshold 2000") << ControllerState().point(2, 2000, 80) << 7 << QByteArray::fromHex("03ff");
    QTest::newRow("threshold ff ff") << ControllerState().byte(17, 0xff).byte(18, 0xff) << 17 << QByteArray::fromHex("03ff");
    QTest::newRow("level 600") << ControllerState().point(4, 350, 600) << 25 << QByteArray::fromHex("0234");
    QTest::newRow("samples 0") << ControllerState().byte(36, 0) << 36 << QByteArray::fromHex("01");
    QTest::newRow("samples 200") << ControllerState().byte(36, 200) << 36 << QByteArray::fromHex("32");
    QTest::newRow("smoothing byte 2") << ControllerState().byte(35, 2) << 35 << QByteArray::fromHex("01");
}

// A value the form could not hold goes back as the form holds it.
void TestEditing::apply_writes_clamped_values()
{
    QFETCH(ControllerState, controller);
    QFETCH(int, at);
    QFETCH(QByteArray, written);

    WindowBench bench(controller.byte(34, 9));
    bench.connect();
    bench.slide_delay()->setValue(10);
    bench.forget_wire();
    bench.apply()->click();
    QCOMPARE(bench.payloads(cmd_write_config).value(0).mid(at, written.size()), written);
}

// A value entered before its control was disabled is still written.
void TestEditing::apply_reads_disabled_controls()
{
    WindowBench bench(ControllerState().byte(35, 0).byte(33, 2));
    bench.connect();
    bench.step_delay()->setValue(77);
    bench.smoothing()->click();
    QVERIFY(!bench.step_delay()->isEnabled());
    bench.apply()->click();
    const QByteArray payload = bench.payloads(cmd_write_config).value(0);
    QCOMPARE(payload.at(33), char(77));
    QCOMPARE(payload.at(35), char(1));
}

void TestEditing::several_controllers_data()
{
    // Each controller's serial number and port ("serial@port"); point 2's
    // light is 200 on the first added, 210 on the second.
    QTest::addColumn<QStringList>("serials");
    // edit <light>, down / up (the selector's keys), apply, unplug <n>, close <answer>
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("shown");       // the controller the window shows at the end
    QTest::addColumn<int>("form");        // point 2's light in the form
    QTest::addColumn<QString>("written"); // point 2's light in each command 56, per controller
    QTest::addColumn<QString>("pending"); // the controllers the model holds edits pending for

    const QStringList two{"", ""};
    QTest::newRow("one: no selector") << QStringList{""} << QStringList{"edit 333"} << 0 << 333 << "0:" << "0";
    QTest::newRow("two: the first shown") << two << QStringList{} << 0 << 200 << "0: 1:" << "";
    QTest::newRow("the other picked: its own configuration") << two << QStringList{"down"} << 1 << 210 << "0: 1:"
                                                             << "";
    QTest::newRow("serials: the first by id shown") << QStringList{"LAMP01", "DESK02"} << QStringList{} << 1 << 210
                                                    << "0: 1:" << "";
    QTest::newRow("twin serials, told apart by port")
        << QStringList{"AB12@1-2", "AB12@1-1"} << QStringList{"down", "edit 333", "apply"} << 0 << 333 << "0:333 1:"
        << "";
    QTest::newRow("drafts kept apart, Apply to the shown one only")
        << two << QStringList{"edit 333", "down", "edit 344", "apply", "up"} << 0 << 333 << "0: 1:344" << "0";
    QTest::newRow("back to a draft, and applied")
        << two << QStringList{"edit 333", "down", "up", "apply"} << 0 << 333 << "0:333 1:" << "";
    QTest::newRow("the shown one unplugged: the other shown")
        << two << QStringList{"edit 333", "down", "edit 344", "unplug 1"} << 0 << 333 << "0: 1:" << "0";
    QTest::newRow("close, asked once: both applied")
        << two << QStringList{"edit 333", "down", "edit 344", "close Apply"} << 1 << 344 << "0:333 1:344" << "";
    QTest::newRow("close, asked once: neither applied")
        << two << QStringList{"edit 333", "down", "edit 344", "close Discard"} << 1 << 344 << "0: 1:" << "0 1";
}

// Each controller keeps its own unapplied edits while another is shown, and
// the model goes on refusing other clients for it; Apply and the close
// prompt write on the wire of the controllers they are meant for.
void TestEditing::several_controllers()
{
    QFETCH(QStringList, serials);
    QFETCH(QStringList, steps);
    QFETCH(int, shown);
    QFETCH(int, form);
    QFETCH(QString, written);
    QFETCH(QString, pending);

    // Twins are remembered across runs: not across tests.
    const auto forget_twins = qScopeGuard([] {
        QFile::remove(QSettings(QStringLiteral("io.github.morvane.pwm"), QStringLiteral("controllers")).fileName());
    });
    Bench bench(ControllerState().point(2, 200, 282), Bench::View::attached);
    bench.sim().unplug(bench.device()); // the bench's own has neither serial nor port
    for (qsizetype n = 0; n < serials.size(); ++n)
        bench.sim().add_controller(ControllerState().point(2, unsigned(200 + 10 * n), 282).state,
                                   serials[n].section('@', 0, 0).toStdString(),
                                   serials[n].section('@', 1).toStdString());
    const auto device = [&bench](int n) { return n + 1; };
    const auto tick = [&bench] {
        for (ControllerThread *controller : bench.registry().present())
            controller->controller().form_update();
    };
    bench.check();
    tick();
    bench.forget_wire();
    auto *selector = bench.control<QComboBox>("controller_comboBox");
    int asked = 0;
    for (const QString &step : steps) {
        const QString word = step.section(' ', 0, 0), value = step.section(' ', 1);
        if (word == QLatin1String("edit"))
            bench.threshold(2)->setValue(value.toInt());
        else if (word == QLatin1String("down") || word == QLatin1String("up"))
            QTest::keyClick(selector, word == QLatin1String("down") ? Qt::Key_Down : Qt::Key_Up);
        else if (word == QLatin1String("apply"))
            bench.apply()->click();
        else if (word == QLatin1String("unplug")) {
            bench.sim().unplug(device(value.toInt()));
            bench.check();
        } else {
            bench.view().show();
            QTimer::singleShot(0, [&] {
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                    ++asked;
                    box->button(value == QLatin1String("Apply") ? QMessageBox::Apply : QMessageBox::Discard)->click();
                }
            });
            bench.view().close();
            QTRY_VERIFY(!bench.view().isVisible());
            QCOMPARE(asked, 1);
        }
    }

    const ControllerIdentity &identity = bench.view().shown().identity();
    QCOMPARE(identity.path, QString::fromStdString(bench.sim().path(device(shown))));
    QCOMPARE(selector->isVisibleTo(&bench.view()), bench.registry().present().size() > 1);
    QVERIFY2(selector->currentText().startsWith(identity.id), qPrintable(selector->currentText()));
    QVERIFY(bench.control<QLabel>("status_label")->toolTip().contains(identity.id));
    QCOMPARE(bench.threshold(2)->value(), form);
    QStringList wire, held;
    for (int n = 0; n < serials.size(); ++n) {
        QStringList lights;
        for (const SimWireRecord &record : bench.sim().wire()) {
            ConfigBlock block;
            const std::vector<unsigned char> payload = record.payload();
            std::copy_n(payload.begin(), std::min(payload.size(), block.bytes.size()), block.bytes.begin());
            if (record.device == device(n) && record.direction == SimDirection::out
                && record.command() == cmd_write_config)
                lights << QString::number(block.auto_light(2));
        }
        wire << QStringLiteral("%1:%2").arg(n).arg(lights.join(','));
        const QString path = QString::fromStdString(bench.sim().path(device(n)));
        for (ControllerThread *controller : bench.registry().present())
            if (controller->identity().path == path && controller->status().edits_pending)
                held << QString::number(n);
    }
    QCOMPARE(wire.join(' '), written);
    QCOMPARE(held.join(' '), pending);
}

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
