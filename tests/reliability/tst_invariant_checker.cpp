// The invariant checker must itself catch what it is there for: each row plays
// a short conversation with the simulated controller straight through the
// checker, as a faulty HidDevice or model would hold it, and names the rule
// the checker must report (or none, for the conversations that are right).

#include "invariant_checker.h"

#include "device/hid_device.h"
#include "protocol/commands.h"
#include "protocol/config_block.h"
#include "tools/sim/sim_backend.h"

#include <QtTest>

#include <vector>

namespace {

// One move of a scripted conversation.
struct Move
{
    enum Kind { begin, end, open, write, write_back, read, close, silence } kind;
    int value = 0;        // begin: the Step; write: the command; read: time-out; silence: command
    int payload0 = 0;     // write: payload byte 0
};

using Script = std::vector<Move>;

Move begin(Step step) { return {Move::begin, int(step)}; }
Move end() { return {Move::end}; }
Move open() { return {Move::open}; }
Move write(int command, int payload0 = 0) { return {Move::write, command, payload0}; }
// cmd_write_config with the block of the last cmd_read_state reply.
Move write_back() { return {Move::write_back}; }
Move read(int timeout_ms = 3000) { return {Move::read, timeout_ms}; }
Move close() { return {Move::close}; }
// The controller will not answer the next request with this command.
Move silence(int command) { return {Move::silence, command}; }

// A new connection identified and loaded, as the first tick does it.
Script identified_and_loaded()
{
    return {open(), begin(Step::tick), write(cmd_identify), read(), write(cmd_read_state), read(),
            write(cmd_read_state), read(), end()};
}

Script operator+(Script first, const Script &second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

} // namespace

Q_DECLARE_METATYPE(Script)

class InvariantCheckerTest : public QObject
{
    Q_OBJECT

private slots:
    void reports_data();
    void reports();
};

void InvariantCheckerTest::reports_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("violation"); // a part of the report; empty: none

    QTest::newRow("identify, load, status pass, write-back")
        << identified_and_loaded() + Script{begin(Step::close), write_back(), read(), close(), end()}
        << "";
    QTest::newRow("a failed load is retried")
        << Script{open(), silence(cmd_read_state), begin(Step::tick), write(cmd_identify), read(),
                  write(cmd_read_state), read(), end(), begin(Step::tick), write(cmd_read_state), read(),
                  write(cmd_read_state), read(), end()}
        << "";

    QTest::newRow("write-back to an unidentified controller")
        << Script{open(), begin(Step::close), write(cmd_write_config), read(), close(), end()}
        << "cmd_write_config to a controller not identified";
    QTest::newRow("write-back after the load failed")
        << Script{open(), silence(cmd_read_state), begin(Step::tick), write(cmd_identify), read(),
                  write(cmd_read_state), read(), end(), begin(Step::close), write(cmd_write_config),
                  read(), close(), end()}
        << "cmd_write_config to a controller not identified";
    QTest::newRow("configuration written by a tick")
        << identified_and_loaded() + Script{begin(Step::tick), write(cmd_write_config), read(), end()}
        << "cmd_write_config sent by a tick";
    QTest::newRow("close without the due write-back")
        << identified_and_loaded() + Script{begin(Step::close), close(), end()}
        << "0 cmd_write_config requests where the state allows 1";
    QTest::newRow("handle left open by the ending program")
        << Script{open(), begin(Step::close), end()} << "left its device handle open";

    QTest::newRow("unknown command") << Script{open(), begin(Step::tick), write(0x3B), end()}
                                     << "unknown command 59";
    QTest::newRow("mode outside the poll cycle")
        << identified_and_loaded() + Script{begin(Step::hot_key), write(cmd_set_mode, 1), read(), end()}
        << "command 58 sent outside the poll cycle";
    QTest::newRow("identification skipped")
        << Script{open(), begin(Step::tick), write(cmd_read_state), read(), end()}
        << "sent command 55 where only 54 may come";
    QTest::newRow("identified twice")
        << identified_and_loaded() + Script{begin(Step::tick), write(cmd_identify), read(), end()}
        << "sent command 54 where only 55 may come";
    QTest::newRow("going on after a failed status read")
        << identified_and_loaded()
               + Script{silence(cmd_read_state), begin(Step::tick), write(cmd_read_state), read(),
                        write(cmd_set_mode), read(), end()}
        << "after it should have ended";
    QTest::newRow("a status pass after a failed identification")
        << Script{open(), silence(cmd_identify), begin(Step::tick), write(cmd_identify), read(),
                  write(cmd_read_state), read(), write(cmd_read_state), read(), end()}
        << "after it should have ended";
    QTest::newRow("a tick with no controller held")
        << Script{begin(Step::tick), open(), write(cmd_identify), end()} << "with no controller held";
    QTest::newRow("a tick cut short")
        << Script{open(), begin(Step::tick), write(cmd_identify), read(), end()}
        << "ended before the exchanges its state requires";

    QTest::newRow("a read that may wait too long")
        << Script{open(), begin(Step::tick), write(cmd_identify), read(3001), end()} << "may wait 3001 ms";
    QTest::newRow("a read past the reply")
        << Script{open(), begin(Step::tick), write(cmd_identify), read(), read(), end()}
        << "a read outside an exchange";
    QTest::newRow("a read past a time-out")
        << Script{open(), silence(cmd_identify), begin(Step::tick), write(cmd_identify), read(), read(0),
                  end()}
        << "a read outside an exchange";
    QTest::newRow("a second handle") << Script{open(), open()} << "a second device handle";
    QTest::newRow("a closed handle used")
        << Script{open(), close(), begin(Step::tick), write(cmd_identify), end()}
        << "write on a handle that is not open";
}

void InvariantCheckerTest::reports()
{
    QFETCH(Script, script);
    QFETCH(QString, violation);

    SimBackend sim;
    const int controller = sim.add_controller();
    InvariantChecker checker(sim);
    HidHandle *handle = nullptr;
    HidReport report{};
    std::array<unsigned char, HID_REPLY_SIZE> reply{};
    for (const Move &move : script) {
        switch (move.kind) {
        case Move::begin: checker.begin(Step(move.value)); break;
        case Move::end: checker.end(); break;
        case Move::open: handle = checker.open(sim.path(controller), nullptr); break;
        case Move::write:
            report[1] = static_cast<unsigned char>(move.value);
            report[2] = static_cast<unsigned char>(move.payload0);
            checker.write(handle, report.data(), report.size());
            break;
        case Move::write_back:
            report[1] = cmd_write_config;
            std::copy_n(reply.begin() + 1, ConfigBlock::SIZE, report.begin() + 2);
            checker.write(handle, report.data(), report.size());
            break;
        case Move::read: checker.read(handle, reply.data(), reply.size(), move.value); break;
        case Move::close: checker.close(handle); break;
        case Move::silence: sim.add_fault(controller, {SimFaultKind::silent, move.value}); break;
        }
    }

    if (violation.isEmpty())
        QVERIFY2(!checker.failed(), checker.violation().c_str());
    else
        QVERIFY2(QString::fromStdString(checker.violation()).contains(violation),
                 ("reported: " + checker.violation()).c_str());
}

QTEST_MAIN(InvariantCheckerTest)
#include "tst_invariant_checker.moc"
