#include "dbus_access.h"

#include "dbus/bus_names.h"
#include "model/config_file.h"

#include <QDBusArgument>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDeadlineTimer>
#include <QThread>

namespace {

const QString SERVICE = QLatin1String(bus_names::SERVICE_NAME);
const QString PATH = QLatin1String(bus_names::OBJECT_PATH);
const QString ERROR_PREFIX = QLatin1String(bus_names::ERROR_PREFIX);
const QString PROPERTIES = QLatin1String(bus_names::PROPERTIES_INTERFACE);
// The program answers within one exchange with the controller (at most
// twice its 3 s time-out); a program that hangs is not waited for longer.
constexpr int CALL_TIMEOUT_MS = 8000;
// How long a call the program finds busy is asked again, and how often.
constexpr int BUSY_WAIT_MS = 3000;
constexpr int BUSY_RETRY_MS = 60;

} // namespace

std::unique_ptr<DbusAccess> DbusAccess::find_program(const QDBusConnection &bus)
{
    if (!bus.isConnected())
        return nullptr;
    // The first GetAll goes to the well-known name and its reply names the
    // program, so that finding it costs no round trip of its own.
    const QDBusMessage reply = bus.call(get_all(SERVICE), QDBus::Block, CALL_TIMEOUT_MS);
    if (reply.type() == QDBusMessage::ErrorMessage
        && (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
            || reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")))
        return nullptr;
    const bool answered = reply.type() == QDBusMessage::ReplyMessage;
    std::unique_ptr<DbusAccess> found(new DbusAccess(bus, answered ? reply.service() : SERVICE));
    if (answered)
        found->take(qdbus_cast<QVariantMap>(reply.arguments().value(0)));
    else // it is there but does not answer: the controller is its, not ours to open
        found->unanswered_ = tr("morvane-pwm did not answer: %1").arg(reply.errorMessage());
    return found;
}

DbusAccess::DbusAccess(const QDBusConnection &bus, const QString &program)
    : bus_(bus)
    , program_(program)
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
        proxy_ = std::make_unique<ControllerProxy>(program_, PATH, bus_);
        proxy_->setTimeout(CALL_TIMEOUT_MS);
    }
    return *proxy_;
}

Outcome DbusAccess::open(QString *error)
{
    // The status was read when the program was found.
    if (!unanswered_.isEmpty()) {
        *error = unanswered_;
        return Outcome::failed;
    }
    if (!status_.connected) {
        *error = tr("no controller found (morvane-pwm is running and sees none)");
        return Outcome::no_controller;
    }
    return Outcome::done;
}

Outcome DbusAccess::configuration(ConfigBlock *config, QString *error)
{
    QDBusPendingReply<QString> reply;
    if (const Outcome outcome = call([&] { return reply = proxy().GetConfiguration(); }, error);
        outcome != Outcome::done)
        return outcome;
    if (!config_from_json_as_reported(reply.value().toUtf8(), config, error)) {
        *error = tr("morvane-pwm sent a configuration this client cannot read: %1").arg(*error);
        return Outcome::failed;
    }
    return Outcome::done;
}

Outcome DbusAccess::apply_configuration(const ConfigBlock &config, QString *error)
{
    const QString document = QString::fromUtf8(config_to_json(config, supported_controller()));
    return call([&] { return proxy().ApplyConfiguration(document); }, error);
}

// The program answers SetManual once the controller reports the new mode.
Outcome DbusAccess::set_manual(bool manual, QString *error)
{
    return regulate([&] { return proxy().SetManual(manual); }, error);
}

Outcome DbusAccess::set_manual_level(int level, QString *error)
{
    return regulate([&] { return proxy().SetManualLevel(uint(level)); }, error);
}

Outcome DbusAccess::step(int direction, QString *error)
{
    return regulate([&] { return direction > 0 ? proxy().StepUp() : proxy().StepDown(); }, error);
}

void DbusAccess::watch()
{
    bus_.connect(program_, PATH, PROPERTIES, QStringLiteral("PropertiesChanged"), this,
                SLOT(properties_changed(QString, QVariantMap, QStringList)));
    auto *watcher = new QDBusServiceWatcher(SERVICE, bus_, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { emit ended(tr("morvane-pwm has ended")); });
    // A change between the last read and the subscription would be missed.
    QString error;
    if (refresh(&error) != Outcome::done)
        QMetaObject::invokeMethod(this, [this, error] { emit ended(error); }, Qt::QueuedConnection);
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

Outcome DbusAccess::call(const std::function<QDBusPendingCall()> &make_call, QString *error)
{
    // The program turns a call away as busy while its previous write or a
    // load is under way, for about one poll tick: ask again, for a while.
    const QDeadlineTimer deadline(BUSY_WAIT_MS);
    for (;;) {
        QDBusPendingCall pending = make_call();
        pending.waitForFinished();
        if (pending.error().name() != ERROR_PREFIX + QLatin1String("Busy") || deadline.hasExpired())
            return finished(pending, error);
        QThread::msleep(BUSY_RETRY_MS);
    }
}

// What the client shows after a change of regulation is the status that followed it.
Outcome DbusAccess::regulate(const std::function<QDBusPendingCall()> &make_call, QString *error)
{
    const Outcome outcome = call(make_call, error);
    return outcome == Outcome::done ? refresh(error) : outcome;
}

Outcome DbusAccess::finished(const QDBusPendingCall &call, QString *error)
{
    const QDBusError failure = call.error();
    if (!failure.isValid())
        return Outcome::done;
    *error = failure.message().isEmpty() ? failure.name() : failure.message();
    if (failure.name() == ERROR_PREFIX + QLatin1String("NotConnected"))
        return Outcome::no_controller;
    if (!failure.name().startsWith(ERROR_PREFIX))
        *error = tr("morvane-pwm did not answer: %1").arg(*error);
    return Outcome::failed;
}

Outcome DbusAccess::refresh(QString *error)
{
    QDBusPendingReply<QVariantMap> reply = bus_.asyncCall(get_all(program_), CALL_TIMEOUT_MS);
    reply.waitForFinished();
    if (reply.isError()) {
        *error = tr("morvane-pwm did not answer: %1").arg(reply.error().message());
        return Outcome::failed;
    }
    take(reply.value());
    return Outcome::done;
}

QDBusMessage DbusAccess::get_all(const QString &destination)
{
    QDBusMessage message = QDBusMessage::createMethodCall(destination, PATH, PROPERTIES, QStringLiteral("GetAll"));
    message << QString::fromLatin1(ControllerProxy::staticInterfaceName());
    return message;
}

void DbusAccess::take(const QVariantMap &properties)
{
    const auto flag = [&properties](const char *name, bool *out) {
        if (properties.contains(QLatin1String(name)))
            *out = properties.value(QLatin1String(name)).toBool();
    };
    const auto number = [&properties](const char *name, unsigned *out) {
        if (properties.contains(QLatin1String(name)))
            *out = properties.value(QLatin1String(name)).toUInt();
    };
    flag("Connected", &status_.connected);
    flag("Identified", &status_.identified);
    flag("ConfigurationLoaded", &status_.config_loaded);
    flag("EditsPending", &status_.edits_pending);
    number("LightReading", &status_.light_reading);
    number("PwmWidth", &status_.pwm_width);
    number("ManualLevel", &status_.manual_level);
    if (properties.contains(QStringLiteral("RegulationMode")))
        status_.mode = properties.value(QStringLiteral("RegulationMode")).toString()
                               == bus_names::regulation_mode_name(RegulationMode::manual)
                           ? RegulationMode::manual
                           : RegulationMode::automatic;
}
