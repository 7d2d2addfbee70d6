// Many controllers at once: the ids people, the history and D-Bus know them
// by, and the registry that finds them, gives each its own Controller and
// lets them go, on the simulated bus.

#include "model/controller.h"
#include "model/controller_registry.h"
#include "model/device_lock.h"
#include "tools/sim/sim_backend.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// One controller on the bus, as "serial@port", "@port", "serial@" or "@".
struct Plugged
{
    std::string serial;
    std::string port;
};
using Bus = QList<Plugged>;

Plugged parse(const QString &text)
{
    return {text.section('@', 0, 0).toStdString(), text.section('@', 1).toStdString()};
}

QStringList ids_of(const std::vector<ControllerThread *> &controllers)
{
    QStringList ids;
    for (const ControllerThread *controller : controllers)
        ids << controller->identity().id;
    return ids;
}

// Before the system sleeps every controller lets its device and its lock
// go, then says it is ready (at once, without threads).
bool sleep(ControllerRegistry &registry, SimBackend &sim)
{
    bool ready = false;
    registry.prepare_for_sleep([&ready] { ready = true; });
    for (int device = 0; device < sim.interface_count(); ++device)
        if (!DeviceLock::for_node(QString::fromStdString(sim.path(device))).try_lock())
            return false;
    return ready && sim.open_devices().empty();
}

} // namespace

