// The D-Bus interface on a private session bus (CTest runs this under
// dbus-run-session) in front of the controller model on the simulated
// controller: what a client reads, what it is refused, what reaches the wire.

#include "bench.h"
#include "dbus/controller_objects.h"
#include "model/config_file.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFile>
#include <QScopeGuard>
#include <QSettings>
#include <QSpinBox>
#include <QTest>

#include <algorithm>
#include <functional>

namespace {

const QString PROPERTIES = QStringLiteral("org.freedesktop.DBus.Properties");
const QString ERROR = QStringLiteral("io.github.morvane.pwm.Error.");
const QString INTERFACE = QLatin1String(ControllerService::INTERFACE_NAME);
const QString OBJECT_MANAGER = QLatin1String(bus_names::OBJECT_MANAGER_INTERFACE);
const QString UNKNOWN_METHOD = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");

// Where the controller stands when a client calls; two_present: a second
// one beside it, both loaded.
enum class Situation { absent, plugged, not_loaded, automatic, manual, deaf_to_writes, deaf_to_mode, two_present };

QString export_of(const ConfigBlock &config)
{
    return QString::fromUtf8(config_to_json(config, supported_controller()));
}

} // namespace

Q_DECLARE_METATYPE(Situation)

// Keeps every PropertiesChanged of the service, in order.
class ChangeLog : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    // InterfacesAdded and InterfacesRemoved: "member signature path interface…"
    QList<QStringList> comings_and_goings;
public slots:
    void changed(const QString &, const QVariantMap &values, const QStringList &) { changes << values; }
    void object_signal(const QDBusMessage &signal)
    {
        const QVariant second = signal.arguments().value(1);
        const QStringList interfaces = signal.member() == "InterfacesAdded"
                                           ? qdbus_cast<bus_names::InterfaceProperties>(second).keys()
                                           : second.toStringList();
        comings_and_goings << (QStringList{signal.member(), signal.signature(),
                               signal.arguments().value(0).value<QDBusObjectPath>().path()} + interfaces);
    }
};

// The program's model on the simulated controller in `situation` (the
// shared Bench), served on the session bus, and a client's own connection.
struct Rig
{
    explicit Rig(Situation situation = Situation::automatic, Bench::View view = Bench::View::none)
        : bench(ControllerState(), view)
    {
        QString error;
        QVERIFY2(objects.publish(QDBusConnection::sessionBus(), &error), qPrintable(error));
        client.connect(QString(), ControllerService::OBJECT_PATH, PROPERTIES, QStringLiteral("PropertiesChanged"),
                       &log, SLOT(changed(QString, QVariantMap, QStringList)));
        for (const char *member : {"InterfacesAdded", "InterfacesRemoved"})
            client.connect(QString(), ControllerService::OBJECT_PATH, OBJECT_MANAGER, QLatin1String(member), &log,
                           SLOT(object_signal(QDBusMessage)));
        if (situation == Situation::two_present)
            bench.sim().add_controller();
        if (situation == Situation::absent)
            bench.unplug();
        if (situation == Situation::not_loaded)
            bench.fail(cmd_read_state, SimFaultKind::silent, SIM_ALWAYS);
        if (situation == Situation::deaf_to_writes)
            bench.fail(cmd_write_config, SimFaultKind::silent, SIM_ALWAYS);
        if (situation == Situation::deaf_to_mode)
            bench.fail(cmd_set_mode, SimFaultKind::silent, SIM_ALWAYS);
        if (situation == Situation::plugged)
            return;
        bench.connect();
        if (situation == Situation::manual) {
            bench.model().set_wanted_mode(RegulationMode::manual);
            bench.tick(); // switches the controller to manual
            bench.tick(); // reads it back
        }
        if (situation == Situation::two_present)
            tick(); // loads the second one
        bench.forget_wire();
    }

    // A poll tick of every controller present.
    void tick()
    {
        for (ControllerThread *place : bench.registry().places())
            place->controller().form_update();
    }

