// The simulated controller's preload library on its own: loaded with dlopen
// and driven through hidapi's C API, as the program drives it, plus the text
// formats of its control directory.

#include "device/hidapi_backend.h"
#include "protocol/commands.h"
#include "tools/preload/sim_channel.h"

#include <hidapi.h>
#include <libudev.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>
#include <poll.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace {

constexpr int SLICE_MS = 50; // a read's time-out where nothing is expected

// The library's functions, looked up by name.
struct Hidapi
{
    decltype(&::hid_enumerate) enumerate = nullptr;
    decltype(&::hid_free_enumeration) free_enumeration = nullptr;
    decltype(&::hid_open_path) open_path = nullptr;
    decltype(&::hid_write) write = nullptr;
    decltype(&::hid_read_timeout) read_timeout = nullptr;
    decltype(&::hid_close) close = nullptr;
    decltype(&::hid_error) error = nullptr;
    decltype(&::hid_get_device_info) device_info = nullptr;
    decltype(&::hid_get_product_string) product_string = nullptr;
    decltype(&::hid_send_feature_report) send_feature_report = nullptr;
};

// A block unlike the factory one, as a controller configured before.
ConfigBlock remembered_block()
{
    ConfigBlock block;
    block.set_auto_light(3, 500);
    block.set_auto_pwm(3, 282);
    block.set_avrg_light_num(7);
    return block;
}

std::array<unsigned char, 65> request(int command, const QByteArray &payload = {})
{
    std::array<unsigned char, 65> report{};
    report[1] = static_cast<unsigned char>(command);
    std::copy(payload.begin(), payload.end(), report.begin() + 2);
    return report;
}

bool readable(int fd, int timeout_ms)
{
    pollfd watched{fd, POLLIN, 0};
    return ::poll(&watched, 1, timeout_ms) == 1;
}

QString described(const HidEvent &event)
{
    const char *actions[] = {"add", "remove", "change", "other"};
    const HidInterface &hid = event.hid;
    return QString::asprintf("%s %s %04x:%04x %s@%s", actions[int(event.action)], hid.path.c_str(), hid.vendor_id,
                             hid.product_id, hid.serial.c_str(), hid.port.c_str());
}

} // namespace

class TestSimHidapi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void exports_every_hidapi_function();
    void lists_controllers_behind_decoy();
    void answers_from_firmware();
    void remembers_block_in_state_file();
    void faults_shape_the_exchange_data();
    void faults_shape_the_exchange();
    void unplug_kills_handles_until_reopened();
    void denied_open_reports_hidapi_text();
    void bad_calls_are_refused();
    void udev_events_data();
    void udev_events();

    void light_model_data();
    void light_model();
    void rejects_bad_light_data();
    void rejects_bad_light();
    void fault_lines_data();
    void fault_lines();
    void controller_lines_data();
    void controller_lines();
    void state_block_round_trip();

private:
    // Replaces a control file and lets the library's next look find it.
    void set(const QString &file, const QString &content);
    hid_device *open_controller();
    // Sends a request, then reads until a time-out, each read described as
    // "XX:N" (first byte, length), "timeout" or "error".
    QStringList exchange(hid_device *device, int command, int *written = nullptr);

    QTemporaryDir dir_;
    void *library_ = nullptr;
    Hidapi hid_;
};

// A second controller, "lamp", with a serial number and a port of its own;
// the first keeps the top-level files, no serial and the default port.
void TestSimHidapi::initTestCase()
{
    QVERIFY(dir_.isValid());
    set(QStringLiteral("state"), QString::fromStdString(format_block(remembered_block())));
    set(QStringLiteral("controllers"), QStringLiteral("first\nlamp serial=LAMP-7 port=3-1.4\n"));
    qputenv("MORVANE_SIM_DIR", dir_.path().toUtf8());
    library_ = dlopen(SIM_PRELOAD_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(library_, dlerror());

    const auto resolve = [this](auto &function, const char *name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library_, name));
        return function != nullptr;
    };
    QVERIFY(resolve(hid_.enumerate, "hid_enumerate"));
    QVERIFY(resolve(hid_.free_enumeration, "hid_free_enumeration"));
    QVERIFY(resolve(hid_.open_path, "hid_open_path"));
    QVERIFY(resolve(hid_.write, "hid_write"));
    QVERIFY(resolve(hid_.read_timeout, "hid_read_timeout"));
    QVERIFY(resolve(hid_.close, "hid_close"));
    QVERIFY(resolve(hid_.error, "hid_error"));
    QVERIFY(resolve(hid_.device_info, "hid_get_device_info"));
    QVERIFY(resolve(hid_.product_string, "hid_get_product_string"));
    QVERIFY(resolve(hid_.send_feature_report, "hid_send_feature_report"));
}

