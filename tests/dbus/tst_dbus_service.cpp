// The D-Bus interface on a private session bus (CTest runs this under
// dbus-run-session) in front of the controller model on the simulated
// controller: what a client reads, what it is refused, what reaches the wire.

#include "bench.h"
#include "dbus/controller_objects.h"
#include "dbus/sleep_watch.h"
#include "model/config_file.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFile>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <algorithm>
#include <functional>
#include <utility>

#include <poll.h>
#include <unistd.h>

namespace {

const QString PROPERTIES = QStringLiteral("org.freedesktop.DBus.Properties");
const QString ERROR = QStringLiteral("io.github.morvane.pwm.Error.");
const QString INTERFACE = QLatin1String(ControllerService::INTERFACE_NAME);
const QString OBJECT_MANAGER = QLatin1String(bus_names::OBJECT_MANAGER_INTERFACE);
const QString UNKNOWN_METHOD = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");

// Where the controller stands when a client calls.
enum class Situation { absent, plugged, not_loaded, automatic, manual, deaf_to_writes, deaf_to_mode };

QString export_of(const ConfigBlock &config)
{
    return QString::fromUtf8(config_to_json(config, supported_controller()));
}

} // namespace

Q_DECLARE_METATYPE(Situation)

// Keeps every PropertiesChanged of the old object, and the object
// manager's signals, in order.
class ChangeLog : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    // "+<path>" for InterfacesAdded, "-<path>" for InterfacesRemoved, with
    // " malformed" unless they carry the D-Bus types and the interface.
    QStringList comings_and_goings;
    QStringList coupling;
public slots:
    void changed(const QString &, const QVariantMap &values, const QStringList &) { changes << values; }
    // "3/11" for CouplingProgress, the document for CouplingFinished.
    void coupling_signal(const QDBusMessage &signal)
    {
        const QVariantList values = signal.arguments();
        coupling << (signal.member() == "CouplingProgress"
                         ? QStringLiteral("%1/%2").arg(values.value(0).toUInt()).arg(values.value(1).toUInt())
                         : values.value(0).toString());
    }
    void object_signal(const QDBusMessage &signal)
    {
        const bool added = signal.member() == "InterfacesAdded";
        const QVariant second = signal.arguments().value(1);
        const bool well_formed = signal.signature() == (added ? "oa{sa{sv}}" : "oas")
            && (added ? qdbus_cast<bus_names::InterfaceProperties>(second).keys() : second.toStringList()) == QStringList{INTERFACE};
        comings_and_goings << (added ? "+" : "-") + signal.arguments().value(0).value<QDBusObjectPath>().path()
                + (well_formed ? "" : " malformed");
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
        for (const char *member : {"CouplingProgress", "CouplingFinished"})
            client.connect(QString(), ControllerService::OBJECT_PATH, INTERFACE, QLatin1String(member), &log,
                           SLOT(coupling_signal(QDBusMessage)));
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
    // GetManagedObjects as path -> {Id, Serial}; empty unless of its D-Bus type.
    QMap<QString, QStringList> managed()
    {
        const auto objects = qdbus_cast<bus_names::ManagedObjects>(call("GetManagedObjects", {}, OBJECT_MANAGER).arguments().value(0));
        QMap<QString, QStringList> listed;
        for (const QDBusObjectPath &path : objects.keys())
            listed[path.path()] = {objects[path][INTERFACE]["Id"].toString(), objects[path][INTERFACE]["Serial"].toString()};
        return listed;
    }
    // The object manager's signals from now until there are `count`.
    QStringList comings_and_goings(qsizetype count)
    {
        static_cast<void>(QTest::qWaitFor([&] { return log.comings_and_goings.size() >= count; }));
        return std::exchange(log.comings_and_goings, {});
    }

    Bench bench;
    ControllerObjects objects{bench.registry()};
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client");
    ChangeLog log;
};

