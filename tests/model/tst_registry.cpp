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
using Ids = QStringList;

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
        QTest::addColumn<bool>("udev"); // events from udev; else a device check after each step
        QTest::addColumn<Ids>("bus");   // serial@port of each controller plugged at the start
        // Steps taken one check or event batch each; within a step "a, b" come together: "unplug N",
        // "replug N [port]", "replugs COUNT N", "appears serial@port" (no event of its own), "sleep", "wake",
        // and a udev event alone: "add N", "bind N", "unbind N", "change N".
        QTest::addColumn<Ids>("steps");
        QTest::addColumn<Ids>("present"); // places kept: the first always, one per other present
        QTest::addColumn<Ids>("added");   // announced as they came (in id order within a check)
        QTest::addColumn<Ids>("removed");
        QTest::addColumn<Ids>("changed"); // node_changed
        QTest::addColumn<int>("opens");
        const Ids ab{"A1@1-1", "B2@1-2"};
        const Ids a_b{"sn:A1", "sn:B2"};

        QTest::newRow("two distinct, both found")
            << false << Ids{"B2@1-2", "A1@1-1"} << Ids{} << a_b << a_b << Ids{} << Ids{} << 2;
        QTest::newRow("the second unplugged: the first goes on alone")
            << false << ab << Ids{"unplug 1"} << Ids{"sn:A1"} << a_b << Ids{"sn:B2"} << Ids{} << 2;
        QTest::newRow("the first unplugged: its place waits, the other keeps its own")
            << false << ab << Ids{"unplug 0", "replug 0"} << a_b << Ids{"sn:A1", "sn:B2", "sn:A1"} << Ids{"sn:A1"}
            << Ids{} << 3;
        QTest::newRow("another port keeps a serial's id")
            << false << ab << Ids{"unplug 1", "replug 1 3-1"} << a_b << Ids{"sn:A1", "sn:B2", "sn:B2"} << Ids{"sn:B2"}
            << Ids{} << 3;
        QTest::newRow("a twin comes: both take their ports, and keep them")
            << false << Ids{"SAME@1-1"} << Ids{"appears SAME@1-2", "unplug 1"} << Ids{"sn:SAME@1-1"}
            << Ids{"sn:SAME", "sn:SAME@1-2"} << Ids{"sn:SAME@1-2"} << Ids{} << 2;
        QTest::newRow("no serials: ports") << false << Ids{"@1-1", "@1-2"} << Ids{} << Ids{"usb:1-1", "usb:1-2"}
                                           << Ids{"usb:1-1", "usb:1-2"} << Ids{} << Ids{} << 2;
        QTest::newRow("moved to another port during sleep: the same controller")
            << false << ab << Ids{"sleep", "unplug 1", "replug 1 3-1", "wake"} << a_b << a_b << Ids{} << Ids{} << 4;

        QTest::newRow("udev: found by the listing at the start")
            << true << ab << Ids{} << a_b << a_b << Ids{} << Ids{} << 2;
        QTest::newRow("udev: add") << true << Ids{"A1@1-1"} << Ids{"unplug 0", "replug 0"} << Ids{"sn:A1"}
                                   << Ids{"sn:A1", "sn:A1"} << Ids{"sn:A1"} << Ids{} << 2;
        QTest::newRow("udev: remove: the other goes on")
            << true << ab << Ids{"unplug 1"} << Ids{"sn:A1"} << a_b << Ids{"sn:B2"} << Ids{} << 2;
        QTest::newRow("udev: the only one unplugged: nothing polls")
            << true << Ids{"A1@1-1"} << Ids{"unplug 0"} << Ids{} << Ids{"sn:A1"} << Ids{"sn:A1"} << Ids{} << 1;
        QTest::newRow("udev: a second add of a present controller does nothing")
            << true << Ids{"A1@1-1"} << Ids{"add 0", "add 0, add 0"} << Ids{"sn:A1"} << Ids{"sn:A1"} << Ids{} << Ids{}
            << 1;
        QTest::newRow("udev: bind and unbind are ignored")
            << true << Ids{"A1@1-1"} << Ids{"appears B2@1-2", "unbind 1", "bind 1, unbind 1"} << Ids{"sn:A1"}
            << Ids{"sn:A1"} << Ids{} << Ids{} << 1;
        QTest::newRow("udev: change: the hook, nothing listed")
            << true << ab << Ids{"change 1"} << a_b << a_b << Ids{} << Ids{"sn:B2"} << 2;
        QTest::newRow("udev: remove and add taken together: the dead handle is not kept")
            << true << ab << Ids{"unplug 1, replug 1"} << a_b << Ids{"sn:A1", "sn:B2", "sn:B2"} << Ids{"sn:B2"}
            << Ids{} << 3;
        QTest::newRow("udev: 20 quick replugs: one place each, one handle each")
            << true << ab << Ids{"replugs 20 0", "replugs 20 1"} << a_b << Ids{} << Ids{} << Ids{} << 42;
        QTest::newRow("udev: replugged during sleep: opened anew on waking, not announced")
            << true << ab << Ids{"sleep", "unplug 1", "replug 1", "wake"} << a_b << a_b << Ids{} << Ids{} << 4;
        QTest::newRow("udev: unplugged during sleep: let go on waking")
            << true << ab << Ids{"sleep", "unplug 1", "wake"} << Ids{"sn:A1"} << a_b << Ids{"sn:B2"} << Ids{} << 3;
    }

    // The registry over a bus that changes: under udev one listing at the
    // start, then only the events that concern a controller.
    void follows_the_bus()
    {
        QFETCH(bool, udev);
        QFETCH(Ids, bus);
        QFETCH(Ids, steps);
        QFETCH(Ids, present);
        QFETCH(Ids, added);
        QFETCH(Ids, removed);
        QFETCH(Ids, changed);
        QFETCH(int, opens);

        SimBackend sim;
        if (udev)
            sim.run_udev();
        for (const QString &controller : bus)
            sim.add_controller({}, parse(controller).serial, parse(controller).port);
        ControllerRegistry registry(sim, ControllerRegistry::Threading::caller);
        registry.share_devices(true);
        Ids announced_added;
        Ids announced_removed;
        Ids announced_changed;
        const auto record = [&](Ids &announced) {
            return [&announced](ControllerThread *controller) { announced << controller->identity().id; };
        };
        connect(&registry, &ControllerRegistry::controller_added, this, record(announced_added));
        connect(&registry, &ControllerRegistry::controller_removed, this, record(announced_removed));
        connect(&registry, &ControllerRegistry::node_changed, this, record(announced_changed));
        if (udev)
            registry.start();
        else
            registry.check_devices();
        QCOMPARE(registry.follows_udev(), udev);
        const auto take_step = [&] {
            if (!udev)
                registry.check_devices();
            for (int pass = 0; pass < 3; ++pass)
                QCoreApplication::processEvents(); // the monitor's events, then places let go are deleted
        };
        for (const QString &step : steps) {
            for (const QString &part : step.split(QStringLiteral(", "))) {
                const Ids words = part.split(' ');
                const QString &verb = words.at(0);
                const int device = words.value(verb == "replugs" ? 2 : 1).toInt();
                if (verb == "replugs") {
                    for (int replug = 0; replug < words.at(1).toInt(); ++replug) {
                        sim.unplug(device);
                        take_step();
                        sim.replug(device);
                        take_step();
                    }
                    announced_added.clear();
                    announced_removed.clear();
                } else if (verb == "appears") {
                    sim.add_controller({}, parse(words.at(1)).serial, parse(words.at(1)).port);
                } else if (verb == "unplug") {
                    sim.unplug(device);
                } else if (verb == "replug" && words.size() > 2) {
                    sim.replug(device, words.at(2).toStdString());
                } else if (verb == "replug") {
                    sim.replug(device);
                } else if (verb == "sleep") {
                    QVERIFY(sleep(registry, sim));
                } else if (verb == "wake") {
                    registry.wake();
                } else {
                    const int action = Ids{"add", "remove", "change"}.indexOf(verb);
                    sim.send_event(device, action < 0 ? HidEvent::Action::other : HidEvent::Action(action));
                }
            }
            take_step();
        }
        QCOMPARE(ids_of(registry.present()), present);
        QCOMPARE(int(registry.places().size()), std::max(1, int(present.size())));
        QCOMPARE(announced_added, added);
        QCOMPARE(announced_removed, removed);
        QCOMPARE(announced_changed, changed);
        QCOMPARE(int(sim.opens().size()), opens);
        QCOMPARE(registry.only(), present.size() > 1 ? nullptr : registry.places().front());

        // Under udev nothing checks on a timer; only a controller holding its device polls.
        QCOMPARE(registry.findChild<QTimer *>(QStringLiteral("registry_check_timer"))->isActive(), false);
        for (ControllerThread *place : registry.places()) {
            Controller &controller = place->controller();
            QVERIFY(!controller.findChild<QTimer *>(QStringLiteral("check_timer"))->isActive());
            QCOMPARE(controller.findChild<QTimer *>(QStringLiteral("poll_timer"))->isActive(),
                     udev && controller.connected());
        }
        // Each present controller has a live handle of its own, and loads from it.
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
