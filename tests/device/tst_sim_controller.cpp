// The simulated controller that the device and window suites stand on: its
// firmware's answers and the bus behaviour of SimBackend.

#include "bus_layout.h"
#include "protocol/curve_width.h"

#include <QByteArray>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

namespace {

SimReply handle(SimFirmware &firmware, int command, const QByteArray &payload = {})
{
    QByteArray report(2, '\0');
    report[1] = char(command);
    report += payload;
    return firmware.handle(reinterpret_cast<const unsigned char *>(report.constData()),
                           size_t(report.size()));
}

QByteArray bytes_of(const ConfigBlock &config)
{
    return QByteArray(reinterpret_cast<const char *>(config.bytes.data()), ConfigBlock::SIZE);
}

std::vector<unsigned char> read_report(SimBackend &backend, HidHandle *handle)
{
    std::vector<unsigned char> report(SIM_REPLY_SIZE);
    const int n = backend.read(handle, report.data(), report.size(), 0);
    report.resize(size_t(std::max(n, 0)));
    return report;
}

} // namespace

class TestSimController : public QObject
{
    Q_OBJECT

private slots:
    void firmware_answers_data();
    void firmware_answers();
    void curve_width_data();
    void curve_width();
    void regulation_follows_the_curve();
    void room_reading_data();
    void room_reading();
    void timed_regulation_data();
    void timed_regulation();
    void each_handle_has_its_own_queue();
    void unplug_kills_old_handles();
    void controllers_on_threads_of_their_own();
    void faults_wear_off();
    void bad_handles_are_refused();
};

void TestSimController::firmware_answers_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("mode");          // regulation_mode before
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("reply");  // reply payload; the rest must be zero
    QTest::addColumn<int>("changed_at");    // first config byte changed, -1: none
    QTest::addColumn<QByteArray>("changed");

    const QByteArray none;
    ConfigBlock manual = sim_default_config();
    manual.set_regulation_mode(1);
    const QByteArray manual_state = bytes_of(manual);

    QTest::newRow("identify") << 1 << 0 << int(cmd_identify) << none << QByteArray("\x01") << -1
                              << none;
    QTest::newRow("identify, version 2") << 2 << 0 << int(cmd_identify) << none
                                         << QByteArray("\x02") << -1 << none;
    QTest::newRow("read state") << 1 << 1 << int(cmd_read_state) << none << manual_state << -1
                                << none;

    QByteArray block(ConfigBlock::SIZE, '\x7F');
    for (int i = ConfigBlock::STATUS_SIZE; i < ConfigBlock::SIZE; ++i)
        block[i] = char(i);
    QTest::newRow("write config keeps the live state")
        << 1 << 0 << int(cmd_write_config) << block << none << ConfigBlock::STATUS_SIZE
        << block.mid(ConfigBlock::STATUS_SIZE);

    QTest::newRow("width 564") << 1 << 1 << int(cmd_set_pwm_width) << QByteArray("\x8D\x00", 2)
                               << none << 0 << QByteArray("\x02\x34", 2);
    QTest::newRow("width 563") << 1 << 1 << int(cmd_set_pwm_width) << QByteArray("\x8C\x03", 2)
                               << none << 0 << QByteArray("\x02\x33", 2);
    QTest::newRow("width 1") << 1 << 1 << int(cmd_set_pwm_width) << QByteArray("\x00\x01", 2)
                             << none << 0 << QByteArray("\x00\x01", 2);
    QTest::newRow("width ignored in automatic")
        << 1 << 0 << int(cmd_set_pwm_width) << QByteArray("\x8D\x00", 2) << none << -1 << none;
    QTest::newRow("width ignored in mode 2")
        << 1 << 2 << int(cmd_set_pwm_width) << QByteArray("\x8D\x00", 2) << none << -1 << none;

    QTest::newRow("mode manual") << 1 << 0 << int(cmd_set_mode) << QByteArray("\x01") << none << 4
                                 << QByteArray("\x01");
    QTest::newRow("mode automatic") << 1 << 1 << int(cmd_set_mode) << QByteArray("\x00", 1) << none
                                    << 4 << QByteArray("\x00", 1);
    QTest::newRow("mode 2 kept as sent") << 1 << 0 << int(cmd_set_mode) << QByteArray("\x02")
                                         << none << 4 << QByteArray("\x02");
    QTest::newRow("unknown command") << 1 << 1 << 0x42 << QByteArray("\x01\x02") << none << -1
                                     << none;
}