// Each case starts from a plugged-in controller without faults.
void TestSimHidapi::init()
{
    set(QStringLiteral("plugged"), QStringLiteral("1"));
    set(QStringLiteral("faults"), QString());
    set(QStringLiteral("version"), QStringLiteral("1"));
}

void TestSimHidapi::cleanupTestCase()
{
    // Left loaded: the library's bus lives for the whole process by design.
    qunsetenv("MORVANE_SIM_DIR");
}

void TestSimHidapi::set(const QString &file, const QString &content)
{
    QFile out(dir_.filePath(file + QStringLiteral(".new")));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(content.toUtf8());
    out.close();
    QFile::remove(dir_.filePath(file));
    QVERIFY(QFile::rename(out.fileName(), dir_.filePath(file)));
    QTest::qSleep(6); // the library looks again after 5 ms
}

hid_device *TestSimHidapi::open_controller()
{
    return hid_.open_path("/dev/hidraw1");
}

QStringList TestSimHidapi::exchange(hid_device *device, int command, int *written)
{
    const auto report = request(command);
    const int result = hid_.write(device, report.data(), report.size());
    if (written)
        *written = result;
    QStringList reads;
    for (int i = 0; i < 200; ++i) {
        unsigned char buffer[64] = {};
        const int n = hid_.read_timeout(device, buffer, sizeof buffer, SLICE_MS);
        reads.append(n < 0 ? QStringLiteral("error")
                     : n == 0 ? QStringLiteral("timeout")
                              : QStringLiteral("%1:%2").arg(buffer[0], 2, 16, QLatin1Char('0')).arg(n));
        if (n <= 0)
            break;
    }
    return reads;
}