    QDBusPendingCall send(const QString &method, const QVariantList &arguments = {},
                          const QString &interface = INTERFACE, const QString &path = ControllerService::OBJECT_PATH)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(ControllerService::SERVICE_NAME, path, interface, method);
        message.setArguments(arguments);
        return client.asyncCall(message);
    }
    // The service answers on this thread: wait in an event loop. A call left
    // unanswered reads as an invalid message.
    QDBusMessage call(const QString &method, const QVariantList &arguments = {},
                      const QString &interface = INTERFACE, const QString &path = ControllerService::OBJECT_PATH)
    {
        QDBusPendingCall pending = send(method, arguments, interface, path);
        static_cast<void>(QTest::qWaitFor([&] { return pending.isFinished(); }));
        return pending.reply();
    }
    // A call the model answers once the controller has: poll ticks run
    // until the reply is in.
    QDBusMessage settle(const QDBusPendingCall &pending)
    {
        static_cast<void>(QTest::qWaitFor(
            [&] {
                tick();
                return pending.isFinished();
            },
            Controller::WORST_ANSWER_MS));
        return pending.reply();
    }

    // A property of the old object, as Get reads it.
    QVariant get(const QString &property)
    {
        return call("Get", {INTERFACE, property}, PROPERTIES).arguments().value(0).value<QDBusVariant>().variant();
    }
    // GetManagedObjects as path -> {Id, Serial}.
    QMap<QString, QStringList> managed()
    {
        const QDBusMessage reply = call("GetManagedObjects", {}, OBJECT_MANAGER);
        QMap<QString, QStringList> listed;
        if (reply.signature() != "a{oa{sa{sv}}}")
            return listed;
        const auto objects = qdbus_cast<bus_names::ManagedObjects>(reply.arguments().value(0));
        for (auto object = objects.cbegin(); object != objects.cend(); ++object) {
            const QVariantMap properties = object.value().value(INTERFACE);
            listed[object.key().path()] = {properties["Id"].toString(), properties["Serial"].toString()};
        }
        return listed;
    }

    Bench bench;
    ControllerObjects objects{bench.registry()};
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client");
    ChangeLog log;
};

class TestDbusService : public QObject
{
    Q_OBJECT

private slots:
    void properties_announce_each_change_once();
    void refusals_write_nothing_data();
    void refusals_write_nothing();
    void export_applies_back_byte_exact();
    void manual_answers_once_switched();
    void flood_of_calls();
    void window_follows_an_apply();
    void each_controller_its_object_data();
    void each_controller_its_object();
    void renamed_controller_moves();
};

// Changes with quiet ticks around each: one PropertiesChanged per change,
// naming exactly what changed; then Get reads the same values.
void TestDbusService::properties_announce_each_change_once()
{
    Rig rig(Situation::plugged);
    ConfigBlock &live = rig.bench.controller_config();
    const unsigned width = live.pwm_width();
    const QList<std::pair<std::function<void()>, QVariantMap>> scenario = {
        {[&] { rig.bench.check(); },
         {{"Connected", true}, {"Identified", true}, {"ConfigurationLoaded", true},
          {"LightReading", live.light_adc()}, {"PwmWidth", width}, {"BrightnessPercent", unsigned(pwm_percent(int(width)))},
          {"Id", QVariant()}}},
        {[&] { live.set_light_adc(700); }, {{"LightReading", 700u}}},
        {[&] { live.set_pwm_width(282); }, {{"PwmWidth", 282u}, {"BrightnessPercent", 50u}}},
        {[&] { rig.bench.link().set_edits_pending(true); }, {{"EditsPending", true}}},
        // Two status reads lost; SilentSince (no value here) is the model's time.
        {[&] { rig.bench.fail(cmd_read_state, SimFaultKind::silent, 2); rig.bench.tick(); },
         {{"Answering", false}, {"SilentSince", QVariant()}}},
        {[] {}, {{"Answering", true}, {"SilentSince", QString()}}},
        {[&] { rig.bench.unplug(); rig.bench.check(); },
         {{"Connected", false}, {"Identified", false}, {"ConfigurationLoaded", false}, {"Id", QString()}}},
    };
    QList<QVariantMap> expected;
    for (const auto &[act, announced] : scenario) {
        for (int quiet = 0; quiet < 3; ++quiet)
            rig.bench.tick();
        act();
        rig.bench.tick();
        expected << announced;
        if (announced.contains("SilentSince") && !announced["SilentSince"].isValid())
            expected.last()["SilentSince"] = rig.bench.model().status().silent_since.toString(Qt::ISODate);
        if (announced.contains("Id") && !announced["Id"].isValid())
            expected.last()["Id"] = rig.bench.link().identity().id;
        // The bus keeps the order: a stray announcement arrives before this one.
        QVERIFY(QTest::qWaitFor([&] { return rig.log.changes.size() >= expected.size(); }));
    }
    QCOMPARE(rig.log.changes, expected);

    QCOMPARE(rig.get("PwmWidth"), QVariant(282u));
}

