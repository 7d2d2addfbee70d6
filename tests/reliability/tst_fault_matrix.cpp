// The fault matrix: each exchange of the window's work with the controller
// (identify, the load's read, the status read, switching the mode, sending the
// manual level, writing the configuration with Apply) against each way the
// request can go wrong (no reply, a reply with another code, a short reply,
// the device vanishing mid-exchange, a flood of unsolicited reports that fits
// the queue, and one that crowds the reply out). Each row states what the
// window sends and shows after the faulty step, and what the next device
// check and tick send once the window has recovered. The invariant checker
// watches every step as well.

#include "invariant_checker.h"
#include "window_driver.h"
#include "window_session.h"

#include "app/widget.h"
#include "protocol/commands.h"
#include "tools/sim/sim_backend.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QtTest>

enum class Target { identify, load, status, set_mode, set_width, write_config };
enum class Fault { silent, wrong_echo, short_reply, unplug, flood, overflow };
Q_DECLARE_METATYPE(Target)
Q_DECLARE_METATYPE(Fault)

namespace {

// The controller as every row finds it: automatic regulation, half brightness.
constexpr unsigned REPORTED_WIDTH = 282; // "50%"
constexpr int MANUAL_LEVEL = 113;        // "20%"

int command_of(Target target)
{
    switch (target) {
    case Target::identify: return cmd_identify;
    case Target::load:
    case Target::status: return cmd_read_state;
    case Target::set_mode: return cmd_set_mode;
    case Target::set_width: return cmd_set_pwm_width;
    case Target::write_config: return cmd_write_config;
    }
    return -1;
}

SimFault fault_for(Fault fault, int command)
{
    switch (fault) {
    case Fault::silent: return {SimFaultKind::silent, command};
    case Fault::wrong_echo: return {SimFaultKind::wrong_echo, command};
    case Fault::short_reply: return {SimFaultKind::short_reply, command};
    case Fault::unplug: return {SimFaultKind::unplug_mid_exchange, command};
    case Fault::flood: return {SimFaultKind::unsolicited, command, 1, SIM_QUEUE_CAPACITY / 2};
    case Fault::overflow: return {SimFaultKind::unsolicited, command, 1, SIM_QUEUE_CAPACITY + 16};
    }
    return {SimFaultKind::silent, command};
}

const char *const TARGET_NAMES[] = {"identify", "load", "status", "set mode", "set width", "Apply"};
const char *const FAULT_NAMES[] = {"silent", "wrong echo", "short reply", "unplug",
                                   "flood (fits)", "flood (overflows)"};

QTestData &row(Target target, Fault fault)
{
    return QTest::addRow("%s x %s", TARGET_NAMES[int(target)], FAULT_NAMES[int(fault)])
        << target << fault;
}

} // namespace

class FaultMatrixTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { quiet_debug_output(); }

    void fault_data();
    void fault();

private:
    QString sent(const SimBackend &sim) const;
    QString text(Widget *window, const char *name) const;
    bool enabled(Widget *window, const char *name) const;
};

void FaultMatrixTest::fault_data()
{
    QTest::addColumn<Target>("target");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("wire");       // commands written in the faulty step
    QTest::addColumn<int>("exit_code");      // asked of the application, -1: none
    QTest::addColumn<bool>("frame");         // configuration_frame enabled after it
    QTest::addColumn<bool>("apply");         // apply_pushButton enabled after it
    QTest::addColumn<QString>("brightness"); // brightness_lineEdit after it
    QTest::addColumn<QString>("recovery");   // commands of the next check + tick

    // A failed identification shows its box and ends the application, but
    // the tick still loads and polls; a restart identifies again.
    row(Target::identify, Fault::silent) << "54 55 55" << 1 << true << false << "50%" << "54 55 55";
    row(Target::identify, Fault::wrong_echo) << "54 55 55" << 1 << true << false << "50%" << "54 55 55";
    row(Target::identify, Fault::short_reply) << "54 55 55" << 1 << true << false << "50%" << "54 55 55";
    row(Target::identify, Fault::unplug) << "54" << 1 << false << false << "" << "54 55 55";
    row(Target::identify, Fault::flood) << "54 55 55" << -1 << true << false << "50%" << "55";
    row(Target::identify, Fault::overflow) << "54 55 55" << 1 << true << false << "50%" << "54 55 55";

    // A failed load ends the tick with the form empty and disabled; the next
    // tick loads again before its status pass.
    row(Target::load, Fault::silent) << "54 55" << -1 << false << false << "" << "55 55";
    row(Target::load, Fault::wrong_echo) << "54 55" << -1 << false << false << "" << "55 55";
    row(Target::load, Fault::short_reply) << "54 55" << -1 << false << false << "" << "55 55";
    row(Target::load, Fault::unplug) << "54 55" << -1 << false << false << "" << "54 55 55";
    row(Target::load, Fault::flood) << "54 55 55" << -1 << true << false << "50%" << "55";
    row(Target::load, Fault::overflow) << "54 55" << -1 << false << false << "" << "55 55";

    // A failed status read changes nothing: the controller now drives 100 %,
    // the read-out keeps 50 %.
    row(Target::status, Fault::silent) << "55" << -1 << true << false << "50%" << "55";
    row(Target::status, Fault::wrong_echo) << "55" << -1 << true << false << "50%" << "55";
    row(Target::status, Fault::short_reply) << "55" << -1 << true << false << "50%" << "55";
    row(Target::status, Fault::unplug) << "55" << -1 << true << false << "50%" << "54 55 55";
    row(Target::status, Fault::flood) << "55" << -1 << true << false << "100%" << "55";
    row(Target::status, Fault::overflow) << "55" << -1 << true << false << "50%" << "55";

    // Manual regulation chosen at 20 % while the controller reports automatic
    // at 50 %. A lost switch is sent again; one the controller acted on
    // without a valid reply is not, only the level follows.
    row(Target::set_mode, Fault::silent) << "55 58" << -1 << true << false << "50%" << "55 58 57";
    row(Target::set_mode, Fault::wrong_echo) << "55 58" << -1 << true << false << "50%" << "55 57";
    row(Target::set_mode, Fault::short_reply) << "55 58" << -1 << true << false << "50%" << "55 57";
    row(Target::set_mode, Fault::unplug) << "55 58" << -1 << true << false << "50%" << "54 55 55 57";
    row(Target::set_mode, Fault::flood) << "55 58 57" << -1 << true << false << "20%" << "55 57";
    row(Target::set_mode, Fault::overflow) << "55 58" << -1 << true << false << "50%" << "55 57";

    // The level goes again on every tick, confirmed or not; until it is
    // confirmed the read-out shows what the controller reported.
    row(Target::set_width, Fault::silent) << "55 58 57" << -1 << true << false << "50%" << "55 57";
    row(Target::set_width, Fault::wrong_echo) << "55 58 57" << -1 << true << false << "50%" << "55 57";
    row(Target::set_width, Fault::short_reply) << "55 58 57" << -1 << true << false << "50%" << "55 57";
    row(Target::set_width, Fault::unplug) << "55 58 57" << -1 << true << false << "50%" << "54 55 55 57";
    row(Target::set_width, Fault::flood) << "55 58 57" << -1 << true << false << "20%" << "55 57";
    row(Target::set_width, Fault::overflow) << "55 58 57" << -1 << true << false << "50%" << "55 57";

    // An unconfirmed write leaves Apply enabled: the edit is still unapplied.
    row(Target::write_config, Fault::silent) << "56" << -1 << true << true << "50%" << "55";
    row(Target::write_config, Fault::wrong_echo) << "56" << -1 << true << true << "50%" << "55";
    row(Target::write_config, Fault::short_reply) << "56" << -1 << true << true << "50%" << "55";
    row(Target::write_config, Fault::unplug) << "56" << -1 << true << true << "50%" << "54 55 55";
    row(Target::write_config, Fault::flood) << "56" << -1 << true << false << "50%" << "55";
    row(Target::write_config, Fault::overflow) << "56" << -1 << true << true << "50%" << "55";
}