void TestSimController::firmware_answers()
{
    QFETCH(int, version);
    QFETCH(int, mode);
    QFETCH(int, command);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, reply);
    QFETCH(int, changed_at);
    QFETCH(QByteArray, changed);

    SimState state;
    state.version = version;
    state.config.set_regulation_mode(unsigned(mode));
    SimFirmware firmware(state);

    const SimReply answer = handle(firmware, command, payload);
    QCOMPARE(int(answer[0]), command);
    QByteArray expected_reply = reply;
    expected_reply.resize(SIM_REPLY_SIZE - 1, '\0');
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(answer.data()) + 1, SIM_REPLY_SIZE - 1),
             expected_reply);

    QByteArray expected_config = bytes_of(state.config);
    if (changed_at >= 0)
        expected_config.replace(changed_at, changed.size(), changed);
    QCOMPARE(bytes_of(firmware.state().config), expected_config);
    QCOMPARE(firmware.state().unknown_requests, command == 0x42 ? 1u : 0u);
}

void TestSimController::curve_width_data()
{
    QTest::addColumn<unsigned>("light");
    QTest::addColumn<bool>("smooth");
    QTest::addColumn<unsigned>("width");

    // The default curve: (0, 30) (100, 80) (200, 150) (350, 250) (500, 350)
    // (700, 450) (900, 564).
    QTest::newRow("first point") << 0u << true << 30u;
    QTest::newRow("between, linear") << 50u << true << 55u;
    QTest::newRow("between, steps") << 50u << false << 30u;
    QTest::newRow("on a point") << 100u << false << 80u;
    QTest::newRow("mid curve, linear") << 600u << true << 400u;
    QTest::newRow("mid curve, steps") << 600u << false << 350u;
    QTest::newRow("last point") << 900u << true << 564u;
    QTest::newRow("beyond the last point") << 1023u << true << 564u;
}

void TestSimController::curve_width()
{
    QFETCH(unsigned, light);
    QFETCH(bool, smooth);
    QFETCH(unsigned, width);

    ConfigBlock config = sim_default_config();
    config.set_pwm_smooth_alg(smooth);
    QCOMPARE(::curve_width(config, light), width);
}

void TestSimController::regulation_follows_the_curve()
{
    SimState state;
    state.follow_curve = true;
    state.config.set_light_adc(600);
    SimFirmware firmware(state);

    ConfigBlock seen;
    auto read_state = [&] {
        const SimReply reply = handle(firmware, cmd_read_state);
        std::copy_n(reply.begin() + 1, ConfigBlock::SIZE, seen.bytes.begin());
        return seen.pwm_width();
    };
    QCOMPARE(read_state(), 400u);

    handle(firmware, cmd_set_mode, QByteArray("\x01"));
    handle(firmware, cmd_set_pwm_width, QByteArray("\x02\x02"));
    firmware.state().config.set_light_adc(0);
    QCOMPARE(read_state(), 10u); // manual: the light does not matter

    handle(firmware, cmd_set_mode, QByteArray("\x00", 1));
    QCOMPARE(firmware.state().config.pwm_width(), 30u);
}

// The room as {ambient, drift, k, noise, settle_ms}: the lamp goes from off
// to half width at 0 ms and the reading, taken 200 times at `at_ms`, stays in
// [low, high] and moves exactly when there is noise.
void TestSimController::room_reading_data()
{
    QTest::addColumn<QList<double>>("room");
    QTest::addColumn<qint64>("at_ms");
    QTest::addColumn<unsigned>("low");
    QTest::addColumn<unsigned>("high");

    QTest::newRow("no room: the reading stays as set") << QList<double>{0, 0, 0, 0, 0} << qint64(900) << 512u << 512u;
    QTest::newRow("no coupling: the ambient alone") << QList<double>{300, 0, 0, 0, 0} << qint64(900) << 300u << 300u;
    QTest::newRow("at the change: still dark") << QList<double>{300, 0, 2.5, 0, 150} << qint64(0) << 300u << 300u;
    QTest::newRow("halfway through settling") << QList<double>{300, 0, 2.5, 0, 150} << qint64(75) << 362u << 363u;
    QTest::newRow("settled: k per percent") << QList<double>{300, 0, 2.5, 0, 150} << qint64(150) << 425u << 425u;
    QTest::newRow("noise within its bounds") << QList<double>{300, 0, 2.5, 3, 0} << qint64(900) << 422u << 428u;
    QTest::newRow("the ambient drifts") << QList<double>{300, 10, 2.5, 0, 0} << qint64(2000) << 445u << 445u;
}