// logind as far as the program uses it, on the test's bus in place of the
// system bus: each Inhibit hands out the write end of a pipe, whose read end
// shows when the program has let it go.
class StandInLogin : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("login1"));
    std::vector<int> read_ends;

    ~StandInLogin() override
    {
        for (const int end : read_ends)
            ::close(end);
        QDBusConnection::disconnectFromBus(bus.name());
    }
    int held() const
    {
        return int(std::count_if(read_ends.begin(), read_ends.end(), [](int end) {
            pollfd hung_up{end, POLLIN, 0};
            return ::poll(&hung_up, 1, 0) == 0;
        }));
    }
public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &, const QString &, const QString &mode)
    {
        int ends[2];
        if (what != "sleep" || mode != "delay" || ::pipe(ends) != 0)
            return {};
        read_ends.push_back(ends[0]);
        const QDBusUnixFileDescriptor handed(ends[1]);
        ::close(ends[1]);
        return handed;
    }
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
    void watch_lasts_until_unwatched_or_gone_data();
    void watch_lasts_until_unwatched_or_gone();
    void follows_sleep_data();
    void follows_sleep();
    void coupling_measurement_data();
    void coupling_measurement();
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
    QTest::newRow("measure with no controller") << Situation::absent << "StartCouplingMeasurement" << QVariantList{} << ERROR + "NotConnected" << "No controller" << false << nothing;
    QTest::newRow("measure before the load") << Situation::not_loaded << "StartCouplingMeasurement" << QVariantList{} << ERROR + "NotLoaded" << "Nothing was sent" << false << nothing;
    QTest::newRow("broken JSON") << Situation::automatic << "ApplyConfiguration" << QVariantList{"{"} << ERROR + "InvalidConfiguration" << "" << false << nothing;
    QTest::newRow("huge document") << Situation::automatic << "ApplyConfiguration" << QVariantList{QString(1 << 20, ' ')} << ERROR + "InvalidConfiguration" << "at most 65536" << false << nothing;
    QTest::newRow("switch not confirmed") << Situation::deaf_to_mode << "SetManual" << QVariantList{true} << ERROR + "NotConfirmed" << "did not confirm" << true << QList<int>{cmd_set_mode};
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

// Plugs in a controller ("serial@port", either may be empty) and runs the
// device check that finds it; its simulator device.
static int plug(Rig &rig, const QString &controller)
{
    const int device = rig.bench.sim().add_controller({}, controller.section('@', 0, 0).toStdString(),
                                                      controller.section('@', 1).toStdString());
    rig.bench.check();
    rig.tick();
    return device;
}

// "+<id>" / "-<id>" as ChangeLog writes them for its path.
static QStringList announced(const QStringList &comings_and_goings)
{
    QStringList paths;
    for (const QString &one : comings_and_goings)
        paths << one.left(1) + bus_names::controller_path(one.mid(1));
    return paths;
}

void TestDbusService::each_controller_its_object_data()
{
    QTest::addColumn<QStringList>("controllers"); // plugged in one after the other, the first in the first place
    QTest::addColumn<QStringList>("plugging_in"); // the object manager's signals meanwhile
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<int>("leaving"); // which of them goes and comes back

    QTest::newRow("no serials, the first place goes") << QStringList{"@", "@"} << QStringList{"+path:/dev/hidraw1", "+path:/dev/hidraw2"} << QStringList{"path:/dev/hidraw1", "path:/dev/hidraw2"} << 0;
    QTest::newRow("distinct serials, a later place goes") << QStringList{"B2@1-2", "A1@1-1"} << QStringList{"+sn:B2", "+sn:A1"} << QStringList{"sn:B2", "sn:A1"} << 1;
    // The first one's id changes once its twin is there: its object moves.
    QTest::newRow("equal serials, the first place goes") << QStringList{"X7@1-1", "X7@1-2"} << QStringList{"+sn:X7", "-sn:X7", "+sn:X7@1-1", "+sn:X7@1-2"} << QStringList{"sn:X7@1-1", "sn:X7@1-2"} << 0;
}

