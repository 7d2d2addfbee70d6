// The window from construction to a loaded form: its first state, the tick
// that finds no controller, the tick that identifies and loads one, the two
// identification failures that end the program, and a language change.

#include "protocol/commands.h"
#include "window_bench.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

class TestWindowStartup : public QObject
{
    Q_OBJECT

private slots:
    void built_window_before_any_tick();
    void first_tick_comes_before_the_controller_is_opened();
    void connecting_identifies_and_loads_in_one_tick();
    void identification_failure_data();
    void identification_failure();
    void language_change_keeps_values_and_texts();
};

void TestWindowStartup::built_window_before_any_tick()
{
    Bench bench;
    Widget &window = bench.window();
    QCOMPARE(window.windowTitle(), QStringLiteral("Morvane PWM beta6"));
    QCOMPARE(window.size(), QSize(774, 300));
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!bench.frame()->isEnabled());

    // The values setupUi gives the controls reached no handler: Apply was not
    // enabled and no percentage label was written.
    QVERIFY(!bench.apply()->isEnabled());
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n)
        QVERIFY2(bench.percent(n)->text().isEmpty(), qPrintable(QString::number(n)));
    QCOMPARE(bench.samples()->value(), 1);
    QVERIFY(bench.step_delay()->isEnabledTo(bench.frame()));
    QVERIFY(bench.auto_group()->isEnabledTo(bench.frame()));
    QVERIFY(bench.sim().wire().empty());
}

void TestWindowStartup::first_tick_comes_before_the_controller_is_opened()
{
    Bench bench;
    bench.tick();
    QVERIFY(bench.requests().isEmpty());
    QVERIFY(!bench.frame()->isEnabled());
    QVERIFY(bench.light_readout()->text().isEmpty());
}

void TestWindowStartup::connecting_identifies_and_loads_in_one_tick()
{
    Bench bench(Controller().light(512).pwm_width(282).point(3, 500, 141));
    bench.check();
    QVERIFY(bench.requests().isEmpty()); // opening sends nothing
    const TickResult result = bench.tick();

    QCOMPARE(bench.requests(), (QList<int>{cmd_identify, cmd_read_state, cmd_read_state}));
    QCOMPARE(result.exit_code, TickResult::NO_EXIT);
    QVERIFY(result.boxes.isEmpty());
    QCOMPARE(config_part(bench.form()), config_part(bench.controller_config()));
    QCOMPARE(bench.percent(3)->text(), QStringLiteral("25%"));
    QCOMPARE(bench.light_readout()->text(), QStringLiteral("512"));
    QCOMPARE(bench.brightness_readout()->text(), QStringLiteral("50%"));
    QVERIFY(bench.frame()->isEnabled());
    QVERIFY(!bench.apply()->isEnabled());
}

void TestWindowStartup::identification_failure_data()
{
    QTest::addColumn<Controller>("controller");
    QTest::addColumn<int>("identify_fault"); // -1: none
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("exit_code");

    const QString wrong_version = QStringLiteral("Неверная версия устройства!");
    const QString no_answer = QStringLiteral("Не удалось опознать устройство!");
    QTest::newRow("version 2") << Controller().version(2) << -1 << wrong_version << 2;
    QTest::newRow("version 0") << Controller().version(0) << -1 << wrong_version << 2;
    QTest::newRow("silent") << Controller() << int(SimFaultKind::silent) << no_answer << 1;
    QTest::newRow("wrong echo") << Controller() << int(SimFaultKind::wrong_echo) << no_answer << 1;
    QTest::newRow("write fails") << Controller() << int(SimFaultKind::write_fails) << no_answer << 1;
}

// The box comes first, the program is told to end, and the rest of the tick
// still loads the form; closing then writes nothing to a controller that was
// never accepted.
void TestWindowStartup::identification_failure()
{
    QFETCH(Controller, controller);
    QFETCH(int, identify_fault);
    QFETCH(QString, reason);
    QFETCH(int, exit_code);

    Bench bench(controller.light(700));
    if (identify_fault >= 0)
        bench.fail(cmd_identify, SimFaultKind(identify_fault));
    bench.check();
    const TickResult result = bench.tick();

    QCOMPARE(result.boxes.size(), 1);
    const BoxSeen &box = result.boxes.first();
    QCOMPARE(box.text, QStringLiteral("Ошибка!"));
    QCOMPARE(box.informative, reason);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.default_button, QMessageBox::Ok);
    QVERIFY(box.title.isEmpty());
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QVERIFY(!box.has_parent);
    QCOMPARE(result.exit_code, exit_code);

    QCOMPARE(bench.payloads(cmd_read_state).size(), 2);
    QCOMPARE(config_part(bench.form()), config_part(bench.controller_config()));
    QCOMPARE(bench.light_readout()->text(), QStringLiteral("700"));

    bench.forget_wire();
    bench.close();
    QVERIFY(bench.payloads(cmd_write_config).isEmpty());
}

void TestWindowStartup::language_change_keeps_values_and_texts()
{
    Bench bench(Controller().mode(1).byte(35, 1));
    bench.connect();
    bench.threshold(2)->setValue(333);
    const ConfigBlock before = bench.form();
    const QString light = bench.light_readout()->text();

    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(&bench.window(), &change);

    QCOMPARE(config_part(bench.form()), config_part(before));
    QCOMPARE(bench.light_readout()->text(), light);
    QVERIFY(own_enabled(bench.apply()));
    QVERIFY(bench.manual()->isChecked());
    QVERIFY(!own_enabled(bench.auto_group()));
    QVERIFY(!own_enabled(bench.step_delay()));
    QVERIFY(bench.frame()->isEnabled());
    QCOMPARE(bench.window().windowTitle(), QStringLiteral("Morvane PWM beta6"));
    QCOMPARE(bench.manual()->title(), QStringLiteral("Ручная регулировка"));
    QCOMPARE(bench.apply()->text(), QStringLiteral("Применить"));
    QCOMPARE(bench.control<QLabel>("label_2")->text(), QStringLiteral("\u0441"));
    QCOMPARE(bench.control<QLabel>("label_19")->toolTip(), QStringLiteral("Время изменения яркости на 1%"));
}

QTEST_MAIN(TestWindowStartup)
#include "tst_window_startup.moc"
