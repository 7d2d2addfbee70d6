// The window from construction to a loaded form: its first state, the tick
// that identifies and loads a controller, the identification error box and
// exit code the model's signal leads to, and a language change.

#include "app/shell/identification_error.h"
#include "protocol/commands.h"
#include "window_bench.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

namespace {

// The identification error box as the user saw it.
struct BoxSeen
{
    QString text;
    QString informative;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton default_button = QMessageBox::NoButton;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool has_parent = false;
};

struct TickSeen
{
    static constexpr int NO_EXIT = -1000;
    int exit_code = NO_EXIT; // what the tick asked the event loop to end with
    QList<BoxSeen> boxes;
};

// One tick with the model's identification_failed connected to the error
// box as main connects it, run inside a local event loop as the
// application's loop runs it, so that the box gets a nested loop and
// QCoreApplication::exit has a loop to end. Boxes are closed with Ok.
TickSeen tick_with_box(Bench &bench)
{
    TickSeen seen;
    const QMetaObject::Connection shown = QObject::connect(
        &bench.model(), &Controller::identification_failed, qApp, &show_identification_error);
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        QAbstractButton *default_button = box->defaultButton();
        seen.boxes.append({box->text(), box->informativeText(), box->standardButtons(),
                           default_button ? box->standardButton(default_button) : QMessageBox::NoButton,
                           box->windowTitle(), box->icon(), box->parent() != nullptr});
        box->button(QMessageBox::Ok)->click();
    });
    closer.start();

    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        bench.tick();
        if (loop.isRunning())
            loop.exit(TickSeen::NO_EXIT);
    });
    seen.exit_code = loop.exec();
    QObject::disconnect(shown);
    if (seen.exit_code != TickSeen::NO_EXIT) {
        // exit() also marks the thread as quitting, which would end every
        // later local loop at once; a run of the application's loop clears it.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
    return seen;
}

} // namespace

class TestWindowStartup : public QObject
{
    Q_OBJECT

private slots:
    void built_window_before_any_tick();
    void connecting_identifies_and_loads_in_one_tick();
    void identification_failure_data();
    void identification_failure();
    void language_change_keeps_values_and_texts();
};

void TestWindowStartup::built_window_before_any_tick()
{
    WindowBench bench;
    Widget &window = bench.view();
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!bench.live_group()->isEnabled());

    // The values setupUi gives the controls reached no handler: Apply was not
    // enabled and no percentage label was written.
    QVERIFY(!bench.apply()->isEnabled());
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n)
        QVERIFY2(bench.percent(n)->text().isEmpty(), qPrintable(QString::number(n)));
    QVERIFY(bench.step_delay()->isEnabledTo(bench.auto_group()));
    QVERIFY(!bench.auto_group()->isEnabled());
    // The curve window still opens, to show the history.
    QVERIFY(bench.control<QPushButton>("curve_pushButton")->isEnabled());
    QVERIFY(bench.sim().wire().empty());
}

void TestWindowStartup::connecting_identifies_and_loads_in_one_tick()
{
    WindowBench bench(ControllerState().light(512).pwm_width(282).point(3, 500, 141));
    bench.check();
    QVERIFY(bench.requests().isEmpty()); // opening sends nothing
    const TickSeen result = tick_with_box(bench);

    QCOMPARE(result.exit_code, TickSeen::NO_EXIT);
    QVERIFY(result.boxes.isEmpty());
    QCOMPARE(config_part(bench.form()), config_part(bench.controller_config()));
    QCOMPARE(bench.percent(3)->text(), QStringLiteral("25%"));
    QCOMPARE(bench.light_readout()->text(), QStringLiteral("512"));
    QCOMPARE(bench.brightness_readout()->text(), QStringLiteral("50%"));
    QVERIFY(bench.live_group()->isEnabled());
    QVERIFY(!bench.apply()->isEnabled());
}

void TestWindowStartup::identification_failure_data()
{
    QTest::addColumn<ControllerState>("controller");
    QTest::addColumn<int>("identify_fault"); // -1: none
    QTest::addColumn<QString>("reason"); // the reason, then what the user can tell from it
    QTest::addColumn<int>("exit_code");

    const QString wrong_version = QStringLiteral("Неверная версия устройства!\n"
                                                 "Контроллер сообщил версию 2, программа работает с версией 1.\n"
                                                 "Программа будет закрыта.");
    const QString no_answer = QStringLiteral("Не удалось опознать устройство!\nПрограмма будет закрыта.");
    // One row per reason; the model's suite has every way to fail.
    QTest::newRow("version 2") << ControllerState().version(2) << -1 << wrong_version << 2;
    QTest::newRow("silent") << ControllerState() << int(SimFaultKind::silent) << no_answer << 1;
}

// The box comes first, the program is told to end, and the rest of the tick
// still loads the form (what reaches the controller: tests/model).
void TestWindowStartup::identification_failure()
{
    QFETCH(ControllerState, controller);
    QFETCH(int, identify_fault);
    QFETCH(QString, reason);
    QFETCH(int, exit_code);

    WindowBench bench(controller.light(700));
    if (identify_fault >= 0)
        bench.fail(cmd_identify, SimFaultKind(identify_fault));
    bench.check();
    const TickSeen result = tick_with_box(bench);

    QCOMPARE(result.boxes.size(), 1);
    const BoxSeen &box = result.boxes.first();
    QCOMPARE(box.text, QStringLiteral("Ошибка!"));
    QCOMPARE(box.informative, reason);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.default_button, QMessageBox::Ok);
    QCOMPARE(box.title, QStringLiteral("Morvane PWM"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY(!box.has_parent);
    QCOMPARE(result.exit_code, exit_code);

    QCOMPARE(config_part(bench.form()), config_part(bench.controller_config()));
    QCOMPARE(bench.light_readout()->text(), QStringLiteral("700"));
}

void TestWindowStartup::language_change_keeps_values_and_texts()
{
    WindowBench bench(ControllerState().mode(1).byte(35, 1));
    bench.connect();
    bench.threshold(2)->setValue(333);
    const ConfigBlock before = bench.form();
    const QString light = bench.light_readout()->text();

    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(&bench.view(), &change);

    QCOMPARE(config_part(bench.form()), config_part(before));
    QCOMPARE(bench.light_readout()->text(), light);
    QVERIFY(own_enabled(bench.apply()));
    QVERIFY(bench.manual()->isChecked());
    QVERIFY(!own_enabled(bench.auto_group()));
    QVERIFY(!own_enabled(bench.step_delay()));
    QVERIFY(bench.live_group()->isEnabled());
    QCOMPARE(bench.view().windowTitle(), QStringLiteral("Morvane PWM beta6"));
    QCOMPARE(bench.manual()->title(), QStringLiteral("&Ручная регулировка"));
    QCOMPARE(bench.apply()->text(), QStringLiteral("При&менить"));
    QCOMPARE(bench.control<QLabel>("label_2")->text(), QStringLiteral("\u0441"));
    QCOMPARE(bench.control<QLabel>("label_19")->toolTip(), QStringLiteral("Время изменения яркости на 1%"));
}

QTEST_MAIN(TestWindowStartup)
#include "tst_window_startup.moc"
