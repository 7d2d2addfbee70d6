#include "app/shell/open_failure_notice.h"
#include "device/hid_device.h"
#include "protocol/commands.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

namespace {

// A bus of HID interfaces whose hidraw nodes are either open to us or not.
// Only the parts of the backend a device search touches do anything.
class PermissionBus : public HidBackend
{
public:
    struct Node : HidHandle
    {
        std::string path;
    };

    // One token per present interface: "<path>:denied" (the controller,
    // node not accessible), "<path>:open" (the controller, accessible) or
    // "<path>:foreign" (some other HID device).
    void set_present(const QStringList &tokens)
    {
        present_.clear();
        for (const QString &token : tokens) {
            const QStringList parts = token.split(QLatin1Char(':'));
            Interface entry;
            entry.hid.path = parts.at(0).toStdString();
            entry.hid.vendor_id = parts.at(1) == QLatin1String("foreign") ? 0x046d : CONTROLLER_VENDOR_ID;
            entry.hid.product_id = parts.at(1) == QLatin1String("foreign") ? 0xc52b : CONTROLLER_PRODUCT_ID;
            entry.accessible = parts.at(1) != QLatin1String("denied");
            present_.push_back(entry);
        }
    }

    std::vector<HidInterface> enumerate() override
    {
        std::vector<HidInterface> out;
        for (const Interface &entry : present_)
            out.push_back(entry.hid);
        return out;
    }

    HidHandle *open(const std::string &path, HidOpenFailure *failure) override
    {
        const Interface *entry = find(path);
        if (entry && entry->accessible) {
            auto *node = new Node;
            node->path = path;
            return node;
        }
        // hidapi's wording for an EACCES from open(2).
        failure->reason = "Failed to open a device with path '" + path + "': Permission denied";
        failure->error_number = EACCES;
        return nullptr;
    }

    int write(HidHandle *, const unsigned char *, size_t) override { return -1; }
    int read(HidHandle *, unsigned char *, size_t, int) override { return -1; }
    bool alive(HidHandle *handle) override { return find(static_cast<Node *>(handle)->path); }
    void close(HidHandle *handle) override { delete handle; }

private:
    struct Interface
    {
        HidInterface hid;
        bool accessible = false;
    };

    const Interface *find(const std::string &path) const
    {
        for (const Interface &entry : present_) {
            if (entry.hid.path == path)
                return &entry;
        }
        return nullptr;
    }

    std::vector<Interface> present_;
};

} // namespace

class TestOpenFailureNotice : public QObject
{
    Q_OBJECT

private slots:
    void reports_each_unopenable_device_once_data();
    void reports_each_unopenable_device_once();
    void line_names_path_reason_and_fix_data();
    void line_names_path_reason_and_fix();
    void named_udev_rule_is_shipped();
};

// Each row is a run of device checks: the interfaces present at each check,
// and the paths the notice must name after that check.
void TestOpenFailureNotice::reports_each_unopenable_device_once_data()
{
    QTest::addColumn<QList<QStringList>>("checks");
    QTest::addColumn<QList<QStringList>>("named");

    const QString a = QStringLiteral("/dev/hidraw3");
    const QString b = QStringLiteral("/dev/hidraw7");
    const QString denied_a = a + QStringLiteral(":denied");
    const QString denied_b = b + QStringLiteral(":denied");
    const QString open_a = a + QStringLiteral(":open");
    const QString mouse = QStringLiteral("/dev/hidraw0:foreign");

    QTest::newRow("stays unopenable, unplugged, plugged in again: two lines")
        << QList<QStringList>{{denied_a}, {denied_a}, {denied_a}, {denied_a}, {denied_a},
                              {}, {}, {denied_a}, {denied_a}}
        << QList<QStringList>{{a}, {}, {}, {}, {}, {}, {}, {a}, {}};
    QTest::newRow("two devices at once, one unplugged and back")
        << QList<QStringList>{{denied_a, denied_b}, {denied_a, denied_b}, {denied_b},
                              {denied_b}, {denied_b, denied_a}, {denied_b, denied_a}}
        << QList<QStringList>{{a, b}, {}, {}, {}, {a}, {}};
    QTest::newRow("second device joins a failing one")
        << QList<QStringList>{{denied_a}, {denied_a, denied_b}, {denied_a, denied_b}}
        << QList<QStringList>{{a}, {b}, {}};
    QTest::newRow("permission granted, then taken away")
        << QList<QStringList>{{denied_a}, {open_a}, {open_a}, {}, {denied_a}}
        << QList<QStringList>{{a}, {}, {}, {}, {a}};
    QTest::newRow("an accessible controller and other HID devices: silence")
        << QList<QStringList>{{mouse, open_a}, {mouse, open_a}, {mouse}}
        << QList<QStringList>{{}, {}, {}};
    // The held controller is checked for presence only; the failure of the
    // search that found it stays listed and must not be repeated.
    QTest::newRow("one denied, the next one opened")
        << QList<QStringList>{{denied_b, open_a}, {denied_b, open_a}, {denied_b, open_a}}
        << QList<QStringList>{{b}, {}, {}};
}