void TestDbusService::refusals_write_nothing_data()
{
    QTest::addColumn<Situation>("situation");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("message");  // a part of the sentence
    QTest::addColumn<bool>("settles");     // answered once the controller has, after poll ticks
    QTest::addColumn<QList<int>>("written"); // requests other than reads the controller heard, each once

    const QString valid = export_of(sim_default_config());
    const QList<int> nothing;
    QTest::newRow("level as a string") << Situation::manual << "SetManualLevel" << QVariantList{"50"} << UNKNOWN_METHOD << "" << false << nothing;
    QTest::newRow("document missing") << Situation::automatic << "ApplyConfiguration" << QVariantList{} << UNKNOWN_METHOD << "" << false << nothing;
    QTest::newRow("level too high") << Situation::manual << "SetManualLevel" << QVariantList{565u} << ERROR + "OutOfRange" << "out of range: 0..564" << false << nothing;
    QTest::newRow("level beyond int") << Situation::manual << "SetManualLevel" << QVariantList{4294967295u} << ERROR + "OutOfRange" << "out of range" << false << nothing;
    QTest::newRow("no controller") << Situation::absent << "GetConfiguration" << QVariantList{} << ERROR + "NotConnected" << "No controller" << false << nothing;
    QTest::newRow("apply before the load") << Situation::not_loaded << "ApplyConfiguration" << QVariantList{valid} << ERROR + "NotLoaded" << "Nothing was sent" << false << nothing;
    QTest::newRow("level in automatic") << Situation::automatic << "SetManualLevel" << QVariantList{10u} << ERROR + "NotManual" << "switch it on" << false << nothing;
    QTest::newRow("step in automatic") << Situation::automatic << "StepDown" << QVariantList{} << ERROR + "NotManual" << "switch it on" << false << nothing;
    QTest::newRow("broken JSON") << Situation::automatic << "ApplyConfiguration" << QVariantList{"{"} << ERROR + "InvalidConfiguration" << "" << false << nothing;
    QTest::newRow("huge document") << Situation::automatic << "ApplyConfiguration" << QVariantList{QString(1 << 20, ' ')} << ERROR + "InvalidConfiguration" << "at most 65536" << false << nothing;
    QTest::newRow("switch not confirmed") << Situation::deaf_to_mode << "SetManual" << QVariantList{true} << ERROR + "NotConfirmed" << "did not confirm" << true << QList<int>{cmd_set_mode};
    QTest::newRow("several controllers") << Situation::two_present << "SetManual" << QVariantList{true} << ERROR + "SeveralControllers" << "(path:/dev/hidraw0, path:/dev/hidraw1); choose one" << false << nothing;
    QTest::newRow("not confirmed") << Situation::deaf_to_writes << "ApplyConfiguration" << QVariantList{valid} << ERROR + "NotConfirmed" << "did not confirm" << false << QList<int>{cmd_write_config};
}

// Each refusal is a D-Bus error a person can read, and the controller hears
// nothing of the call unless the write itself went unanswered.
void TestDbusService::refusals_write_nothing()
{
    QFETCH(Situation, situation);
    QFETCH(QString, method);
    QFETCH(QVariantList, arguments);
    QFETCH(bool, settles);
    Rig rig(situation);
    const QDBusMessage reply = settles ? rig.settle(rig.send(method, arguments)) : rig.call(method, arguments);
    QTEST(reply.errorName(), "error");
    QFETCH(QString, message);
    QVERIFY2(reply.errorMessage().contains(message), qPrintable(reply.errorMessage()));
    QList<int> heard = rig.bench.requests();
    heard.removeAll(cmd_read_state);
    heard.erase(std::unique(heard.begin(), heard.end()), heard.end());
    QTEST(heard, "written");
}