// A function the library left out would fall through to the real hidapi
// and reach real hardware.
void TestSimHidapi::exports_every_hidapi_function()
{
    QFile header(QStringLiteral(HIDAPI_HEADER));
    QVERIFY(header.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(header.readAll());
    static const QRegularExpression declaration(
        QStringLiteral("HID_API_EXPORT[^;(\\n]*\\b(hid_\\w+)\\s*\\("));
    QStringList names;
    for (auto match = declaration.globalMatch(text); match.hasNext();)
        names.append(match.next().captured(1));
    QVERIFY(names.size() >= 22);
    for (const QString &name : names) {
        void *function = dlsym(library_, name.toLatin1().constData());
        QVERIFY2(function, qPrintable(name));
        Dl_info where{};
        QVERIFY(dladdr(function, &where));
        QVERIFY2(QByteArray(where.dli_fname).endsWith(QFileInfo(QStringLiteral(SIM_PRELOAD_LIBRARY)).fileName().toLatin1()),
                 qPrintable(name));
    }
}

void TestSimHidapi::lists_controllers_behind_decoy()
{
    const auto list = [this](unsigned short vendor, unsigned short product) {
        QStringList found;
        hid_device_info *head = hid_.enumerate(vendor, product);
        for (const hid_device_info *info = head; info; info = info->next)
            found.append(QStringLiteral("%1 %2:%3 %4").arg(QString::fromLatin1(info->path))
                             .arg(info->vendor_id, 4, 16, QLatin1Char('0'))
                             .arg(info->product_id, 4, 16, QLatin1Char('0'))
                             .arg(QString::fromWCharArray(info->serial_number)));
        hid_.free_enumeration(head);
        return found;
    };
    // The program's own listing: serial numbers, and ports through libudev.
    HidapiBackend backend;
    const auto listed = [&backend] {
        QStringList found;
        for (const HidInterface &hid : backend.enumerate())
            found.append(QString::fromStdString(hid.path + ' ' + hid.serial + '@' + hid.port));
        return found;
    };
    QCOMPARE(list(0, 0), (QStringList{"/dev/hidraw0 8d88:00bc SIM-0002", "/dev/hidraw1 8d88:00bb ",
                                      "/dev/hidraw2 8d88:00bb LAMP-7"}));
    QCOMPARE(list(0x8D88, 0xBB), (QStringList{"/dev/hidraw1 8d88:00bb ", "/dev/hidraw2 8d88:00bb LAMP-7"}));
    QCOMPARE(listed(), (QStringList{"/dev/hidraw0 SIM-0002@1-1", "/dev/hidraw1 @1-2", "/dev/hidraw2 LAMP-7@3-1.4"}));

    // Each controller has its own files: the first unplugged, the lamp stays
    // and answers, and only its own log has the exchange.
    const auto identifications = [this](const QString &log) {
        QFile file(dir_.filePath(log));
        return file.open(QIODevice::ReadOnly) ? file.readAll().count(" out 00 36") : 0;
    };
    const int first_before = identifications(QStringLiteral("wire.log"));
    set(QStringLiteral("plugged"), QStringLiteral("0"));
    QCOMPARE(list(0x8D88, 0xBB), QStringList{"/dev/hidraw2 8d88:00bb LAMP-7"});
    hid_device *lamp = hid_.open_path("/dev/hidraw2");
    QVERIFY(lamp);
    QCOMPARE(exchange(lamp, cmd_identify), (QStringList{"36:64", "timeout"}));
    hid_.close(lamp);
    QCOMPARE(identifications(QStringLiteral("lamp/wire.log")), 1);
    QCOMPARE(identifications(QStringLiteral("wire.log")), first_before);

    // A port written while plugged in is taken on at the next plug-in.
    set(QStringLiteral("plugged"), QStringLiteral("1"));
    set(QStringLiteral("lamp/port"), QStringLiteral("3-2"));
    QCOMPARE(listed().last(), "/dev/hidraw2 LAMP-7@3-1.4");
    set(QStringLiteral("lamp/plugged"), QStringLiteral("0"));
    QCOMPARE(listed(), (QStringList{"/dev/hidraw0 SIM-0002@1-1", "/dev/hidraw1 @1-2"}));
    set(QStringLiteral("lamp/plugged"), QStringLiteral("1"));
    QCOMPARE(listed().last(), "/dev/hidraw2 LAMP-7@3-2");

    // Any other device still reaches the real libudev.
    udev *context = udev_new();
    udev_device *null_device = udev_device_new_from_subsystem_sysname(context, "mem", "null");
    QVERIFY(null_device);
    QCOMPARE(QByteArray(udev_device_get_sysname(null_device)), "null");
    udev_device_unref(null_device);
    udev_unref(context);
}

void TestSimHidapi::answers_from_firmware()
{
    set(QStringLiteral("version"), QStringLiteral("2"));
    set(QStringLiteral("light"), QStringLiteral("const 777"));
    hid_device *device = open_controller();
    QVERIFY(device);
    QCOMPARE(hid_.device_info(device)->product_id, 0xBB);
    wchar_t product[64];
    QCOMPARE(hid_.product_string(device, product, 64), 0);
    QCOMPARE(QString::fromWCharArray(product), QStringLiteral("Morvane PWM controller"));

    auto report = request(cmd_identify);
    QCOMPARE(hid_.write(device, report.data(), report.size()), 65);
    unsigned char reply[64] = {};
    QCOMPARE(hid_.read_timeout(device, reply, sizeof reply, SLICE_MS), 64);
    QCOMPARE(int(reply[0]), int(cmd_identify));
    QCOMPARE(int(reply[1]), 2);

    report = request(cmd_read_state);
    QCOMPARE(hid_.write(device, report.data(), report.size()), 65);
    QCOMPARE(hid_.read_timeout(device, reply, sizeof reply, SLICE_MS), 64);
    ConfigBlock block;
    std::copy_n(reply + 1, ConfigBlock::SIZE, block.bytes.begin());
    QCOMPARE(block.light_adc(), 777u);
    QCOMPARE(block.auto_light(3), 500u);
    QCOMPARE(hid_.send_feature_report(device, report.data(), report.size()), -1);

    // A lamp at half width adds k per percent to the ambient; without
    // ambient= the light file gives it.
    const auto light_at_half_width = [&] {
        for (const auto &each : {request(cmd_set_mode, QByteArray("\x01")),
                                 request(cmd_set_pwm_width, QByteArray("\x46\x02")), request(cmd_read_state)}) {
            hid_.write(device, each.data(), each.size());
            hid_.read_timeout(device, reply, sizeof reply, SLICE_MS);
        }
        return reply[3] * 256u + reply[4];
    };
    set(QStringLiteral("room"), QStringLiteral("k=2 ambient=300"));
    QCOMPARE(light_at_half_width(), 400u);
    set(QStringLiteral("room"), QStringLiteral("settle_ms=0 k=2"));
    QCOMPARE(light_at_half_width(), 877u);
    set(QStringLiteral("room"), QStringLiteral("k=1 k=3")); // unreadable: the last good one stays
    QCOMPARE(light_at_half_width(), 877u);
    QFile::remove(dir_.filePath(QStringLiteral("room")));
    QTest::qSleep(6);
    QCOMPARE(light_at_half_width(), 777u);
    hid_.close(device);
}

void TestSimHidapi::remembers_block_in_state_file()
{
    hid_device *device = open_controller();
    QVERIFY(device);
    ConfigBlock written = remembered_block();
    written.set_auto_pwm(7, 564);
    const auto report = request(cmd_write_config, QByteArray(reinterpret_cast<const char *>(written.bytes.data()),
                                                             ConfigBlock::SIZE));
    QCOMPARE(hid_.write(device, report.data(), report.size()), 65);
    unsigned char reply[64] = {};
    QCOMPARE(hid_.read_timeout(device, reply, sizeof reply, SLICE_MS), 64);
    hid_.close(device);

    QFile state(dir_.filePath(QStringLiteral("state")));
    QVERIFY(state.open(QIODevice::ReadOnly));
    const std::optional<ConfigBlock> saved = parse_block(state.readAll().toStdString());
    QVERIFY(saved);
    QCOMPARE(saved->auto_pwm(7), 564u);
    QCOMPARE(saved->auto_light(3), 500u);
}

void TestSimHidapi::faults_shape_the_exchange_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("written");     // what hid_write returns
    QTest::addColumn<QStringList>("reads"); // reads until the first that gets nothing

    QTest::newRow("none") << "" << 65 << QStringList{"37:64", "timeout"};
    QTest::newRow("silent") << "silent" << 65 << QStringList{"timeout"};
    QTest::newRow("other command untouched") << "silent cmd=54" << 65 << QStringList{"37:64", "timeout"};
    QTest::newRow("wrong echo") << "wrong_echo code=9" << 65 << QStringList{"09:64", "timeout"};
    QTest::newRow("short reply") << "short_reply len=10" << 65 << QStringList{"37:10", "timeout"};
    QTest::newRow("reply late for one read") << "delay ms=80" << 65 << QStringList{"timeout"};
    QTest::newRow("flood") << "flood count=3" << 65 << QStringList{"ee:64", "ee:64", "ee:64", "37:64", "timeout"};
    // A handle queues 64 reports: the reply is dropped.
    QTest::newRow("flood crowding the reply out")
        << "flood count=100" << 65 << (QStringList(64, QStringLiteral("ee:64")) << QStringLiteral("timeout"));
    QTest::newRow("write fails") << "write_fails" << -1 << QStringList{"timeout"};
    QTest::newRow("unplug mid-exchange") << "unplug_mid_exchange" << 65 << QStringList{"error"};
}

