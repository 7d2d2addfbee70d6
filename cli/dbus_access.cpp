#include "dbus_access.h"

#include "dbus/bus_names.h"
#include "model/config_file.h"
#include "model/controller.h"

#include <QDBusArgument>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>

namespace {

const QString SERVICE = QLatin1String(bus_names::SERVICE_NAME);
const QString PATH = QLatin1String(bus_names::OBJECT_PATH);
const QString PROPERTIES = QLatin1String(bus_names::PROPERTIES_INTERFACE);
const QString OBJECT_MANAGER = QStringLiteral("org.freedesktop.DBus.ObjectManager");
// The program answers a method once the controller has (at worst after a
// tick and an action timed out both ways, then the settling); a margin for
// the bus on top. Longer is a program that hangs.
constexpr int CALL_TIMEOUT_MS = Controller::WORST_ANSWER_MS + 2000;
// How long in all a call the program finds busy is asked again, and how often.
constexpr int BUSY_WAIT_MS = 3000;
constexpr int BUSY_RETRY_MS = 60;

} // namespace

std::unique_ptr<DbusAccess> DbusAccess::find_program(const QDBusConnection &bus)
{
    if (!bus.isConnected())
        return nullptr;
    // The first call goes to the well-known name and its reply names the
    // program, so that finding it costs no round trip of its own.
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(SERVICE, PATH, OBJECT_MANAGER, QStringLiteral("GetManagedObjects")),
        QDBus::Block, CALL_TIMEOUT_MS);
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return nullptr;
    const bool answered = reply.type() == QDBusMessage::ReplyMessage;
    std::unique_ptr<DbusAccess> found(new DbusAccess(bus, answered ? reply.service() : SERVICE));
    if (answered && reply.signature() == QLatin1String("a{oa{sa{sv}}}"))
        found->take_objects(reply.arguments().value(0).value<QDBusArgument>());
    const bool hangs = error == QLatin1String("org.freedesktop.DBus.Error.NoReply")
                       || error == QLatin1String("org.freedesktop.DBus.Error.Timeout");
    // A program that hangs is not waited for twice.
    if (hangs)
        found->unanswered_ = tr("morvane-pwm did not answer (%1)").arg(reply.errorMessage());
    else if (found->served_.empty())
        found->read_old_object(!answered);
    return found;
}

DbusAccess::DbusAccess(const QDBusConnection &bus, const QString &program)
    : bus_(bus)
    , program_(program)
    , path_(PATH)
{
}

DbusAccess::~DbusAccess() = default;

// Made for the first method call: a status needs none, and the proxy's
// bookkeeping on the bus would cost it more than its one read. Addressed to
// the program's unique name: the proxy then has no owner of a well-known
// name to look up and follow, two round trips fewer.
ControllerProxy &DbusAccess::proxy()
{
    if (!proxy_) {
        proxy_ = std::make_unique<ControllerProxy>(program_, path_, bus_);
        proxy_->setTimeout(CALL_TIMEOUT_MS);
    }
    return *proxy_;
}

std::vector<SelectableController> DbusAccess::controllers()
{
    std::vector<SelectableController> named;
    for (const Served &served : served_)
        named.push_back({served.id, served.serial});
    return named;
}

void DbusAccess::choose(int index)
{
    const Served &chosen = served_.at(size_t(index));
    // The only controller is also the old object's, which a watch follows
    // across an unplug as it always did.
    path_ = served_.size() == 1 ? PATH : chosen.path;
    proxy_.reset();
    status_ = ControllerStatus();
    take(chosen.properties);
}

Answer DbusAccess::open()
{
    // The status was read when the program was found.
    if (!unanswered_.isEmpty())
        return Answer::failure(unanswered_);
    if (const Refusal why = link_refusal(status_.connected, !status_.holder.isEmpty()); why != Refusal::none)
        return Answer::of(Outcome::refused(why), status_.holder);
    return {};
}

// The program waits for a load under way before it answers.
Answer DbusAccess::configuration(ConfigBlock *config)
{
    QDBusPendingReply<QString> reply;
    if (const Answer answer = call([&] { return reply = proxy().GetConfiguration(); }, false); !answer.ok())
        return answer;
    QString error;
    if (!config_from_json_as_reported(reply.value().toUtf8(), config, &error))
        return Answer::failure(tr("morvane-pwm sent a configuration this client cannot read: %1").arg(error));
    return {};
}