void TestSimController::room_reading()
{
    QFETCH(QList<double>, room);
    QFETCH(qint64, at_ms);
    QFETCH(unsigned, low);
    QFETCH(unsigned, high);

    SimState state;
    state.config.set_regulation_mode(1);
    state.config.set_pwm_width(0);
    state.room = {room[0], room[1], room[2], int(room[3]), int(room[4])};
    SimFirmware firmware(state);
    const unsigned char half_width[4] = {0, cmd_set_pwm_width, 282 / 4, 282 % 4};
    firmware.handle(half_width, sizeof half_width, 0);

    std::set<unsigned> seen;
    const unsigned char read_state[2] = {0, cmd_read_state};
    for (int i = 0; i < 200; ++i) {
        const SimReply reply = firmware.handle(read_state, sizeof read_state, at_ms);
        seen.insert(reply[3] * 256u + reply[4]);
    }
    QVERIFY2(*seen.begin() >= low && *seen.rbegin() <= high,
             qPrintable(QStringLiteral("%1..%2").arg(*seen.begin()).arg(*seen.rbegin())));
    QCOMPARE(seen.size() > 1, room[3] > 0);
}

// The timed model in a room with ambient 320 and the lamp settling in 150 ms;
// the curve runs linearly from (light, %) to (light, %), flat beyond. The
// host reads the width every 500 ms for a minute, from a dark lamp on.
void TestSimController::timed_regulation_data()
{
    QTest::addColumn<QList<int>>("curve");
    QTest::addColumn<double>("k");
    QTest::addColumn<int>("noise");
    QTest::addColumn<int>("min_reversals"); // moves of at least 2 % against the last
    QTest::addColumn<int>("max_reversals");
    QTest::addColumn<QList<int>>("final_percent"); // lowest, highest over the last 10 s

    const QList<int> steep_falling{300, 100, 500, 0};
    const QList<int> flat_falling{300, 60, 700, 40};
    const QList<int> steep_rising{300, 0, 500, 100};
    const QList<int> gain_0_4{300, 70, 500, 50};
    QTest::newRow("steep falling curve, strong coupling: hunts")
        << steep_falling << 4.0 << 0 << 6 << 60 << QList<int>{0, 100};
    QTest::newRow("steep falling curve, no coupling: settles")
        << steep_falling << 0.0 << 0 << 0 << 0 << QList<int>{90, 90};
    QTest::newRow("flat falling curve, strong coupling: settles")
        << flat_falling << 4.0 << 0 << 0 << 1 << QList<int>{48, 50};
    QTest::newRow("loop gain 0.4: settles") << gain_0_4 << 4.0 << 0 << 0 << 1 << QList<int>{47, 50};
    QTest::newRow("flat curve, noisy sensor: settles") << flat_falling << 4.0 << 3 << 0 << 1 << QList<int>{48, 50};
    QTest::newRow("steep rising curve, strong coupling: runs away")
        << steep_rising << 4.0 << 0 << 0 << 0 << QList<int>{100, 100};
}

void TestSimController::timed_regulation()
{
    QFETCH(QList<int>, curve);
    QFETCH(double, k);
    QFETCH(int, noise);
    QFETCH(int, min_reversals);
    QFETCH(int, max_reversals);
    QFETCH(QList<int>, final_percent);

    SimState state;
    state.follow_curve = state.timed_regulation = true;
    state.room = {320, 0, k, noise, 150};
    state.config.set_pwm_width(0);
    for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point) { // points 2..6 span the slope
        const int along = point - 2;
        const int percent = curve[1] + (curve[3] - curve[1]) * std::clamp(along, 0, 4) / 4;
        state.config.set_auto_light(point, unsigned(point == 1 ? 0 : curve[0] + (curve[2] - curve[0]) * along / 4));
        state.config.set_auto_pwm(point, unsigned(percent * PWM_FULL_SCALE / 100));
    }
    SimFirmware firmware(state);

    const unsigned char read_state[2] = {0, cmd_read_state};
    int reversals = 0;
    int direction = 0;
    QList<int> percents;
    for (int ms = 0, width = 0; ms <= 60000; ms += 500) {
        const SimReply reply = firmware.handle(read_state, sizeof read_state, ms);
        const int moved = reply[1] * 256 + reply[2] - width;
        width += moved;
        percents.append(width * 100 / PWM_FULL_SCALE);
        if (std::abs(moved) >= PWM_FULL_SCALE / 50) {
            reversals += direction != 0 && (moved > 0) != (direction > 0);
            direction = moved;
        }
    }
    const auto [lowest, highest] = std::minmax_element(percents.end() - 21, percents.end());
    QVERIFY2(reversals >= min_reversals && reversals <= max_reversals, qPrintable(QString::number(reversals)));
    QVERIFY2(*lowest >= final_percent[0] && *highest <= final_percent[1],
             qPrintable(QStringLiteral("%1..%2").arg(*lowest).arg(*highest)));
    QCOMPARE(*highest - *lowest >= 10, min_reversals > 0); // hunting swings to the end
}