void FaultMatrixTest::fault()
{
    QFETCH(Target, target);
    QFETCH(Fault, fault);
    QFETCH(QString, wire);
    QFETCH(int, exit_code);
    QFETCH(bool, frame);
    QFETCH(bool, apply);
    QFETCH(QString, brightness);
    QFETCH(QString, recovery);

    SimState state;
    state.config.set_pwm_width(REPORTED_WIDTH);
    state.config.set_regulation_mode(0);
    SimBackend sim;
    const int controller = sim.add_controller(state);
    InvariantChecker checker(sim);
    WindowDriver driver(checker);
    driver.open_window();

    // Bring the window to the state where the faulty exchange is next.
    driver.check();
    const bool first_tick = target == Target::identify || target == Target::load;
    if (!first_tick) {
        QCOMPARE(driver.tick(), -1);
        QVERIFY(enabled(driver.window(), "configuration_frame"));
    }
    if (target == Target::status)
        sim.firmware(controller).state().config.set_pwm_width(PWM_FULL_SCALE);
    if (target == Target::set_mode || target == Target::set_width) {
        driver.toggle_manual();
        driver.set_manual_level(MANUAL_LEVEL);
    }
    if (target == Target::write_config)
        driver.set_curve_point(3, 282, 400);

    sim.add_fault(controller, fault_for(fault, command_of(target)));
    sim.clear_logs();
    int asked_exit = -1;
    if (target == Target::write_config)
        driver.click_apply();
    else
        asked_exit = driver.tick();

    QCOMPARE(sent(sim), wire);
    QCOMPARE(asked_exit, exit_code);
    QCOMPARE(enabled(driver.window(), "configuration_frame"), frame);
    QCOMPARE(enabled(driver.window(), "apply_pushButton"), apply);
    QCOMPARE(text(driver.window(), "brightness_lineEdit"), brightness);

    // Recovery: the application starts again after an identification error;
    // a vanished controller is noticed (frame disabled), then plugged back.
    if (asked_exit != -1)
        driver.open_window();
    if (fault == Fault::unplug) {
        driver.check();
        QCOMPARE(driver.tick(), -1);
        QVERIFY(!enabled(driver.window(), "configuration_frame"));
        sim.replug(controller);
    }
    sim.clear_logs();
    driver.check();
    QCOMPARE(driver.tick(), -1);
    QCOMPARE(sent(sim), recovery);
    QVERIFY(enabled(driver.window(), "configuration_frame"));

    driver.close_window();
    QVERIFY2(!checker.failed(), checker.violation().c_str());
}

// The command codes written since the logs were cleared, in order.
QString FaultMatrixTest::sent(const SimBackend &sim) const
{
    QStringList commands;
    for (const SimWireRecord &record : sim.wire()) {
        if (record.direction == SimDirection::out)
            commands << QString::number(record.command());
    }
    return commands.join(QLatin1Char(' '));
}

QString FaultMatrixTest::text(Widget *window, const char *name) const
{
    const auto *edit = window->findChild<QLineEdit *>(QLatin1String(name));
    return edit ? edit->text() : QStringLiteral("<missing>");
}

bool FaultMatrixTest::enabled(Widget *window, const char *name) const
{
    const auto *widget = window->findChild<QWidget *>(QLatin1String(name));
    return widget && widget->isEnabled();
}

QTEST_MAIN(FaultMatrixTest)
#include "tst_fault_matrix.moc"