Answer DbusAccess::apply_configuration(const ConfigBlock &config)
{
    const QString document = QString::fromUtf8(config_to_json(config, supported_controller()));
    return call([&] { return proxy().ApplyConfiguration(document); }, true);
}

Answer DbusAccess::set_manual(bool manual)
{
    return regulate([&] { return proxy().SetManual(manual); });
}

Answer DbusAccess::set_manual_level(int level)
{
    return regulate([&] { return proxy().SetManualLevel(uint(level)); });
}

Answer DbusAccess::step(int direction)
{
    return regulate([&] { return direction > 0 ? proxy().StepUp() : proxy().StepDown(); });
}

void DbusAccess::follow_program()
{
    if (path_ != PATH)
        bus_.connect(program_, PATH, OBJECT_MANAGER, QStringLiteral("InterfacesRemoved"), this,
                     SLOT(interfaces_removed(QDBusObjectPath, QStringList)));
    auto *watcher = new QDBusServiceWatcher(SERVICE, bus_, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { emit ended(tr("morvane-pwm has ended")); });
}

void DbusAccess::watch()
{
    bus_.connect(program_, path_, PROPERTIES, QStringLiteral("PropertiesChanged"), this,
                 SLOT(properties_changed(QString, QVariantMap, QStringList)));
    follow_program();
    // Live values: the program polls fast while someone watches, until this
    // client leaves the bus. An older program without Watch polls fast anyway.
    proxy().Watch();
    // A change between the last read and the subscription would be missed.
    if (const Answer answer = refresh(); !answer.ok())
        QMetaObject::invokeMethod(this, [this, answer] { emit ended(answer.problem); }, Qt::QueuedConnection);
}

// The signals are subscribed to before the start: none can be missed. The
// program keeps the result in the history itself.
Answer DbusAccess::start_coupling()
{
    connect(&proxy(), &ControllerProxy::CouplingProgress, this,
            [this](uint step, uint steps) { emit coupling_progress(int(step), int(steps)); });
    connect(&proxy(), &ControllerProxy::CouplingFinished, this, [this](const QString &json) {
        if (const std::optional<CouplingResult> result = coupling_from_json(json.toUtf8()))
            emit coupling_finished(*result, QString());
        else
            emit ended(tr("morvane-pwm sent a coupling result this client cannot read"));
    });
    follow_program();
    return call([this] { return proxy().StartCouplingMeasurement(); }, true);
}

// The program's answer is not waited for: CouplingFinished follows.
void DbusAccess::cancel_coupling()
{
    proxy().CancelCouplingMeasurement();
}

void DbusAccess::properties_changed(const QString &interface, const QVariantMap &changed, const QStringList &)
{
    if (interface != QLatin1String(ControllerProxy::staticInterfaceName()))
        return;
    const ControllerStatus before = status_;
    take(changed);
    if (status_ != before)
        emit status_changed();
}

void DbusAccess::interfaces_removed(const QDBusObjectPath &path, const QStringList &)
{
    if (path.path() == path_)
        emit ended(tr("the controller %1 was unplugged").arg(status_.identity));
}

// Busy means an earlier write is still on its way: asked again, for a
// bounded while in all.
Answer DbusAccess::call(const std::function<QDBusPendingCall()> &make_call, bool writes)
{
    const QDeadlineTimer deadline(BUSY_WAIT_MS);
    for (;;) {
        QDBusPendingCall pending = make_call();
        pending.waitForFinished();
        const Answer answer = finished(pending, writes);
        if (answer.outcome != Outcome::refused(Refusal::busy) || deadline.hasExpired())
            return answer;
        QThread::msleep(BUSY_RETRY_MS);
    }
}

// What the client shows after a change of regulation is the status that followed it.
Answer DbusAccess::regulate(const std::function<QDBusPendingCall()> &make_call)
{
    const Answer answer = call(make_call, true);
    return answer.ok() ? refresh() : answer;
}