void TestSimHidapi::faults_shape_the_exchange()
{
    QFETCH(QString, fault);
    QFETCH(int, written);
    QFETCH(QStringList, reads);

    set(QStringLiteral("faults"), fault);
    hid_device *device = open_controller();
    QVERIFY(device);
    int result = 0;
    QCOMPARE(exchange(device, cmd_read_state, &result), reads);
    QCOMPARE(result, written);
    hid_.close(device);
}

void TestSimHidapi::unplug_kills_handles_until_reopened()
{
    hid_device *old = open_controller();
    QVERIFY(old);
    set(QStringLiteral("plugged"), QStringLiteral("0"));
    QVERIFY(!open_controller());
    QCOMPARE(exchange(old, cmd_identify), QStringList{"error"});
    QVERIFY(QString::fromWCharArray(hid_.error(old)).contains(QLatin1String("disconnected")));

    set(QStringLiteral("plugged"), QStringLiteral("1"));
    int written = 0;
    QCOMPARE(exchange(old, cmd_identify, &written), QStringList{"error"});
    QCOMPARE(written, -1);
    hid_device *fresh = open_controller();
    QVERIFY(fresh);
    QCOMPARE(exchange(fresh, cmd_identify), (QStringList{"36:64", "timeout"}));
    hid_.close(old);
    hid_.close(fresh);
}

