// One request, one echoed reply: HidDevice::exchange against a simulated
// controller, with the faults a real USB link shows.

#include "device/hid_device.h"
#include "bus_layout.h"

#include <QTest>

#include <algorithm>
#include <array>
#include <memory>

Q_DECLARE_METATYPE(SimFault)

namespace {

using Reply = std::array<unsigned char, HID_REPLY_SIZE>;
using Payload = std::array<unsigned char, HID_PAYLOAD_SIZE>;

constexpr unsigned char UNTOUCHED = 0xA5;

Reply untouched_reply()
{
    Reply reply;
    reply.fill(UNTOUCHED);
    return reply;
}

Payload counting_payload(unsigned char first)
{
    Payload payload;
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<unsigned char>(first + i);
    return payload;
}

// A controller on the bus and a HidDevice connected to it; the logs start
// after the connection.
struct Link
{
    explicit Link(const SimState &state = {})
    {
        controller = backend.add_controller(state);
        device.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
        device.open(backend.path(controller));
        backend.clear_logs();
    }

    SimState &state() { return backend.firmware(controller).state(); }
    std::vector<unsigned char> last_written() const
    {
        for (auto it = backend.wire().rbegin(); it != backend.wire().rend(); ++it) {
            if (it->direction == SimDirection::out)
                return it->bytes;
        }
        return {};
    }

    SimBackend backend;
    int controller = -1;
    HidDevice device{backend};
};

} // namespace

class TestHidExchange : public QObject
{
    Q_OBJECT

private slots:
    void framing_on_the_wire_data();
    void framing_on_the_wire();
    void request_without_payload_repeats_the_last();
    void failures_data();
    void failures();
    void late_reply_is_read_by_the_next_exchange();
    void not_connected_means_no_io_data();
    void not_connected_means_no_io();
};

void TestHidExchange::framing_on_the_wire_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("with_payload");

    QTest::newRow("identify") << int(cmd_identify) << false;
    QTest::newRow("read state") << int(cmd_read_state) << false;
    QTest::newRow("write config") << int(cmd_write_config) << true;
    QTest::newRow("set pwm width") << int(cmd_set_pwm_width) << true;
    QTest::newRow("set mode") << int(cmd_set_mode) << true;
    QTest::newRow("unknown command") << 0x42 << true;
    QTest::newRow("only the low 8 bits go out") << 0x100 + cmd_read_state << false;
}

void TestHidExchange::framing_on_the_wire()
{
    QFETCH(int, command);
    QFETCH(bool, with_payload);

    Link link;
    const Payload payload = counting_payload(1);
    Reply reply = untouched_reply();
    QVERIFY(link.device.exchange(command, reply.data(), with_payload ? payload.data() : nullptr));

    const std::vector<unsigned char> written = link.last_written();
    QCOMPARE(written.size(), size_t(65));
    QCOMPARE(written[0], 0);
    QCOMPARE(written[1], command & 0xFF);
    if (with_payload)
        QVERIFY(std::equal(payload.begin(), payload.end(), written.begin() + 2));

    // The reply buffer holds the 64 bytes the controller sent, echo first.
    const SimWireRecord &answer = link.backend.wire().back();
    QCOMPARE(answer.direction, SimDirection::in);
    QCOMPARE(answer.bytes, std::vector<unsigned char>(reply.begin(), reply.end()));
    QCOMPARE(reply[0], command & 0xFF);
    QCOMPARE(link.backend.reads().front().timeout_ms, HID_EXCHANGE_TIMEOUT_MS);
}

void TestHidExchange::request_without_payload_repeats_the_last()
{
    Link link;
    const Payload first = counting_payload(10);
    const Payload second = counting_payload(100);

    QVERIFY(link.device.exchange(cmd_identify, nullptr, nullptr));
    QVERIFY(std::all_of(link.last_written().begin() + 2, link.last_written().end(),
                        [](unsigned char b) { return b == 0; }));

    QVERIFY(link.device.exchange(cmd_set_mode, nullptr, first.data()));
    QVERIFY(link.device.exchange(cmd_read_state, nullptr, nullptr));
    QVERIFY(std::equal(first.begin(), first.end(), link.last_written().begin() + 2));

    // A failed exchange still leaves its payload behind for the next one.
    link.backend.add_fault(link.controller, {SimFaultKind::silent, cmd_set_pwm_width});
    QVERIFY(!link.device.exchange(cmd_set_pwm_width, nullptr, second.data()));
    QVERIFY(link.device.exchange(cmd_identify, nullptr, nullptr));
    QVERIFY(std::equal(second.begin(), second.end(), link.last_written().begin() + 2));
}

void TestHidExchange::failures_data()
{
    QTest::addColumn<SimFault>("fault");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("times_out");  // waited for the reply until given up
    QTest::addColumn<bool>("next_ok");    // the following exchange succeeds

    const int read = cmd_read_state;
    QTest::newRow("reply with another code") << SimFault{SimFaultKind::wrong_echo, read}
                                             << false << true << true;
    QTest::newRow("reply echoing another request")
        << SimFault{SimFaultKind::wrong_echo, read, 1, cmd_identify} << false << true << true;
    QTest::newRow("silent") << SimFault{SimFaultKind::silent, read} << false << true << true;
    QTest::newRow("silent for good") << SimFault{SimFaultKind::silent, SIM_ANY_COMMAND, SIM_ALWAYS}
                                     << false << true << false;
    QTest::newRow("short reply") << SimFault{SimFaultKind::short_reply, read} << false << false
                                 << true;
    QTest::newRow("one byte short") << SimFault{SimFaultKind::short_reply, read, 1, 63} << false
                                    << false << true;
    QTest::newRow("write fails") << SimFault{SimFaultKind::write_fails, read} << false << false
                                 << true;
    QTest::newRow("late reply") << SimFault{SimFaultKind::late_reply, read} << false << true
                                << true;
    QTest::newRow("unplugged mid-exchange") << SimFault{SimFaultKind::unplug_mid_exchange, read}
                                            << false << false << false;
    QTest::newRow("unsolicited report first") << SimFault{SimFaultKind::unsolicited, read}
                                              << true << false << true;
    QTest::newRow("unsolicited reports fill the queue")
        << SimFault{SimFaultKind::unsolicited, read, 1, SIM_QUEUE_CAPACITY - 1} << true << false
        << true;
    QTest::newRow("flood crowds the reply out")
        << SimFault{SimFaultKind::unsolicited, read, 1, 100} << false << true << true;
    QTest::newRow("fault on another command") << SimFault{SimFaultKind::silent, cmd_set_mode}
                                              << true << false << true;
}