// The export applied back goes out as command 56 carrying the controller's
// own block: bytes 0..4 as it last reported them, 5..36 as loaded.
void TestDbusService::export_applies_back_byte_exact()
{
    Rig rig;
    const ConfigBlock before = rig.bench.controller_config();
    const QDBusMessage exported = rig.call("GetConfiguration");
    QCOMPARE(rig.call("ApplyConfiguration", exported.arguments()).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(rig.bench.requests(), QList<int>{cmd_write_config});
    QCOMPARE(rig.bench.payloads(cmd_write_config).value(0).left(ConfigBlock::SIZE), block_bytes(before, 0, ConfigBlock::SIZE - 1));
}

// SetManual answers once the controller reports manual regulation, so the
// client's next call finds it switched; calls are answered in order, so the
// Get answered first shows the switch still pending.
void TestDbusService::manual_answers_once_switched()
{
    Rig rig;
    QDBusPendingCall switching = rig.send("SetManual", {true});
    QCOMPARE(rig.get("RegulationMode"), QVariant("automatic"));
    QVERIFY(!switching.isFinished());
    rig.bench.tick(); // sends the switch
    rig.bench.tick(); // reads it back
    QVERIFY(QTest::qWaitFor([&] { return switching.isFinished(); }));
    QVERIFY(!switching.isError());
    QCOMPARE(rig.settle(rig.send("StepUp")).type(), QDBusMessage::ReplyMessage);
}

// Hundreds of calls at once, good and bad: each is answered, an apply while
// another is on its way is refused as Busy and never reaches the wire, and
// the model ends where the last call left it.
void TestDbusService::flood_of_calls()
{
    Rig rig(Situation::manual);
    QList<QDBusPendingCall> applies;
    for (unsigned i = 0; i < 100; ++i) {
        applies << rig.send("ApplyConfiguration", {export_of(sim_default_config())});
        rig.send("SetManualLevel", {i});
        rig.send("StepUp");
        rig.send("SetManualLevel", {"x"});
        rig.send("Get", {INTERFACE, "NoSuchProperty"}, PROPERTIES);
    }
    QCOMPARE(rig.settle(rig.send("SetManualLevel", {300u})).type(), QDBusMessage::ReplyMessage); // answered last
    int written = 0;
    for (const QDBusPendingCall &apply : applies) {
        QVERIFY(!apply.isError() || apply.error().name() == ERROR + "Busy");
        written += !apply.isError();
    }
    QVERIFY(written >= 1);
    QCOMPARE(rig.bench.requests().count(cmd_write_config), written);
    QCOMPARE(rig.bench.model().manual_level(), 300);
}

// The window is the model's other view: its form shows what a client
// applied, and once the user edits it, a client's apply is refused.
void TestDbusService::window_follows_an_apply()
{
    Rig rig(Situation::automatic, Bench::View::attached);
    ConfigBlock wanted = sim_default_config();
    wanted.set_auto_light(3, 777);
    wanted.set_auto_pwm(7, 100);
    wanted.set_pwm_slide_delay(9);
    wanted.set_pwm_smooth_alg(!wanted.pwm_smooth_alg());
    QCOMPARE(rig.call("ApplyConfiguration", {export_of(wanted)}).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(config_part(rig.bench.form()), config_part(wanted));

    rig.bench.slide_delay()->setValue(50);
    QCOMPARE(rig.call("ApplyConfiguration", {export_of(wanted)}).errorName(), ERROR + "EditsPending");
    QCOMPARE(rig.bench.form().pwm_slide_delay(), 50u);
}

// The controllers on the bus for a test, as the simulator's serial and
// port of each.
struct Plugged
{
    std::string serial, port;
};
using PluggedList = QList<Plugged>;
Q_DECLARE_METATYPE(PluggedList)

// Plugs `controllers` in at once and runs the device check that finds them;
// their simulator devices in order.
static QList<int> plug(Rig &rig, const PluggedList &controllers)
{
    QList<int> devices;
    for (const Plugged &controller : controllers)
        devices << rig.bench.sim().add_controller({}, controller.serial, controller.port);
    rig.bench.check();
    rig.tick();
    return devices;
}

// A twin serial seen is remembered across runs: not across tests.

static void forget_twins()
{
    QFile::remove(QSettings(QStringLiteral("io.github.morvane.pwm"), QStringLiteral("controllers")).fileName());
}

void TestDbusService::each_controller_its_object_data()
{
    QTest::addColumn<PluggedList>("controllers");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<int>("leaving"); // which of them goes and comes back: the first is in the first place

    QTest::newRow("no serials, the first place goes") << PluggedList{{"", ""}, {"", ""}} << QStringList{"path:/dev/hidraw1", "path:/dev/hidraw2"} << 0;
    QTest::newRow("distinct serials, a later place goes") << PluggedList{{"A1", "1-1"}, {"B2", "1-2"}} << QStringList{"sn:A1", "sn:B2"} << 1;
    QTest::newRow("equal serials, the first place goes") << PluggedList{{"X7", "1-1"}, {"X7", "1-2"}} << QStringList{"sn:X7@1-1", "sn:X7@1-2"} << 0;
}

// Two controllers, each with its own object; the old one reads as with no
// controller. One goes and comes back while the other keeps working, and
// the old object serves whichever is alone.
void TestDbusService::each_controller_its_object()
{
    QFETCH(PluggedList, controllers);
    QFETCH(QStringList, ids);
    QFETCH(int, leaving);
    const auto forget = qScopeGuard(forget_twins);
    Rig rig(Situation::absent);
    const QList<int> devices = plug(rig, controllers);
    QMap<QString, QStringList> both;
    for (int i = 0; i < ids.size(); ++i)
        both[bus_names::controller_path(ids[i])] = {ids[i], QString::fromStdString(controllers[i].serial)};
    const QString leaving_path = bus_names::controller_path(ids[leaving]);
    const QString staying_path = bus_names::controller_path(ids[1 - leaving]);
    QCOMPARE(rig.managed(), both);
    QVERIFY(QTest::qWaitFor([&] { return rig.log.comings_and_goings.size() == 2; })); // both plugged in
    rig.log.comings_and_goings.clear();
    QCOMPARE(rig.get("Connected"), QVariant(false));

    rig.bench.sim().unplug(devices[leaving]);
    rig.bench.check();
    QVERIFY(QTest::qWaitFor([&] { return rig.log.comings_and_goings.size() == 1; }));
    QCOMPARE(rig.log.comings_and_goings.takeFirst(), (QStringList{"InterfacesRemoved", "oas", leaving_path, INTERFACE}));
    QCOMPARE(rig.managed().keys(), QList<QString>{staying_path});
    QCOMPARE(rig.call("SetManual", {true}, INTERFACE, leaving_path).errorName(), QString("org.freedesktop.DBus.Error.UnknownObject"));
    QCOMPARE(rig.call("SetManualLevel", {"x"}, INTERFACE, staying_path).errorName(), UNKNOWN_METHOD);
    QCOMPARE(rig.settle(rig.send("SetManual", {true}, INTERFACE, staying_path)).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(rig.get("Id"), QVariant(ids[1 - leaving]));
    QCOMPARE(rig.settle(rig.send("StepDown")).type(), QDBusMessage::ReplyMessage);

    rig.bench.sim().replug(devices[leaving]);
    rig.bench.check();
    QVERIFY(QTest::qWaitFor([&] { return rig.log.comings_and_goings.size() == 1; }));
    QCOMPARE(rig.log.comings_and_goings.takeFirst(), (QStringList{"InterfacesAdded", "oa{sa{sv}}", leaving_path, INTERFACE}));
    QCOMPARE(rig.managed(), both);
    QCOMPARE(rig.call("StepDown").errorName(), ERROR + "SeveralControllers");
}

// A twin of a controller's serial turns up: the controller's id changes, so
// its object moves to the new path (removed, then added).
void TestDbusService::renamed_controller_moves()
{
    const auto forget = qScopeGuard(forget_twins);
    Rig rig(Situation::absent);
    plug(rig, {{"X7", "1-1"}});
    plug(rig, {{"X7", "1-2"}});
    const auto announced = [&](const char *member, const char *id) {
        return QStringList{member, member == QLatin1String("InterfacesAdded") ? "oa{sa{sv}}" : "oas",
                           bus_names::controller_path(id), INTERFACE};
    };
    QVERIFY(QTest::qWaitFor([&] { return rig.log.comings_and_goings.size() == 4; }));
    QCOMPARE(rig.log.comings_and_goings,
             (QList<QStringList>{announced("InterfacesAdded", "sn:X7"), announced("InterfacesRemoved", "sn:X7"),
                                 announced("InterfacesAdded", "sn:X7@1-1"), announced("InterfacesAdded", "sn:X7@1-2")}));
}

QTEST_MAIN(TestDbusService)
#include "tst_dbus_service.moc"