void TestSimHidapi::denied_open_reports_hidapi_text()
{
    set(QStringLiteral("faults"), QStringLiteral("deny_open times=2 errno=EBUSY"));
    errno = 0;
    QVERIFY(!open_controller());
    QCOMPARE(errno, EBUSY);
    QCOMPARE(QString::fromWCharArray(hid_.error(nullptr)),
             QStringLiteral("Failed to open a device with path '/dev/hidraw1': ")
                 + QString::fromLocal8Bit(std::strerror(EBUSY)));
    // The program's backend passes the errno on.
    HidapiBackend backend;
    HidOpenFailure failure;
    QVERIFY(!backend.open("/dev/hidraw1", &failure));
    QCOMPARE(failure.error_number, EBUSY);
    hid_device *device = open_controller();
    QVERIFY(device);
    hid_.close(device);
}

// Handles and lists the library never gave out are never dereferenced.
void TestSimHidapi::bad_calls_are_refused()
{
    int not_a_handle = 0;
    auto *bogus = reinterpret_cast<hid_device *>(&not_a_handle);
    const auto report = request(cmd_identify);
    unsigned char buffer[64];
    QCOMPARE(hid_.write(bogus, report.data(), report.size()), -1);
    QCOMPARE(hid_.write(nullptr, report.data(), report.size()), -1);
    QCOMPARE(hid_.read_timeout(bogus, buffer, sizeof buffer, 0), -1);
    QVERIFY(!hid_.device_info(bogus));
    QVERIFY(hid_.error(bogus));
    hid_.close(bogus);
    hid_.free_enumeration(reinterpret_cast<hid_device_info *>(&not_a_handle));
    QVERIFY(!hid_.open_path(nullptr));
    QVERIFY(!hid_.open_path("/etc/passwd"));

    hid_device *device = open_controller();
    QVERIFY(device);
    QCOMPARE(hid_.write(device, nullptr, 65), -1);
    QCOMPARE(hid_.write(device, report.data(), 0), -1);
    QCOMPARE(hid_.read_timeout(device, nullptr, 64, 0), -1);
    wchar_t text[4];
    QCOMPARE(hid_.product_string(device, text, 0), -1);
    QCOMPARE(hid_.product_string(device, text, 4), 0); // cut to fit
    QCOMPARE(QString::fromWCharArray(text), QStringLiteral("Mor"));
    hid_.close(device);
    hid_.close(device); // twice
}