void TestHidExchange::failures()
{
    QFETCH(SimFault, fault);
    QFETCH(bool, ok);
    QFETCH(bool, times_out);
    QFETCH(bool, next_ok);

    SimState state;
    state.config.set_pwm_width(282);
    Link link(state);
    link.backend.add_fault(link.controller, fault);

    Reply reply = untouched_reply();
    QCOMPARE(link.device.exchange(cmd_read_state, reply.data(), nullptr), ok);
    QVERIFY(link.device.connected()); // only open() decides that
    if (ok) {
        QCOMPARE(reply[0], cmd_read_state);
        QVERIFY(std::equal(state.config.bytes.begin(), state.config.bytes.end(), reply.begin() + 1));
    } else {
        QCOMPARE(reply, untouched_reply());
    }

    // Each wait for the reply is bounded by the time-out, the first asks
    // for all of it, and an exchange that gives up has waited no longer.
    const long long waited = link.backend.now_ms();
    QVERIFY(times_out ? waited > 0 && waited <= HID_EXCHANGE_TIMEOUT_MS : waited == 0);
    for (const SimReadCall &call : link.backend.reads())
        QVERIFY(call.timeout_ms >= 0 && call.timeout_ms <= HID_EXCHANGE_TIMEOUT_MS);
    if (!link.backend.reads().empty())
        QCOMPARE(link.backend.reads().front().timeout_ms, HID_EXCHANGE_TIMEOUT_MS);

    // The next exchange starts afresh: whatever the fault left behind
    // (a late reply, unsolicited reports, a short report's bytes) does not
    // leak into it.
    reply = untouched_reply();
    QCOMPARE(link.device.exchange(cmd_identify, reply.data(), nullptr), next_ok);
    QVERIFY(link.device.connected());
    if (next_ok) {
        QCOMPARE(reply[0], cmd_identify);
        QCOMPARE(reply[1], 1);
        QVERIFY(std::all_of(reply.begin() + 2, reply.end(), [](unsigned char b) { return b == 0; }));
    }
    QCOMPARE(link.backend.misuses(), 0);
}

// A reply that comes after its exchange gave up is still in the handle's
// queue for the next exchange, which takes it when it echoes that request
// and skips it otherwise, so one late reply does not put every later
// exchange a reply behind.
void TestHidExchange::late_reply_is_read_by_the_next_exchange()
{
    Link link;
    link.state().config.set_light_adc(100);
    link.backend.add_fault(link.controller, {SimFaultKind::late_reply, cmd_read_state});
    QVERIFY(!link.device.exchange(cmd_read_state, nullptr, nullptr));

    link.state().config.set_light_adc(200);
    ConfigBlock seen;
    Reply reply = untouched_reply();
    QVERIFY(link.device.exchange(cmd_read_state, reply.data(), nullptr));
    std::copy_n(reply.begin() + 1, ConfigBlock::SIZE, seen.bytes.begin());
    QCOMPARE(seen.light_adc(), 100u); // the stale one, accepted: same command

    // Its own reply is now the stale one: an identify skips it.
    QVERIFY(link.device.exchange(cmd_identify, reply.data(), nullptr));
    QCOMPARE(reply[0], cmd_identify);

    link.state().config.set_light_adc(300);
    QVERIFY(link.device.exchange(cmd_read_state, reply.data(), nullptr));
    std::copy_n(reply.begin() + 1, ConfigBlock::SIZE, seen.bytes.begin());
    QCOMPARE(seen.light_adc(), 300u); // back in step
    QCOMPARE(link.backend.now_ms(), HID_EXCHANGE_TIMEOUT_MS);
}

void TestHidExchange::not_connected_means_no_io_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("never opened") << "never opened";
    QTest::newRow("nothing found") << "nothing found";
    QTest::newRow("unplugged and noticed") << "unplugged";
}

void TestHidExchange::not_connected_means_no_io()
{
    QFETCH(QString, how);

    SimBackend backend;
    const int controller = backend.add_controller();
    HidDevice device(backend);
    device.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
    if (how == "nothing found") {
        backend.unplug(controller);
        QVERIFY(!device.open(backend.path(controller)));
    } else if (how == "unplugged") {
        QVERIFY(device.open(backend.path(controller)));
        backend.unplug(controller);
        QVERIFY(!device.open(backend.path(controller)));
    }
    backend.clear_logs();

    const Payload payload = counting_payload(1);
    Reply reply = untouched_reply();
    QVERIFY(!device.exchange(cmd_write_config, reply.data(), payload.data()));
    QVERIFY(!device.connected());
    QCOMPARE(reply, untouched_reply());
    QVERIFY(backend.wire().empty());
    QVERIFY(backend.reads().empty());
    QCOMPARE(backend.misuses(), 0);
}

QTEST_GUILESS_MAIN(TestHidExchange)
#include "tst_hid_exchange.moc"