void TestSimController::each_handle_has_its_own_queue()
{
    SimBackend backend;
    const int controller = backend.add_controller();
    HidOpenFailure error;
    HidHandle *first = backend.open(backend.path(controller), &error);
    HidHandle *second = backend.open(backend.path(controller), &error);
    QVERIFY(first && second);

    const unsigned char request[65] = {0, cmd_identify};
    QCOMPARE(backend.write(first, request, sizeof request), 65);
    QCOMPARE(read_report(backend, second).size(), size_t(SIM_REPLY_SIZE));
    const std::vector<unsigned char> reply = read_report(backend, first);
    QCOMPARE(reply.size(), size_t(SIM_REPLY_SIZE));
    QCOMPARE(reply[0], cmd_identify);
    QVERIFY(read_report(backend, first).empty());

    // Like hidraw, a full queue drops what comes next.
    SimReply report{};
    for (int i = 0; i < SIM_QUEUE_CAPACITY + 6; ++i) {
        report[0] = static_cast<unsigned char>(i);
        backend.send_report(controller, report);
    }
    QCOMPARE(backend.dropped_reports(), 2 * 6);
    for (int i = 0; i < SIM_QUEUE_CAPACITY; ++i)
        QCOMPARE(int(read_report(backend, second).at(0)), i);
    QVERIFY(read_report(backend, second).empty());

    backend.close(first);
    backend.close(second);
    QCOMPARE(backend.misuses(), 0);
}

void TestSimController::unplug_kills_old_handles()
{
    SimBackend backend;
    backend.add_decoys(2);
    const int controller = backend.add_controller({}, "A1", "1-2");
    const std::string path = backend.path(controller);
    HidOpenFailure error;
    HidHandle *old = backend.open(path, &error);
    backend.firmware(controller).state().version = 7;

    backend.unplug(controller);
    QCOMPARE(backend.enumerate().size(), size_t(2));
    QVERIFY(!backend.alive(old));
    const unsigned char request[65] = {0, cmd_identify};
    QCOMPARE(backend.write(old, request, sizeof request), -1);
    unsigned char buffer[SIM_REPLY_SIZE];
    QCOMPARE(backend.read(old, buffer, sizeof buffer, 0), -1);
    QVERIFY(!backend.open(path, &error));
    QCOMPARE(error.reason, "Failed to open a device with path '" + path + "': No such file or directory");
    QCOMPARE(error.error_number, ENOENT);

    backend.replug(controller);
    QCOMPARE(backend.enumerate().back().path, path);
    QCOMPARE(backend.enumerate().back().port, "1-2");
    QVERIFY(!backend.alive(old)); // a replug is a new device node
    HidHandle *fresh = backend.open(path, &error);
    QVERIFY(backend.alive(fresh));
    QCOMPARE(backend.write(fresh, request, sizeof request), 65);
    QCOMPARE(int(read_report(backend, fresh).at(1)), 7); // the firmware kept its state

    backend.deny_open(controller);
    QVERIFY(!backend.open(path, &error));
    QCOMPARE(error.reason, "Failed to open a device with path '" + path + "': Permission denied");
    QCOMPARE(error.error_number, EACCES);
    backend.deny_open(controller, EBUSY, 1); // denied for one open only
    QVERIFY(!backend.open(path, &error));
    QCOMPARE(error.error_number, EBUSY);
    HidHandle *again = backend.open(path, &error);
    QVERIFY(again);

    // Moved to another port: the same serial, listed where it is now.
    backend.unplug(controller);
    backend.replug(controller, "3-1.4");
    const HidInterface moved = backend.enumerate().back();
    QCOMPARE(moved.serial + ' ' + moved.port, "A1 3-1.4");
    QVERIFY(!backend.alive(again));

    backend.close(old);
    backend.close(fresh);
    backend.close(again);
    QVERIFY(backend.open_devices().empty());
    QCOMPARE(backend.misuses(), 0);
}

