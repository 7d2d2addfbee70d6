// The fault matrix: each exchange of the model's work with the controller
// (identify, the load's read, the status read, switching the mode, sending the
// manual level, writing the configuration with Apply) against each way the
// request can go wrong (no reply, a reply with another code, a short reply,
// the device vanishing mid-exchange, a flood of unsolicited reports that fits
// the queue, and one that crowds the reply out). Each row states what the
// model sends and holds after the faulty step, and what the next device
// check and tick send once it has recovered. The invariant checker watches
// every step as well.

#include "model_session.h"

#include "protocol/commands.h"

#include <QtTest>

enum class Target { identify, load, status, set_mode, set_width, write_config };
enum class Fault { silent, wrong_echo, short_reply, unplug, flood, overflow };
Q_DECLARE_METATYPE(Target)
Q_DECLARE_METATYPE(Fault)

namespace {

// The controller as every row finds it: automatic regulation, half brightness.
constexpr int REPORTED_WIDTH = 282; // 50 %
constexpr int MANUAL_LEVEL = 113;   // 20 %
constexpr int FULL = PWM_FULL_SCALE;

// The command codes written since the wire was last forgotten, in order.
QString sent(const Bench &bench)
{
    QStringList commands;
    for (int command : bench.requests())
        commands << QString::number(command);
    return commands.join(QLatin1Char(' '));
}

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
};

void FaultMatrixTest::fault_data()
{
    QTest::addColumn<Target>("target");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("wire");     // commands written in the faulty step
    QTest::addColumn<int>("exit_code");    // asked of the program, -1: none
    QTest::addColumn<bool>("live");        // the model live after it
    QTest::addColumn<bool>("apply_due");   // Apply not written (still to do) after it
    QTest::addColumn<int>("brightness");   // brightness_width after it
    QTest::addColumn<QString>("recovery"); // commands of the next check + tick

    const int W = REPORTED_WIDTH;
    // A failed identification is reported and ends the program; the tick
    // still loads, and sends nothing more; a restart identifies again.
    row(Target::identify, Fault::silent) << "54 55" << 1 << false << false << 0 << "54 55 55";
    row(Target::identify, Fault::wrong_echo) << "54 55" << 1 << false << false << 0 << "54 55 55";
    row(Target::identify, Fault::short_reply) << "54 55" << 1 << false << false << 0 << "54 55 55";
    row(Target::identify, Fault::unplug) << "54" << 1 << false << false << 0 << "54 55 55";
    row(Target::identify, Fault::flood) << "54 55 55" << -1 << true << false << W << "55";
    row(Target::identify, Fault::overflow) << "54 55" << 1 << false << false << 0 << "54 55 55";

    // A failed load ends the tick, not live; the next tick loads again
    // before its status pass.
    row(Target::load, Fault::silent) << "54 55" << -1 << false << false << 0 << "55 55";
    row(Target::load, Fault::wrong_echo) << "54 55" << -1 << false << false << 0 << "55 55";
    row(Target::load, Fault::short_reply) << "54 55" << -1 << false << false << 0 << "55 55";
    row(Target::load, Fault::unplug) << "54 55" << -1 << false << false << 0 << "54 55 55";
    row(Target::load, Fault::flood) << "54 55 55" << -1 << true << false << W << "55";
    row(Target::load, Fault::overflow) << "54 55" << -1 << false << false << 0 << "55 55";

    // A failed status read changes nothing: the controller now drives 100 %,
    // the model keeps 50 %.
    row(Target::status, Fault::silent) << "55" << -1 << true << false << W << "55";
    row(Target::status, Fault::wrong_echo) << "55" << -1 << true << false << W << "55";
    row(Target::status, Fault::short_reply) << "55" << -1 << true << false << W << "55";
    row(Target::status, Fault::unplug) << "55" << -1 << true << false << W << "54 55 55";
    row(Target::status, Fault::flood) << "55" << -1 << true << false << FULL << "55";
    row(Target::status, Fault::overflow) << "55" << -1 << true << false << W << "55";

    // Manual regulation chosen at 20 % while the controller reports automatic
    // at 50 %. A lost switch is sent again; one the controller acted on
    // without a valid reply is not, only the level follows.
    row(Target::set_mode, Fault::silent) << "55 58" << -1 << true << false << W << "55 58 57";
    row(Target::set_mode, Fault::wrong_echo) << "55 58" << -1 << true << false << W << "55 57";
    row(Target::set_mode, Fault::short_reply) << "55 58" << -1 << true << false << W << "55 57";
    row(Target::set_mode, Fault::unplug) << "55 58" << -1 << true << false << W << "54 55 55 57";
    row(Target::set_mode, Fault::flood) << "55 58 57" << -1 << true << false << MANUAL_LEVEL << "55 57";
    row(Target::set_mode, Fault::overflow) << "55 58" << -1 << true << false << W << "55 57";

    // The level goes again on every tick, confirmed or not; until it is
    // confirmed the brightness is what the controller reported.
    row(Target::set_width, Fault::silent) << "55 58 57" << -1 << true << false << W << "55 57";
    row(Target::set_width, Fault::wrong_echo) << "55 58 57" << -1 << true << false << W << "55 57";
    row(Target::set_width, Fault::short_reply) << "55 58 57" << -1 << true << false << W << "55 57";
    row(Target::set_width, Fault::unplug) << "55 58 57" << -1 << true << false << W << "54 55 55 57";
    row(Target::set_width, Fault::flood) << "55 58 57" << -1 << true << false << MANUAL_LEVEL << "55 57";
    row(Target::set_width, Fault::overflow) << "55 58 57" << -1 << true << false << W << "55 57";

    // An unconfirmed write leaves Apply to do.
    row(Target::write_config, Fault::silent) << "56" << -1 << true << true << W << "55";
    row(Target::write_config, Fault::wrong_echo) << "56" << -1 << true << true << W << "55";
    row(Target::write_config, Fault::short_reply) << "56" << -1 << true << true << W << "55";
    row(Target::write_config, Fault::unplug) << "56" << -1 << true << true << W << "54 55 55";
    row(Target::write_config, Fault::flood) << "56" << -1 << true << false << W << "55";
    row(Target::write_config, Fault::overflow) << "56" << -1 << true << true << W << "55";
}