void TestSimHidapi::udev_events_data()
{
    QTest::addColumn<QStringList>("writes"); // "FILE CONTENT", the events of each taken before the next
    QTest::addColumn<QStringList>("events");

    const QString lamp_gone = QStringLiteral("remove /dev/hidraw2 0000:0000 @");
    const QString lamp = QStringLiteral(" /dev/hidraw2 8d88:00bb LAMP-7@3-1.4");
    QTest::newRow("unplug: the node alone") << QStringList{"lamp/plugged 0"} << QStringList{lamp_gone};
    QTest::newRow("plug: ids, serial and port") << QStringList{"lamp/plugged 0", "lamp/plugged 1"}
                                                << QStringList{lamp_gone, "add" + lamp};
    QTest::newRow("written events, after a plug's own")
        << QStringList{"lamp/plugged 0", "udev_events bind lamp\nunbind lamp\nchange\nadd lamp"}
        << QStringList{lamp_gone, "other" + lamp, "other" + lamp, "change /dev/hidraw1 8d88:00bb @1-2", "add" + lamp};
    QTest::newRow("nothing written: nothing") << QStringList{"light 100"} << QStringList{};
}

// HidapiBackend's monitor on the library's udev: events come as the writes
// make them, and the descriptor stays quiet while nothing happens.
void TestSimHidapi::udev_events()
{
    QFETCH(QStringList, writes);
    QFETCH(QStringList, events);

    HidapiBackend backend;
    set(QStringLiteral("udev"), QStringLiteral("0"));
    QVERIFY(!backend.monitor());
    set(QStringLiteral("lamp/port"), QStringLiteral("3-1.4"));
    set(QStringLiteral("lamp/plugged"), QStringLiteral("1"));
    set(QStringLiteral("udev"), QStringLiteral("1"));
    backend.enumerate(); // the files above are taken before the monitor listens
    const std::unique_ptr<HidMonitor> monitor = backend.monitor();
    QVERIFY(monitor);

    QStringList received;
    for (const QString &write : writes) {
        set(write.section(' ', 0, 0), write.section(' ', 1).replace(QLatin1String("\\n"), QLatin1String("\n")));
        if (readable(monitor->fd(), 1000))
            for (const HidEvent &event : monitor->receive())
                received << described(event);
    }
    QCOMPARE(received, events);
    QVERIFY(!readable(monitor->fd(), 0));
    set(QStringLiteral("udev_events"), QString());
    set(QStringLiteral("udev"), QStringLiteral("0"));
}

void TestSimHidapi::light_model_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<uint>("reading");

    QTest::newRow("bare number") << "512" << qint64(12345) << 512u;
    QTest::newRow("constant") << "const 1024" << qint64(0) << 1024u;
    QTest::newRow("sine at start") << "sine 500 100 1000" << qint64(0) << 500u;
    QTest::newRow("sine at a quarter") << "sine 500 100 1000" << qint64(250) << 600u;
    QTest::newRow("sine at three quarters, next period") << "sine 500 100 1000" << qint64(1750) << 400u;
    QTest::newRow("ramp halfway") << "ramp 0 1000 1000" << qint64(500) << 500u;
    QTest::newRow("ramp starts again") << "ramp 100 900 1000" << qint64(1000) << 100u;
    QTest::newRow("falling ramp") << "ramp 900 100 800" << qint64(200) << 700u;
    QTest::newRow("limited below") << "sine 10 100 1000" << qint64(750) << 0u;
    QTest::newRow("limited to 16 bits") << "const 70000" << qint64(0) << 65535u;
}

void TestSimHidapi::light_model()
{
    QFETCH(QString, text);
    QFETCH(qint64, ms);
    QFETCH(uint, reading);

    const std::optional<LightModel> model = LightModel::parse(text.toStdString());
    QVERIFY(model);
    QCOMPARE(model->reading_at(ms), reading);
}

void TestSimHidapi::rejects_bad_light_data()
{
    QTest::addColumn<QString>("text");
    for (const char *text : {"", "const", "sine 1 2", "ramp 0 1 0", "sine 1 2 -5", "const nan",
                             "sine 1 2 inf", "wobble 1 2 3", "512 513", "const 1e999"})
        QTest::newRow(*text ? text : "empty") << QString::fromLatin1(text);
}

void TestSimHidapi::rejects_bad_light()
{
    QFETCH(QString, text);
    QVERIFY(!LightModel::parse(text.toStdString()));
}