// Two controllers with equal and missing serials, each driven by a thread of
// its own as the program's workers do.
void TestSimController::controllers_on_threads_of_their_own()
{
    SimBackend backend;
    backend.add_decoys(1);
    for (const char *port : {"1-1", "1-2"})
        backend.add_controller({}, "TWIN", port);
    backend.add_controller();
    std::vector<std::string> listed;
    for (const HidInterface &hid : backend.enumerate())
        listed.push_back(hid.path + ' ' + hid.serial + '@' + hid.port);
    QCOMPARE(listed, (std::vector<std::string>{"/dev/hidraw0 @", "/dev/hidraw1 TWIN@1-1",
                                               "/dev/hidraw2 TWIN@1-2", "/dev/hidraw3 @"}));

    constexpr int EXCHANGES = 20000;
    std::atomic<bool> start{false};
    std::vector<std::thread> workers;
    for (int device = 1; device <= 3; ++device) {
        workers.emplace_back([&backend, &start, device] {
            HidOpenFailure error;
            HidHandle *handle = backend.open(backend.path(device), &error);
            const unsigned char request[65] = {0, cmd_identify};
            while (!start)
                std::this_thread::yield();
            for (int i = 0; i < EXCHANGES; ++i) {
                backend.write(handle, request, sizeof request);
                read_report(backend, handle);
                backend.enumerate();
            }
            backend.close(handle);
        });
    }
    start = true;
    for (std::thread &worker : workers)
        worker.join();
    QCOMPARE(backend.wire().size(), size_t(3 * EXCHANGES * 2));
    QCOMPARE(backend.misuses(), 0);
}

void TestSimController::faults_wear_off()
{
    SimBackend backend;
    const int controller = backend.add_controller();
    HidOpenFailure error;
    HidHandle *handle = backend.open(backend.path(controller), &error);
    backend.add_fault(controller, {SimFaultKind::silent, cmd_read_state, 2});

    auto answered = [&](int command) {
        const unsigned char request[65] = {0, static_cast<unsigned char>(command)};
        backend.write(handle, request, sizeof request);
        return !read_report(backend, handle).empty();
    };
    QVERIFY(answered(cmd_identify)); // another command passes untouched
    QVERIFY(!answered(cmd_read_state));
    QVERIFY(!answered(cmd_read_state));
    QVERIFY(answered(cmd_read_state));

    backend.add_fault(controller, {SimFaultKind::write_fails, SIM_ANY_COMMAND, SIM_ALWAYS});
    const unsigned char request[65] = {0, cmd_set_mode, 1};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(backend.write(handle, request, sizeof request), -1);
    QCOMPARE(backend.firmware(controller).state().config.regulation_mode(), 0u);
    backend.close(handle);
}

// Decoys never match; a handle that was closed is never touched again.
void TestSimController::bad_handles_are_refused()
{
    SimBackend backend;
    backend.add_decoys(100);
    std::set<std::string> paths;
    for (const HidInterface &hid : backend.enumerate()) {
        QVERIFY(hid.vendor_id != CONTROLLER_VENDOR_ID || hid.product_id != CONTROLLER_PRODUCT_ID);
        paths.insert(hid.path);
    }
    QCOMPARE(paths.size(), size_t(100));

    HidOpenFailure error;
    HidHandle *handle = backend.open(backend.path(0), &error);
    backend.close(handle);
    unsigned char buffer[SIM_REPLY_SIZE] = {};
    QCOMPARE(backend.write(handle, buffer, sizeof buffer), -1);
    QCOMPARE(backend.read(handle, buffer, sizeof buffer, 0), -1);
    QVERIFY(!backend.alive(handle));
    backend.close(handle);
    QCOMPARE(backend.misuses(), 4);
}

QTEST_GUILESS_MAIN(TestSimController)
#include "tst_sim_controller.moc"