void FaultMatrixTest::fault()
{
    QFETCH(Target, target);
    QFETCH(Fault, fault);
    QFETCH(QString, wire);
    QFETCH(int, exit_code);
    QFETCH(bool, live);
    QFETCH(bool, apply_due);
    QFETCH(int, brightness);
    QFETCH(QString, recovery);

    Bench bench(ControllerState().pwm_width(REPORTED_WIDTH).mode(0));
    SimBackend &sim = bench.sim();
    CheckedRun run(bench, sim);

    // Bring the model to the state where the faulty exchange is next.
    run.check();
    const bool first_tick = target == Target::identify || target == Target::load;
    if (!first_tick) {
        QCOMPARE(run.tick(), -1);
        QVERIFY(bench.model().live());
    }
    if (target == Target::status)
        bench.controller_config().set_pwm_width(PWM_FULL_SCALE);
    if (target == Target::set_mode || target == Target::set_width) {
        run.set_wanted_mode(RegulationMode::manual);
        run.set_manual_level(MANUAL_LEVEL);
    }

    sim.add_fault(bench.device(), fault_for(fault, command_of(target)));
    bench.forget_wire();
    int asked_exit = -1;
    bool due = false;
    if (target == Target::write_config) {
        ConfigBlock config = bench.model().stored_config();
        config.set_auto_light(3, 400);
        due = !run.apply(config).ok();
    } else {
        asked_exit = run.tick();
    }

    QCOMPARE(sent(bench), wire);
    QCOMPARE(asked_exit, exit_code);
    QCOMPARE(bench.model().live(), live);
    QCOMPARE(due, apply_due);
    QCOMPARE(bench.model().brightness_width(), brightness);

    // Recovery: the program starts again after an identification failure;
    // a vanished controller is noticed (no longer live), then plugged back.
    if (asked_exit != -1)
        run.restart();
    if (fault == Fault::unplug) {
        run.check();
        QCOMPARE(run.tick(), -1);
        QVERIFY(!bench.model().live());
        bench.replug();
    }
    bench.forget_wire();
    run.check();
    QCOMPARE(run.tick(), -1);
    QCOMPARE(sent(bench), recovery);
    QVERIFY(bench.model().live());

    run.close();
    QVERIFY2(!run.checker.failed(), run.checker.violation().c_str());
}

QTEST_MAIN(FaultMatrixTest)
#include "tst_fault_matrix.moc"