// Two controllers, each with its own object; the old one reads as with no
// controller and refuses, naming both. One goes and comes back while the
// other keeps working, and the old object serves whichever is alone.
void TestDbusService::each_controller_its_object()
{
    QFETCH(QStringList, controllers);
    QFETCH(QStringList, ids);
    QFETCH(int, leaving);
    // A twin serial seen is remembered across runs: not across tests.
    const auto forget_twins = qScopeGuard(
        [] { QFile::remove(QSettings("io.github.morvane.pwm", "controllers").fileName()); });
    Rig rig(Situation::absent);
    QList<int> devices;
    for (const QString &controller : controllers)
        devices << plug(rig, controller);
    QFETCH(QStringList, plugging_in);
    QCOMPARE(rig.comings_and_goings(plugging_in.size()), announced(plugging_in));
    QMap<QString, QStringList> both;
    for (int i = 0; i < ids.size(); ++i)
        both[bus_names::controller_path(ids[i])] = {ids[i], controllers[i].section('@', 0, 0)};
    QCOMPARE(rig.managed(), both);
    QCOMPARE(rig.get("Connected"), QVariant(false));
    const QDBusMessage refused = rig.call("SetManual", {true});
    QCOMPARE(refused.errorName(), ERROR + "SeveralControllers");
    for (const QString &id : ids)
        QVERIFY2(refused.errorMessage().contains(id), qPrintable(refused.errorMessage()));

    const QString leaving_id = ids[leaving], staying_path = bus_names::controller_path(ids[1 - leaving]);
    rig.bench.sim().unplug(devices[leaving]);
    rig.bench.check();
    QCOMPARE(rig.comings_and_goings(1), announced({"-" + leaving_id}));
    QCOMPARE(rig.managed().keys(), QList<QString>{staying_path});
    QCOMPARE(rig.call("SetManual", {true}, INTERFACE, bus_names::controller_path(leaving_id)).errorName(), QString("org.freedesktop.DBus.Error.UnknownObject"));
    QCOMPARE(rig.call("SetManualLevel", {"x"}, INTERFACE, staying_path).errorName(), UNKNOWN_METHOD);
    QCOMPARE(rig.settle(rig.send("SetManual", {true}, INTERFACE, staying_path)).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(rig.get("Id"), QVariant(ids[1 - leaving]));
    QCOMPARE(rig.settle(rig.send("StepDown")).type(), QDBusMessage::ReplyMessage);

    rig.bench.sim().replug(devices[leaving]);
    rig.bench.check();
    QCOMPARE(rig.comings_and_goings(1), announced({"+" + leaving_id}));
    QCOMPARE(rig.managed(), both);
    QCOMPARE(rig.call("StepDown").errorName(), ERROR + "SeveralControllers");
}

// With the window hidden, a watcher keeps the fast poll: each Watch until
// its own Unwatch, all of them once its caller leaves the bus.
void TestDbusService::watch_lasts_until_unwatched_or_gone_data()
{
    QTest::addColumn<QStringList>("steps"); // watch, unwatch, "watch 100", leave (a new caller comes after)
    QTest::addColumn<QList<bool>>("watched"); // after each step
    QTest::newRow("the caller leaves") << QStringList{"watch", "leave"} << QList<bool>{true, false};
    QTest::newRow("each Watch counts, an Unwatch without one does nothing")
        << QStringList{"unwatch", "watch", "watch", "unwatch", "unwatch", "unwatch", "watch"}
        << QList<bool>{false, true, true, true, false, false, true};
    QTest::newRow("many watches go with their caller")
        << QStringList{"watch 100", "leave", "watch"} << QList<bool>{true, false, true};
}

void TestDbusService::watch_lasts_until_unwatched_or_gone()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<bool>, watched);
    Rig rig;
    rig.bench.registry().cadence().set_window_shown(false);
    QString caller = QStringLiteral("watcher");
    const auto leave = qScopeGuard([&] { QDBusConnection::disconnectFromBus(caller); });
    for (qsizetype step = 0; step < steps.size(); ++step) {
        const QStringList words = steps.at(step).split(' ');
        if (words.first() == "leave") {
            QDBusConnection::disconnectFromBus(caller);
            caller = QStringLiteral("watcher%1").arg(step);
        }
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, caller);
        const QString method = words.first() == "unwatch" ? "Unwatch" : "Watch";
        for (int call = 0; words.first() != "leave" && call < words.value(1, "1").toInt(); ++call) {
            QDBusPendingCall pending = bus.asyncCall(QDBusMessage::createMethodCall(
                ControllerService::SERVICE_NAME, ControllerService::OBJECT_PATH, INTERFACE, method));
            QVERIFY(QTest::qWaitFor([&] { return pending.isFinished(); }));
            QVERIFY2(!pending.isError(), qPrintable(pending.error().message()));
        }
        // A caller's leaving reaches the program in a while.
        QTRY_COMPARE(rig.bench.model().poll_ms(), watched.at(step) ? Controller::POLL_MS : Controller::QUIET_POLL_MS);
    }
}

