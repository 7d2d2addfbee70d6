// Finding, holding and losing a controller: HidDevice::scan, open, close
// and set_ids against a simulated bus.

#include "device/hid_device.h"
#include "bus_layout.h"

#include <QTest>

#include <memory>

class TestHidDevice : public QObject
{
    Q_OBJECT

private slots:
    void scan_lists_the_bus_data();
    void scan_lists_the_bus();
    void held_device_is_only_checked_for_life();
    void unplug_and_replug_data();
    void unplug_and_replug();
    void new_ids_drop_the_held_device();
    void destructor_closes_the_held_handle();
};

void TestHidDevice::scan_lists_the_bus_data()
{
    QTest::addColumn<Bus>("bus");
    QTest::addColumn<Ids>("ids");
    QTest::addColumn<QList<int>>("listed"); // interfaces scan() lists, in order
    QTest::addColumn<QList<int>>("denied"); // of those, the ones that refuse to open

    const Ids controller;
    QTest::newRow("alone") << Bus().controller() << controller << QList<int>{0} << QList<int>{};
    QTest::newRow("64th interface") << Bus().decoys(63).controller() << controller << QList<int>{63} << QList<int>{};
    QTest::newRow("65th interface is never examined")
        << Bus().decoys(64).controller() << controller << QList<int>{} << QList<int>{};
    QTest::newRow("far behind decoys") << Bus().decoys(200).controller() << controller << QList<int>{} << QList<int>{};
    QTest::newRow("decoys sharing one id only") << Bus().decoys(30) << controller << QList<int>{} << QList<int>{};
    QTest::newRow("first of two wins") << Bus().controller().controller() << controller << QList<int>{0, 1} << QList<int>{};
    QTest::newRow("first of two behind decoys")
        << Bus().decoys(5).controller().decoys(3).controller() << controller << QList<int>{5, 9} << QList<int>{};
    QTest::newRow("denied one is skipped") << Bus().controller().denied().controller()
                                           << controller << QList<int>{0, 1} << QList<int>{0};
    QTest::newRow("only one, denied") << Bus().decoys(2).controller().denied() << controller
                                      << QList<int>{2} << QList<int>{2};
    QTest::newRow("no interfaces at all") << Bus() << controller << QList<int>{} << QList<int>{};

    QTest::newRow("alternative pair matches")
        << Bus().decoys(3).interface(0x1234, 0x5678) << Ids{CONTROLLER_VENDOR_ID,
                                                            CONTROLLER_PRODUCT_ID, 0x1234, 0x5678}
        << QList<int>{3} << QList<int>{};
    QTest::newRow("alternative pair in enumeration order")
        << Bus().interface(0x1234, 0x5678).controller()
        << Ids{CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0x1234, 0x5678} << QList<int>{0, 1} << QList<int>{};
    QTest::newRow("alternative 0/0 never matches") << Bus().interface(0, 0) << controller << QList<int>{} << QList<int>{};
    QTest::newRow("alternative product 0 never matches")
        << Bus().interface(0x1234, 0) << Ids{CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0x1234, 0}
        << QList<int>{} << QList<int>{};
    QTest::newRow("alternative vendor 0 never matches")
        << Bus().interface(0, 0x5678) << Ids{CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0x5678}
        << QList<int>{} << QList<int>{};
    QTest::newRow("primary pair is taken as given") << Bus().interface(0, 0) << Ids{0, 0, 0, 0}
                                                    << QList<int>{0} << QList<int>{};
    QTest::newRow("vendor beyond 16 bits")
        << Bus().controller() << Ids{CONTROLLER_VENDOR_ID + 0x10000, CONTROLLER_PRODUCT_ID, 0, 0}
        << QList<int>{} << QList<int>{};
    QTest::newRow("negative ids do not wrap") << Bus().interface(0xFFFF, 0xFFFF)
                                              << Ids{-1, -1, -1, -1} << QList<int>{} << QList<int>{};
    QTest::newRow("alternative beyond 16 bits")
        << Bus().interface(0x1234, 0x5678) << Ids{CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID,
                                                  0x1234 + 0x10000, 0x5678}
        << QList<int>{} << QList<int>{};
}

void TestHidDevice::scan_lists_the_bus()
{
    QFETCH(Bus, bus);
    QFETCH(Ids, ids);
    QFETCH(QList<int>, listed);
    QFETCH(QList<int>, denied);

    SimBackend backend;
    bus.install(backend);
    HidDevice device(backend);
    device.set_ids(ids.vendor, ids.product, ids.alt_vendor, ids.alt_product);

    // Listing opens nothing: no decoy, nothing past the 64th interface.
    QList<std::string> paths;
    for (const HidInterface &hid : device.scan())
        paths.append(hid.path);
    QList<std::string> expected;
    for (int index : listed)
        expected.append(backend.path(index));
    QCOMPARE(paths, expected);
    QVERIFY(backend.opens().empty());

    // Each listed interface opens, or says why not; one handle at a time.
    for (int index : listed) {
        const std::string path = backend.path(index);
        const bool opens = !denied.contains(index);
        QCOMPARE(device.open(path), opens);
        QCOMPARE(device.connected(), opens);
        QVERIFY(device.identify_pending());
        const std::vector<int> held = backend.open_devices();
        QCOMPARE(QList<int>(held.begin(), held.end()), opens ? QList<int>{index} : QList<int>{});
        QCOMPARE(int(device.open_failures().size()), opens ? 0 : 1);
        if (!opens) {
            QCOMPARE(device.open_failures().front().path, path);
            QCOMPARE(device.open_failures().front().reason,
                     "Failed to open a device with path '" + path + "': Permission denied");
        }
    }
    QCOMPARE(backend.misuses(), 0);
}