class TestRegistry : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QSettings(QStringLiteral("io.github.morvane.pwm"), QStringLiteral("controllers")).clear(); }

    void ids_data()
    {
        QTest::addColumn<QStringList>("bus");  // serial@port, in the order listed
        QTest::addColumn<QStringList>("twins"); // serials seen twice before
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QStringList>("twins_after");

        QTest::newRow("distinct serials") << QStringList{"A1@1-1", "B2@1-2"} << QStringList{}
                                          << QStringList{"sn:A1", "sn:B2"} << QStringList{};
        QTest::newRow("equal serials: the port tells them apart")
            << QStringList{"SAME@1-1", "SAME@1-2"} << QStringList{} << QStringList{"sn:SAME@1-1", "sn:SAME@1-2"}
            << QStringList{"SAME"};
        QTest::newRow("a twin seen once keeps its port alone")
            << QStringList{"SAME@1-2"} << QStringList{"SAME"} << QStringList{"sn:SAME@1-2"} << QStringList{"SAME"};
        QTest::newRow("no serial: the port") << QStringList{"@1-4.2"} << QStringList{} << QStringList{"usb:1-4.2"}
                                             << QStringList{};
        QTest::newRow("no serial, no port: the node") << QStringList{"@"} << QStringList{}
                                                      << QStringList{"path:/dev/hidraw0"} << QStringList{};
        QTest::newRow("twins without a port: their nodes")
            << QStringList{"SAME@", "SAME@"} << QStringList{} << QStringList{"path:/dev/hidraw0", "path:/dev/hidraw1"}
            << QStringList{"SAME"};
    }

    // The rule alone: serial when unique, then port, then node.
    void ids()
    {
        QFETCH(QStringList, bus);
        QFETCH(QStringList, twins);
        QFETCH(QStringList, ids);
        QFETCH(QStringList, twins_after);

        std::vector<ControllerIdentity> present;
        for (int i = 0; i < bus.size(); ++i) {
            const Plugged plugged = parse(bus.at(i));
            ControllerIdentity identity;
            identity.serial = QString::fromStdString(plugged.serial);
            identity.port = QString::fromStdString(plugged.port);
            identity.path = QStringLiteral("/dev/hidraw%1").arg(i);
            present.push_back(identity);
        }
        QSet<QString> remembered(twins.begin(), twins.end());
        assign_controller_ids(present, &remembered);
        QStringList assigned;
        for (const ControllerIdentity &identity : present)
            assigned << identity.id;
        QCOMPARE(assigned, ids);
        QCOMPARE(remembered, QSet<QString>(twins_after.begin(), twins_after.end()));
    }

    void follows_the_bus_data()
    {
        QTest::addColumn<QStringList>("bus");   // serial@port of each controller plugged at the start
        QTest::addColumn<QStringList>("steps"); // "unplug N", "replug N [port]", "add serial@port"
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<int>("places");      // ControllerThreads kept: the first always, one per other present
        QTest::addColumn<QStringList>("added"); // ids announced as they came (in id order within a check)
        QTest::addColumn<QStringList>("removed");

        QTest::newRow("two distinct, both found") << QStringList{"B2@1-2", "A1@1-1"} << QStringList{}
                                                  << QStringList{"sn:A1", "sn:B2"} << 2
                                                  << QStringList{"sn:A1", "sn:B2"} << QStringList{};
        QTest::newRow("the second unplugged: the first goes on alone")
            << QStringList{"A1@1-1", "B2@1-2"} << QStringList{"unplug 1"} << QStringList{"sn:A1"} << 1
            << QStringList{"sn:A1", "sn:B2"} << QStringList{"sn:B2"};
        QTest::newRow("the first unplugged: its place waits, the other keeps its own")
            << QStringList{"A1@1-1", "B2@1-2"} << QStringList{"unplug 0", "replug 0"}
            << QStringList{"sn:A1", "sn:B2"} << 2 << QStringList{"sn:A1", "sn:B2", "sn:A1"}
            << QStringList{"sn:A1"};
        QTest::newRow("another port keeps a serial's id")
            << QStringList{"A1@1-1", "B2@1-2"} << QStringList{"unplug 1", "replug 1 3-1"}
            << QStringList{"sn:A1", "sn:B2"} << 2 << QStringList{"sn:A1", "sn:B2", "sn:B2"}
            << QStringList{"sn:B2"};
        QTest::newRow("a twin comes: both take their ports, and keep them")
            << QStringList{"SAME@1-1"} << QStringList{"add SAME@1-2", "unplug 1"} << QStringList{"sn:SAME@1-1"} << 1
            << QStringList{"sn:SAME", "sn:SAME@1-2"} << QStringList{"sn:SAME@1-2"};
        QTest::newRow("no serials: ports") << QStringList{"@1-1", "@1-2"} << QStringList{}
                                           << QStringList{"usb:1-1", "usb:1-2"} << 2
                                           << QStringList{"usb:1-1", "usb:1-2"} << QStringList{};
        QTest::newRow("moved to another port during sleep: the same controller")
            << QStringList{"A1@1-1", "B2@1-2"} << QStringList{"sleep", "unplug 1", "replug 1 3-1", "wake"}
            << QStringList{"sn:A1", "sn:B2"} << 2 << QStringList{"sn:A1", "sn:B2"} << QStringList{};
    }

    // The registry over a bus that changes between device checks.
    void follows_the_bus()
    {
        QFETCH(QStringList, bus);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, present);
        QFETCH(int, places);
        QFETCH(QStringList, added);
        QFETCH(QStringList, removed);

        SimBackend sim;
        for (const QString &controller : bus)
            sim.add_controller({}, parse(controller).serial, parse(controller).port);
        ControllerRegistry registry(sim, ControllerRegistry::Threading::caller);
        registry.share_devices(true);
        QStringList announced_added;
        QStringList announced_removed;
        connect(&registry, &ControllerRegistry::controller_added, this,
                [&](ControllerThread *controller) { announced_added << controller->identity().id; });
        connect(&registry, &ControllerRegistry::controller_removed, this,
                [&](ControllerThread *controller) { announced_removed << controller->identity().id; });
        registry.check_devices();
        for (const QString &step : steps) {
            const QStringList words = step.split(' ');
            if (words.at(0) == "unplug")
                sim.unplug(words.at(1).toInt());
            else if (words.at(0) == "replug" && words.size() > 2)
                sim.replug(words.at(1).toInt(), words.at(2).toStdString());
            else if (words.at(0) == "replug")
                sim.replug(words.at(1).toInt());
            else if (words.at(0) == "sleep")
                QVERIFY(sleep(registry, sim));
            else if (words.at(0) == "wake")
                registry.wake();
            else
                sim.add_controller({}, parse(words.at(1)).serial, parse(words.at(1)).port);
            registry.check_devices();
            QCoreApplication::processEvents(); // places let go are deleted
        }
        QCOMPARE(ids_of(registry.present()), present);
        QCOMPARE(int(registry.places().size()), places);
        QCOMPARE(announced_added, added);
        QCOMPARE(announced_removed, removed);

        // Each present controller has its own node open, and loads from it.
        for (ControllerThread *controller : registry.present()) {
            controller->controller().form_update();
            QVERIFY2(controller->controller().config_loaded(), qPrintable(controller->identity().id));
        }
        std::vector<int> open = sim.open_devices();
        QCOMPARE(int(open.size()), present.size());
        QCOMPARE(registry.only(), present.size() > 1 ? nullptr : registry.present().front());
    }

    void follows_udev_data()
    {
        QTest::addColumn<QStringList>("bus");   // serial@port of each controller plugged at the start
        // Steps taken one event batch each; within a step "a, b" reach the
        // registry together: "unplug N", "replug N", "ACTION N" (an event
        // alone: add, bind, unbind, change), "replugs COUNT N", "appears
        // serial@port" (on the bus with no event of its own), "sleep", "wake".
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QStringList>("changed"); // node_changed, by id
        QTest::addColumn<int>("opens");

        QTest::newRow("found by the listing at the start")
            << QStringList{"A1@1-1", "B2@1-2"} << QStringList{} << QStringList{"sn:A1", "sn:B2"}
            << QStringList{"sn:A1", "sn:B2"} << QStringList{} << QStringList{} << 2;
        QTest::newRow("add") << QStringList{"A1@1-1"} << QStringList{"unplug 0", "replug 0"}
                             << QStringList{"sn:A1"} << QStringList{"sn:A1", "sn:A1"} << QStringList{"sn:A1"}
                             << QStringList{} << 2;
        QTest::newRow("remove: the other goes on")
            << QStringList{"A1@1-1", "B2@1-2"} << QStringList{"unplug 1"} << QStringList{"sn:A1"}
            << QStringList{"sn:A1", "sn:B2"} << QStringList{"sn:B2"} << QStringList{} << 2;
        QTest::newRow("the only one unplugged: nothing polls") << QStringList{"A1@1-1"} << QStringList{"unplug 0"}
                                                               << QStringList{} << QStringList{"sn:A1"}
                                                               << QStringList{"sn:A1"} << QStringList{} << 1;
        QTest::newRow("a second add of a present controller does nothing")
            << QStringList{"A1@1-1"} << QStringList{"add 0", "add 0, add 0"} << QStringList{"sn:A1"}
            << QStringList{"sn:A1"} << QStringList{} << QStringList{} << 1;
        QTest::newRow("bind and unbind are ignored")
            << QStringList{"A1@1-1"} << QStringList{"appears B2@1-2", "unbind 1", "bind 1, unbind 1"}
            << QStringList{"sn:A1"}
            << QStringList{"sn:A1"} << QStringList{} << QStringList{} << 1;
        QTest::newRow("change: the hook, nothing listed")
            << QStringList{"A1@1-1", "B2@1-2"} << QStringList{"change 1"} << QStringList{"sn:A1", "sn:B2"}
            << QStringList{"sn:A1", "sn:B2"} << QStringList{} << QStringList{"sn:B2"} << 2;
        QTest::newRow("remove and add taken together: the dead handle is not kept")
            << QStringList{"A1@1-1", "B2@1-2"} << QStringList{"unplug 1, replug 1"} << QStringList{"sn:A1", "sn:B2"}
            << QStringList{"sn:A1", "sn:B2", "sn:B2"} << QStringList{"sn:B2"} << QStringList{} << 3;
        QTest::newRow("20 quick replugs: one place each, one handle each")
            << QStringList{"A1@1-1", "B2@1-2"} << QStringList{"replugs 20 0", "replugs 20 1"}
            << QStringList{"sn:A1", "sn:B2"} << QStringList{} << QStringList{} << QStringList{} << 42;
        QTest::newRow("replugged during sleep: opened anew on waking, not announced")
            << QStringList{"A1@1-1", "B2@1-2"} << QStringList{"sleep", "unplug 1", "replug 1", "wake"}
            << QStringList{"sn:A1", "sn:B2"} << QStringList{"sn:A1", "sn:B2"} << QStringList{} << QStringList{} << 4;
        QTest::newRow("unplugged during sleep: let go on waking")
            << QStringList{"A1@1-1", "B2@1-2"} << QStringList{"sleep", "unplug 1", "wake"} << QStringList{"sn:A1"}
            << QStringList{"sn:A1", "sn:B2"} << QStringList{"sn:B2"} << QStringList{} << 3;
    }

    // The registry under udev: one listing at the start, then only the
    // events that concern a controller; nothing checks on a timer.
    void follows_udev()
    {
        QFETCH(QStringList, bus);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, present);
        QFETCH(QStringList, added);
        QFETCH(QStringList, removed);
        QFETCH(QStringList, changed);
        QFETCH(int, opens);

        SimBackend sim;
        sim.run_udev();
        for (const QString &controller : bus)
            sim.add_controller({}, parse(controller).serial, parse(controller).port);
        ControllerRegistry registry(sim, ControllerRegistry::Threading::caller);
        QStringList announced_added;
        QStringList announced_removed;
        QStringList announced_changed;
        connect(&registry, &ControllerRegistry::controller_added, this,
                [&](ControllerThread *controller) { announced_added << controller->identity().id; });
        connect(&registry, &ControllerRegistry::controller_removed, this,
                [&](ControllerThread *controller) { announced_removed << controller->identity().id; });
        connect(&registry, &ControllerRegistry::node_changed, this,
                [&](ControllerThread *controller) { announced_changed << controller->identity().id; });
        registry.start();
        QVERIFY(registry.follows_udev());
        const auto take_events = [&] {
            for (int pass = 0; pass < 3; ++pass)
                QCoreApplication::processEvents(); // the monitor's events, then places let go are deleted
        };
        for (const QString &step : steps) {
            for (const QString &part : step.split(QStringLiteral(", "))) {
                const QStringList words = part.split(' ');
                const int device = words.last().toInt(); // 0 for "appears"
                if (words.at(0) == "replugs") {
                    for (int replug = 0; replug < words.at(1).toInt(); ++replug) {
                        sim.unplug(device);
                        take_events();
                        sim.replug(device);
                        take_events();
                    }
                    announced_added.clear();
                    announced_removed.clear();
                } else if (words.at(0) == "appears") {
                    sim.add_controller({}, parse(words.at(1)).serial, parse(words.at(1)).port);
                } else if (words.at(0) == "unplug") {
                    sim.unplug(device);
                } else if (words.at(0) == "replug") {
                    sim.replug(device);
                } else if (words.at(0) == "sleep") {
                    QVERIFY(sleep(registry, sim));
                } else if (words.at(0) == "wake") {
                    registry.wake();
                } else {
                    const QStringList actions{"add", "remove", "change"};
                    const int action = actions.indexOf(words.at(0));
                    sim.send_event(device, action < 0 ? HidEvent::Action::other : HidEvent::Action(action));
                }
            }
            take_events();
        }
        QCOMPARE(ids_of(registry.present()), present);
        QCOMPARE(announced_added, added);
        QCOMPARE(announced_removed, removed);
        QCOMPARE(announced_changed, changed);
        QCOMPARE(int(sim.opens().size()), opens);
        QCOMPARE(int(registry.places().size()), std::max(1, int(present.size())));

        // Nothing checks on a timer; only a controller holding its device polls.
        QVERIFY(!registry.findChild<QTimer *>(QStringLiteral("registry_check_timer"))->isActive());
        for (ControllerThread *place : registry.places()) {
            Controller &controller = place->controller();
            QVERIFY(!controller.findChild<QTimer *>(QStringLiteral("check_timer"))->isActive());
            QCOMPARE(controller.findChild<QTimer *>(QStringLiteral("poll_timer"))->isActive(), controller.connected());
        }
        // Each present controller loads from a live handle of its own.
        for (ControllerThread *controller : registry.present()) {
            controller->controller().form_update();
            QVERIFY2(controller->controller().config_loaded(), qPrintable(controller->identity().id));
        }
        QCOMPARE(int(sim.open_devices().size()), present.size());
    }

    // An action for a controller that goes is answered, never dropped.
    void waiting_action_answered_when_its_controller_goes()
    {
        SimBackend sim;
        sim.add_controller({}, "A1", "1-1");
        const int second = sim.add_controller({}, "B2", "1-2");
        ControllerRegistry registry(sim, ControllerRegistry::Threading::caller);
        registry.check_devices();
        ControllerThread *leaving = registry.find(QStringLiteral("sn:B2"));
        QVERIFY(leaving);
        leaving->controller().form_update();
        QList<Refusal> answers;
        leaving->set_manual(true, ChangeSource::dbus, [&](const Outcome &outcome) { answers << outcome.refusal; });
        QVERIFY(answers.isEmpty()); // waits for the controller to report the mode
        sim.unplug(second);
        registry.check_devices();
        QCOMPARE(answers, QList<Refusal>{Refusal::not_connected});
    }

    // One apply at a time per controller: the next is refused until the
    // first has been written.
    void one_apply_at_a_time()
    {
        SimBackend sim;
        sim.add_controller();
        Controller controller(sim);
        QCOMPARE(controller.claim_apply(), Refusal::none);
        QCOMPARE(controller.claim_apply(), Refusal::busy);
        controller.apply_config(controller.stored_config());
        QCOMPARE(controller.claim_apply(), Refusal::none);
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