void TestOpenFailureNotice::reports_each_unopenable_device_once()
{
    QFETCH(QList<QStringList>, checks);
    QFETCH(QList<QStringList>, named);
    QCOMPARE(checks.size(), named.size());

    // One link per controller listed, as the program has; a link whose
    // controller is no longer listed checks it once more and lets it go.
    PermissionBus bus;
    HidDevice scanner(bus);
    scanner.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
    std::map<std::string, std::unique_ptr<HidDevice>> links;
    OpenFailureNotice notice;

    for (int i = 0; i < checks.size(); ++i) {
        bus.set_present(checks.at(i));
        std::vector<HidOpenFailure> failures;
        for (const HidInterface &hid : scanner.scan()) {
            auto &link = links[hid.path];
            if (!link) {
                link = std::make_unique<HidDevice>(bus);
                link->set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
            }
            if (!link->open(hid.path))
                failures.insert(failures.end(), link->open_failures().begin(), link->open_failures().end());
        }
        for (auto &[path, link] : links)
            if (link->connected())
                link->open(path);
        const QStringList lines = notice.update(failures);

        QCOMPARE(lines.size(), named.at(i).size());
        for (int n = 0; n < lines.size(); ++n) {
            const QString &path = named.at(i).at(n);
            QVERIFY2(lines.at(n).contains(QStringLiteral(" at %1: ").arg(path)),
                     qPrintable(QStringLiteral("check %1: %2").arg(i).arg(lines.at(n))));
        }
    }
}

void TestOpenFailureNotice::line_names_path_reason_and_fix_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("reason");
    QTest::addColumn<QString>("shown_path");
    QTest::addColumn<QString>("shown_reason");
    QTest::addColumn<int>("error_number");

    QTest::newRow("errno: the system's words and its name")
        << QByteArray("/dev/hidraw3")
        << QByteArray("Failed to open a device with path '/dev/hidraw3': Permission denied")
        << QStringLiteral("/dev/hidraw3") << QString::fromLocal8Bit(std::strerror(EBUSY)) + QStringLiteral(" (EBUSY)")
        << EBUSY;
    QTest::newRow("hidapi's text without an errno")
        << QByteArray("/dev/hidraw3")
        << QByteArray("Failed to open a device with path '/dev/hidraw3': Permission denied")
        << QStringLiteral("/dev/hidraw3")
        << QStringLiteral("Failed to open a device with path '/dev/hidraw3': Permission denied") << 0;
    QTest::newRow("no error text") << QByteArray("/dev/hidraw3") << QByteArray()
                                   << QStringLiteral("/dev/hidraw3") << QStringLiteral("unknown error") << 0;
    QTest::newRow("line break and terminal escape")
        << QByteArray("/dev/hid\nraw3") << QByteArray("Device busy\r\n\x1b[2J")
        << QStringLiteral("/dev/hid?raw3") << QStringLiteral("Device busy??\?[2J") << 0;
    QTest::newRow("not UTF-8") << QByteArray("/dev/hidraw\xff") << QByteArray("\xc3(")
                               << QStringLiteral("/dev/hidraw\uFFFD") << QStringLiteral("\uFFFD(") << 0;
}

void TestOpenFailureNotice::line_names_path_reason_and_fix()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, reason);
    QFETCH(QString, shown_path);
    QFETCH(QString, shown_reason);
    QFETCH(int, error_number);

    OpenFailureNotice notice;
    const QStringList lines = notice.update({{path.toStdString(), reason.toStdString(), error_number}});

    QCOMPARE(lines.size(), 1);
    const QString &line = lines.first();
    QVERIFY2(line.contains(QStringLiteral(" at %1: %2; ").arg(shown_path, shown_reason)), qPrintable(line));
    QVERIFY(line.contains(QLatin1String("udevadm control --reload && sudo udevadm trigger")));
    QVERIFY(line.contains(QLatin1String("replug")));
    for (const QChar c : line)
        QVERIFY2(c.category() != QChar::Other_Control, qPrintable(line));
}

// The notice sends the user looking for a rule file by name: it has to be
// the one the tool ships.
void TestOpenFailureNotice::named_udev_rule_is_shipped()
{
    OpenFailureNotice notice;
    const QString line = notice.update({{"/dev/hidraw3", "Permission denied"}}).value(0);
    const QRegularExpressionMatch rule = QRegularExpression(QStringLiteral("\\d\\d-[\\w-]+\\.rules")).match(line);
    QVERIFY2(rule.hasMatch(), qPrintable(line));
    QVERIFY2(QFile::exists(QStringLiteral(MORVANE_DIST_DIR "/") + rule.captured()), qPrintable(rule.captured()));
}

QTEST_GUILESS_MAIN(TestOpenFailureNotice)
#include "tst_open_failure_notice.moc"