void TestHidDevice::held_device_is_only_checked_for_life()
{
    SimBackend backend;
    backend.add_controller();
    HidDevice device(backend);
    device.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
    const std::string path = backend.path(0);
    QVERIFY(device.open(path));
    device.clear_identify_pending();

    // Another controller appearing does not steal the link.
    backend.add_controller();
    for (int tick = 0; tick < 3; ++tick) {
        QVERIFY(device.open(path));
        QVERIFY(device.connected());
        QVERIFY(!device.identify_pending());
    }
    QCOMPARE(int(backend.opens().size()), 1);
    QCOMPARE(device.connection_serial(), 1u);
    QVERIFY(backend.closes().empty());
}

void TestHidDevice::unplug_and_replug_data()
{
    QTest::addColumn<Bus>("bus");
    QTest::addColumn<int>("comes_back"); // interface unplugged and replugged

    QTest::newRow("lone controller") << Bus().controller() << 0;
    QTest::newRow("behind decoys") << Bus().decoys(10).controller() << 10;
    // The other controller is another link's: never taken over.
    QTest::newRow("beside another controller") << Bus().controller().controller() << 0;
}

void TestHidDevice::unplug_and_replug()
{
    QFETCH(Bus, bus);
    QFETCH(int, comes_back);

    SimBackend backend;
    bus.install(backend);
    HidDevice device(backend);
    device.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
    const std::string path = backend.path(comes_back);
    QVERIFY(device.open(path));
    device.clear_identify_pending();
    const int first_handle = backend.opens().back().handle;

    backend.unplug(comes_back);
    // Exchanges fail on the dead handle but leave the decision to open().
    QVERIFY(!device.exchange(cmd_read_state, nullptr, nullptr));
    QVERIFY(device.connected());

    // Gone: closed, and not listed, so no open is tried and none failed.
    QVERIFY(!device.open(path));
    QVERIFY(!device.connected());
    QVERIFY(device.identify_pending());
    QVERIFY(device.open_failures().empty());
    QCOMPARE(backend.closes(), std::vector<int>{first_handle});
    QVERIFY(backend.open_devices().empty());
    QCOMPARE(int(backend.opens().size()), 1);
    QVERIFY(!device.open(path));
    QCOMPARE(device.connection_serial(), 1u);

    backend.replug(comes_back);
    QVERIFY(device.open(path));
    QVERIFY(device.connected());
    QVERIFY(device.identify_pending());
    QCOMPARE(device.connection_serial(), 2u);
    QCOMPARE(backend.open_devices(), std::vector<int>{comes_back});
    QVERIFY(device.exchange(cmd_identify, nullptr, nullptr));
    QCOMPARE(backend.misuses(), 0);
}

// Changing the ids while a device is held must not leave a handle behind
// with `connected` cleared, and the next open lists the new ids.
void TestHidDevice::new_ids_drop_the_held_device()
{
    SimBackend backend;
    backend.add_controller();
    const int other = backend.add_interface(0x1234, 0x5678);
    HidDevice device(backend);
    device.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
    QVERIFY(device.open(backend.path(0)));

    device.set_ids(0x1234, 0x5678, 0, 0);
    QVERIFY(!device.connected());
    QVERIFY(device.identify_pending());
    QVERIFY(!device.exchange(cmd_identify, nullptr, nullptr));

    QVERIFY(!device.open(backend.path(0))); // not one of these ids
    QVERIFY(device.open(backend.path(other)));
    QVERIFY(device.connected());
    QCOMPARE(backend.open_devices(), std::vector<int>{other});
    QVERIFY(device.exchange(cmd_identify, nullptr, nullptr));
    QCOMPARE(backend.wire().back().device, other);
    QCOMPARE(backend.misuses(), 0);
}

void TestHidDevice::destructor_closes_the_held_handle()
{
    SimBackend backend;
    backend.add_controller();
    auto device = std::make_unique<HidDevice>(backend);
    device->set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
    QVERIFY(device->open(backend.path(0)));
    QCOMPARE(backend.open_devices().size(), size_t(1));

    device.reset();
    QVERIFY(backend.open_devices().empty());
    QCOMPARE(backend.closes().size(), size_t(1));
    QCOMPARE(backend.misuses(), 0);
}

QTEST_GUILESS_MAIN(TestHidDevice)
#include "tst_hid_device.moc"