void TestSimHidapi::fault_lines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("read"); // "kind cmd times value reason", or "" when refused

    QTest::newRow("defaults") << "silent" << "silent -1 -1 -1";
    QTest::newRow("one command, some times") << "wrong_echo cmd=55 times=2 code=9" << "wrong_echo 55 2 9";
    QTest::newRow("any command, always") << "delay cmd=any times=always ms=200" << "delay -1 -1 200";
    QTest::newRow("reason takes the rest") << "deny_open reason=Device or resource busy"
                                           << "deny_open -1 -1 -1 13 -1 Device or resource busy";
    QTest::newRow("errno by name, for a while") << "deny_open errno=EBUSY for=1500" << "deny_open -1 -1 -1 16 1500";
    QTest::newRow("unknown errno") << "deny_open errno=EWHAT" << "";
    QTest::newRow("errno of another kind") << "silent errno=EACCES" << "";
    QTest::newRow("unknown kind") << "explode" << "";
    QTest::newRow("command out of range") << "silent cmd=300" << "";
    QTest::newRow("negative delay") << "delay ms=-1" << "";
    QTest::newRow("zero times") << "silent times=0" << "";
    QTest::newRow("reply longer than a report") << "short_reply len=65" << "";
    QTest::newRow("value of another kind") << "silent code=3" << "";
    QTest::newRow("not a number") << "flood count=lots" << "";
    QTest::newRow("empty reason") << "deny_open reason=" << "";
}

void TestSimHidapi::fault_lines()
{
    QFETCH(QString, line);
    QFETCH(QString, read);

    std::vector<std::string> notes;
    // Comments and blank lines around it are skipped without a note.
    const std::vector<WireFault> faults = parse_faults("# a comment\n\n" + line.toStdString() + "\n", &notes);
    QCOMPARE(faults.size(), read.isEmpty() ? 0u : 1u);
    QCOMPARE(notes.size(), read.isEmpty() ? 1u : 0u);
    for (const WireFault &fault : faults) {
        QString got = QStringLiteral("%1 %2 %3 %4").arg(QLatin1String(fault_name(fault.kind)))
                          .arg(fault.command).arg(fault.times).arg(fault.value);
        if (fault.kind == FaultKind::deny_open)
            got += QStringLiteral(" %1 %2").arg(fault.error_number).arg(fault.for_ms)
                + QString::fromStdString(fault.reason.empty() ? "" : ' ' + fault.reason);
        QCOMPARE(got, read);
    }
}

void TestSimHidapi::controller_lines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("read"); // "name serial port" (port "-": the default), or "" when refused

    QTest::newRow("name alone") << "lamp" << "lamp  -";
    QTest::newRow("serial and port") << "desk-2 serial=A1 port=1-2.3" << "desk-2 A1 1-2.3";
    QTest::newRow("no port") << "desk_2 port=" << "desk_2  ";
    QTest::newRow("name leaving the directory") << "../x" << "";
    QTest::newRow("unknown key") << "desk colour=red" << "";
    QTest::newRow("name given twice") << "first serial=B" << "";
}

void TestSimHidapi::controller_lines()
{
    QFETCH(QString, line);
    QFETCH(QString, read);

    std::vector<std::string> notes;
    const std::vector<ControllerLine> lines = parse_controllers("first\n# lamp\n\n" + line.toStdString(), &notes);
    QCOMPARE(lines.size(), read.isEmpty() ? 1u : 2u);
    QCOMPARE(notes.size(), read.isEmpty() ? 1u : 0u);
    if (lines.size() == 2) {
        const ControllerLine &got = lines.back();
        QCOMPARE(QString::fromStdString(got.name + ' ' + got.serial + ' ' + got.port.value_or("-")), read);
    }
}

void TestSimHidapi::state_block_round_trip()
{
    const ConfigBlock block = remembered_block();
    const std::optional<ConfigBlock> read = parse_block(format_block(block));
    QVERIFY(read);
    QVERIFY(read->bytes == block.bytes);
    for (const std::string &bad : {std::string(), format_block(block) + " 00", std::string("zz") +
                                   format_block(block).substr(2), std::string("100") + format_block(block).substr(2)})
        QVERIFY(!parse_block(bad));
}

QTEST_GUILESS_MAIN(TestSimHidapi)
#include "tst_sim_hidapi.moc"