// Before sleep the controller is let go, then the inhibitor; after it a
// new inhibitor, and the controller is opened and loaded anew.
void TestDbusService::follows_sleep_data()
{
    QTest::addColumn<QString>("missing");   // "logind", "system bus": then nothing changes
    QTest::addColumn<QString>("meanwhile"); // during sleep
    QTest::addColumn<int>("loads");         // configuration_loaded after waking
    QTest::newRow("asleep and awake: nothing said") << "" << "" << 0;
    QTest::newRow("replugged: reopened, nothing said") << "" << "replug" << 0;
    QTest::newRow("reconfigured elsewhere: the load is said") << "" << "reconfigure" << 1;
    QTest::newRow("no logind") << "logind" << "reconfigure" << 0;
    QTest::newRow("no system bus") << "system bus" << "reconfigure" << 0;
}

void TestDbusService::follows_sleep()
{
    QFETCH(QString, missing);
    QFETCH(QString, meanwhile);
    QFETCH(int, loads);
    const bool follows = missing.isEmpty();

    Rig rig;
    StandInLogin logind;
    if (missing != "logind")
        QVERIFY(logind.bus.registerObject(SleepWatch::LOGIN_PATH, &logind, QDBusConnection::ExportAllSlots)
                && logind.bus.registerService(SleepWatch::LOGIN_SERVICE));
    ControllerRegistry &registry = rig.bench.registry();
    SleepWatch watch([&](const SleepWatch::Ready &ready) { registry.prepare_for_sleep(ready); },
                     [&] { registry.wake(); });
    const bool bus = missing != "system bus";
    QCOMPARE(watch.follow(bus ? QDBusConnection::sessionBus() : QDBusConnection(QStringLiteral("none"))), bus);
    QVERIFY(QTest::qWaitFor([&] { return logind.held() == int(follows); }));
    // Handled once a call sent behind it is answered; what the program
    // sent before its answer is taken in after it.
    const auto prepare_for_sleep = [&](bool sleeping) {
        QVERIFY(logind.bus.send(QDBusMessage::createSignal(SleepWatch::LOGIN_PATH, SleepWatch::LOGIN_MANAGER,
                                                           QStringLiteral("PrepareForSleep")) << sleeping));
        const QDBusPendingCall behind = logind.bus.asyncCall(QDBusMessage::createMethodCall(
            ControllerService::SERVICE_NAME, ControllerService::OBJECT_PATH, PROPERTIES, "GetAll") << INTERFACE);
        QVERIFY(QTest::qWaitFor([&] { return behind.isFinished(); }));
        QCoreApplication::processEvents();
    };
    prepare_for_sleep(false); // awake already: changes nothing
    rig.log.changes.clear();
    rig.log.comings_and_goings.clear();

    prepare_for_sleep(true);
    QCOMPARE(logind.held(), 0);
    QCOMPARE(rig.bench.sim().open_devices().empty(), follows);
    if (meanwhile == "replug") {
        rig.bench.unplug();
        rig.bench.replug();
    } else if (meanwhile == "reconfigure") {
        rig.bench.controller_config().set_auto_pwm(3, 99);
    }
    rig.bench.forget_wire();
    QSignalSpy loaded(&rig.bench.link(), &ControllerThread::configuration_loaded);
    prepare_for_sleep(false);
    rig.tick();
    QVERIFY(QTest::qWaitFor([&] { return logind.held() == int(follows); }));
    QCOMPARE(int(logind.read_ends.size()), follows ? 2 : 0);
    QCOMPARE(rig.bench.requests().value(0), follows ? cmd_identify : cmd_read_state); // opened anew, loaded
    QCOMPARE(loaded.size(), loads);
    prepare_for_sleep(false);
    QCOMPARE(rig.log.changes, QList<QVariantMap>{});
    QCOMPARE(rig.log.comings_and_goings, QStringList{});
}