// The program's errors are read back as outcomes, worded by this client in
// its own language; only the bus's own failures keep their text.
Answer DbusAccess::finished(const QDBusPendingCall &call, bool writes) const
{
    const QDBusError failure = call.error();
    if (!failure.isValid())
        return {};
    Outcome outcome;
    if (bus_names::outcome_of_error(failure.name(), &outcome))
        return Answer::of(outcome, status_.holder);
    if (failure.name() == QLatin1String(bus_names::INVALID_CONFIGURATION))
        return Answer::failure(failure.message());
    if (failure.type() == QDBusError::NoReply || failure.type() == QDBusError::Timeout)
        return Answer::failure(
            writes ? tr("morvane-pwm did not answer within %1 s: the change may or may not have been made")
                         .arg(CALL_TIMEOUT_MS / 1000)
                   : tr("morvane-pwm did not answer within %1 s").arg(CALL_TIMEOUT_MS / 1000));
    return Answer::failure(tr("morvane-pwm did not answer (%1)")
                               .arg(failure.message().isEmpty() ? failure.name() : failure.message()));
}

Answer DbusAccess::refresh()
{
    QVariantMap properties;
    const Answer read = read_all(&properties);
    take(properties);
    return read;
}

Answer DbusAccess::read_all(QVariantMap *properties) const
{
    QDBusPendingReply<QVariantMap> reply = bus_.asyncCall(get_all(program_), CALL_TIMEOUT_MS);
    reply.waitForFinished();
    if (reply.isError())
        return Answer::failure(tr("morvane-pwm did not answer (%1)").arg(reply.error().message()));
    *properties = reply.value();
    return {};
}

void DbusAccess::read_old_object(bool older_program)
{
    QVariantMap properties;
    if (const Answer read = read_all(&properties); !read.ok()) {
        unanswered_ = read.problem; // it is there: the controller is its, not ours to open
        return;
    }
    take(properties);
    // An older program serves its one controller at the old object only.
    if (older_program && status_.connected)
        served_.push_back({PATH, status_.identity, status_.serial, properties});
}

QDBusMessage DbusAccess::get_all(const QString &destination) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(destination, path_, PROPERTIES, QStringLiteral("GetAll"));
    message << QString::fromLatin1(ControllerProxy::staticInterfaceName());
    return message;
}

void DbusAccess::take(const QVariantMap &properties)
{
    const auto value = [&properties](const char *name, auto *out) {
        const auto found = properties.constFind(QLatin1String(name));
        if (found != properties.cend())
            *out = found->value<std::remove_pointer_t<decltype(out)>>();
    };
    const auto mode = [&properties](const char *name, RegulationMode *out) {
        const auto found = properties.constFind(QLatin1String(name));
        if (found != properties.cend())
            *out = found->toString() == bus_names::regulation_mode_name(RegulationMode::manual)
                ? RegulationMode::manual
                : RegulationMode::automatic;
    };
    value("Connected", &status_.connected);
    value("Identified", &status_.identified);
    value("ConfigurationLoaded", &status_.loaded);
    value("Answering", &status_.answering);
    if (const auto since = properties.constFind(QStringLiteral("SilentSince")); since != properties.cend())
        status_.silent_since = QDateTime::fromString(since->toString(), Qt::ISODate);
    value("EditsPending", &status_.edits_pending);
    value("LightReading", &status_.light);
    value("PwmWidth", &status_.pwm_width);
    value("ManualLevel", &status_.manual_level);
    value("Holder", &status_.holder);
    value("Id", &status_.identity);
    value("Serial", &status_.serial);
    mode("RegulationMode", &status_.mode);
    mode("WantedMode", &status_.wanted_mode);
    status_.brightness_width = int(status_.pwm_width);
}

// GetManagedObjects' answer, a{oa{sa{sv}}}: the controllers' objects, in the
// order of their ids.
void DbusAccess::take_objects(const QDBusArgument &objects)
{
    const QString interface = QLatin1String(ControllerProxy::staticInterfaceName());
    objects.beginMap();
    while (!objects.atEnd()) {
        QDBusObjectPath path;
        QMap<QString, QVariantMap> interfaces;
        objects.beginMapEntry();
        objects >> path >> interfaces;
        objects.endMapEntry();
        // The old object stands for one of them, never for one more.
        if (const auto found = interfaces.constFind(interface); found != interfaces.cend() && path.path() != PATH)
            served_.push_back({path.path(), found->value(QStringLiteral("Id")).toString(),
                               found->value(QStringLiteral("Serial")).toString(), *found});
    }
    objects.endMap();
    std::sort(served_.begin(), served_.end(), [](const Served &a, const Served &b) { return a.id < b.id; });
}