void TestDbusService::coupling_measurement_data()
{
    QTest::addColumn<QString>("ending"); // "" (every step), cancel, leave (its caller's connection closes)
    QTest::addColumn<QStringList>("finished"); // parts of CouplingFinished's document
    QTest::newRow("measured") << "" << QStringList{"{\"ambient_end\":512,\"ambient_start\":512,\"counts_per_percent\":0,",
                                                   "\"r_squared\":null,\"stable\":true}"};
    QTest::newRow("cancelled") << "cancel" << QStringList{"{\"error\":\"cancelled\"}"};
    QTest::newRow("the caller leaves the bus") << "leave" << QStringList{"{\"error\":\"cancelled\"}"};
}

// A measurement started by a caller of its own, in manual regulation at
// 100: meanwhile other actions and a second start are refused as
// Measuring; however it ends, the controller is back at manual 100.
void TestDbusService::coupling_measurement()
{
    QFETCH(QString, ending);
    Rig rig(Situation::manual);
    rig.bench.model().set_coupling_timing({0.1});
    QCOMPARE(rig.settle(rig.send("SetManualLevel", {100u})).type(), QDBusMessage::ReplyMessage);
    const auto leave = qScopeGuard([] { QDBusConnection::disconnectFromBus("measurer"); });
    const QDBusMessage started = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "measurer")
                                     .call(QDBusMessage::createMethodCall(ControllerService::SERVICE_NAME,
                                                                          ControllerService::OBJECT_PATH, INTERFACE,
                                                                          "StartCouplingMeasurement"),
                                           QDBus::BlockWithGui);
    QVERIFY2(started.type() == QDBusMessage::ReplyMessage, qPrintable(started.errorMessage()));
    QCOMPARE(rig.call("SetManual", {false}).errorName(), ERROR + "Measuring");
    QCOMPARE(rig.call("StartCouplingMeasurement").errorName(), ERROR + "Measuring");
    QVERIFY(QTest::qWaitFor([&] { rig.tick(); return rig.log.coupling.size() >= 3; })); // two steps measured
    if (ending == "cancel")
        QCOMPARE(rig.call("CancelCouplingMeasurement").type(), QDBusMessage::ReplyMessage);
    if (ending == "leave") { // its leaving reaches the program in a while
        QDBusConnection::disconnectFromBus("measurer");
        QVERIFY(QTest::qWaitFor([&] { return rig.log.coupling.last().startsWith('{'); }));
    }
    QVERIFY(QTest::qWaitFor([&] { rig.tick(); return rig.log.coupling.last().startsWith('{'); }, 10000));
    QFETCH(QStringList, finished);
    for (const QString &part : finished)
        QVERIFY2(rig.log.coupling.last().contains(part), qPrintable(rig.log.coupling.join(' ')));
    QCOMPARE(rig.log.coupling.mid(0, 3), (QStringList{"0/11", "1/11", "2/11"}));
    QCOMPARE(rig.log.coupling.size() == 13, ending.isEmpty());
    rig.tick(); // carries the regulation put back
    rig.tick(); // reads it back
    QCOMPARE(rig.get("RegulationMode"), QVariant("manual"));
    QCOMPARE(rig.get("PwmWidth"), QVariant(100u));
}

QTEST_MAIN(TestDbusService)
#include "tst_dbus_service.moc"
