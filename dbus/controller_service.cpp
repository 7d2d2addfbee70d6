#include "controller_service.h"

#include "controller_adaptor.h"
#include "model/config_file.h"
#include "model/coupling_result.h"
#include "model/outcome_text.h"

#include <QDBusMessage>
#include <QMetaProperty>
#include <QPointer>

#include <algorithm>

ControllerService::ControllerService(ControllerThread &controller, const QString &path, QObject *parent)
    : ControllerService(&controller, path, parent)
{
}

ControllerService::ControllerService(ControllerRegistry &registry, QObject *parent)
    : ControllerService(registry.only(), QLatin1String(OBJECT_PATH), parent)
{
    registry_ = &registry;
    connect(&registry, &ControllerRegistry::present_changed, this, &ControllerService::follow_registry);
    // In the signal itself: a controller that went may be deleted next.
    connect(&registry, &ControllerRegistry::controller_removed, this, &ControllerService::follow_registry);
}

ControllerService::ControllerService(ControllerThread *controller, const QString &path, QObject *parent)
    : QObject(parent)
    , path_(path)
    , bus_(QString())
{
    new ControllerAdaptor(this);
    publish_timer_.setSingleShot(true);
    publish_timer_.setInterval(0);
    connect(&publish_timer_, &QTimer::timeout, this, &ControllerService::publish_changes);
    connect(&caller_leaving_, &CallerLeaving::left, this, [this](const QString &caller) {
        if (caller == measuring_caller_ && measured_)
            measured_->cancel_coupling();
    });
    bind(controller);
    published_ = property_values();
}

void ControllerService::bind(ControllerThread *controller)
{
    for (const QMetaObject::Connection &connection : std::as_const(bound_))
        disconnect(connection);
    bound_.clear();
    controller_ = controller;
    if (!controller_)
        return;
    bound_ << connect(controller_, &ControllerThread::status_changed, this, [this] {
        // Off the bus nobody hears a change: the properties are not read for it.
        if (bus_.isConnected())
            publish_timer_.start();
    });
    bound_ << connect(controller_, &ControllerThread::coupling_progress, this,
                      [this](int step, int steps) { emit CouplingProgress(uint(step), uint(steps)); });
    bound_ << connect(controller_, &ControllerThread::coupling_finished, this, [this](const CouplingResult &result) {
        emit CouplingFinished(QString::fromUtf8(coupling_json(result)));
    });
}

void ControllerService::follow_registry()
{
    if (registry_->only() == controller_)
        return;
    bind(registry_->only());
    publish_timer_.start();
}

const ControllerStatus &ControllerService::status() const
{
    static const ControllerStatus none;
    return controller_ ? controller_->status() : none;
}

bool ControllerService::register_on(QDBusConnection bus)
{
    if (!bus.registerObject(path_, this))
        return false;
    bus_ = bus;
    caller_leaving_.set_bus(bus);
    published_ = property_values();
    return true;
}

void ControllerService::unregister()
{
    if (bus_.isConnected())
        bus_.unregisterObject(path_);
    bus_ = QDBusConnection(QString());
}

bool ControllerService::refused_as_several()
{
    if (controller_)
        return false;
    const Outcome several = Outcome::refused(Refusal::several_controllers);
    QStringList ids;
    for (const ControllerThread *present : registry_->present())
        ids << present->identity().id;
    sendErrorReply(bus_names::error_name(several), outcome_text(several, QString(), ids));
    return true;
}

// The reply captures no pointer to this object: the model may answer after
// the service is gone (the program ending). The ControllerThread outlives
// every reply it delivers.
ControllerThread::Reply ControllerService::reply_later(std::function<QVariantList()> result)
{
    setDelayedReply(true);
    const ControllerThread *controller = controller_;
    return [controller, bus = connection(), call = message(), result = std::move(result)](const Outcome &outcome) {
        if (outcome.ok())
            bus.send(call.createReply(result ? result() : QVariantList()));
        else
            bus.send(call.createErrorReply(bus_names::error_name(outcome),
                                           outcome_text(outcome, controller->status().holder)));
    };
}

// Waits for a load under way (right after plug-in) rather than failing.
QString ControllerService::GetConfiguration()
{
    if (refused_as_several())
        return QString();
    const ControllerThread *controller = controller_;
    controller_->when_loaded(reply_later([controller] {
        return QVariantList{QString::fromUtf8(config_to_json(controller->applied_config(), supported_controller()))};
    }));
    return QString();
}

void ControllerService::ApplyConfiguration(const QString &json)
{
    if (refused_as_several())
        return;
    // Measured before conversion: a huge string costs nothing more.
    if (json.size() > CONFIG_DOCUMENT_MAX_SIZE)
        return sendErrorReply(QLatin1String(bus_names::INVALID_CONFIGURATION),
                              QStringLiteral("The document has %1 characters; a configuration has at most %2. "
                                             "Nothing was sent to the controller.")
                                  .arg(json.size())
                                  .arg(CONFIG_DOCUMENT_MAX_SIZE));
    ConfigBlock config = controller_->applied_config();
    QString why;
    if (!config_from_json(json.toUtf8(), &config, &why))
        return sendErrorReply(QLatin1String(bus_names::INVALID_CONFIGURATION), why);
    controller_->apply(config, ChangeSource::dbus, reply_later());
}

void ControllerService::SetManual(bool manual)
{
    if (refused_as_several())
        return;
    controller_->set_manual(manual, ChangeSource::dbus, reply_later());
}

// A level beyond int stays beyond the range: the model refuses it.
void ControllerService::SetManualLevel(uint level)
{
    if (refused_as_several())
        return;
    controller_->set_manual_level(int(std::min(level, uint(PWM_FULL_SCALE) + 1)), ChangeSource::dbus, reply_later());
}

void ControllerService::StepUp()
{
    step(+1);
}

void ControllerService::StepDown()
{
    step(-1);
}

// A watch is the program's, whichever object it was asked of.
void ControllerService::Watch()
{
    if (calledFromDBus())
        emit watch_asked(message().service());
}

void ControllerService::Unwatch()
{
    if (calledFromDBus())
        emit unwatch_asked(message().service());
}

// Answered once the model took it or refused it; the measurement's caller
// is followed from then on.
void ControllerService::StartCouplingMeasurement()
{
    if (refused_as_several())
        return;
    QPointer<ControllerService> self(this);
    QPointer<ControllerThread> controller(controller_);
    const QString caller = calledFromDBus() ? message().service() : QString();
    controller_->start_coupling([answer = reply_later(), self, controller, caller](const Outcome &outcome) {
        answer(outcome);
        if (self && controller && outcome.ok() && !caller.isEmpty())
            self->follow_measurement(caller, controller);
    });
}

void ControllerService::CancelCouplingMeasurement()
{
    if (!refused_as_several())
        controller_->cancel_coupling();
}

void ControllerService::follow_measurement(const QString &caller, ControllerThread *controller)
{
    stop_following_measurement();
    measuring_caller_ = caller;
    measured_ = controller;
    measured_end_ = connect(controller, &ControllerThread::coupling_finished, this,
                            &ControllerService::stop_following_measurement);
    caller_leaving_.follow(caller);
}

void ControllerService::stop_following_measurement()
{
    disconnect(measured_end_);
    if (!measuring_caller_.isEmpty())
        caller_leaving_.forget(measuring_caller_);
    measuring_caller_.clear();
    measured_.clear();
}

void ControllerService::step(int direction)
{
    if (refused_as_several()) {
        emit step_refused(Refusal::several_controllers);
        return;
    }
    QPointer<ControllerService> self(this);
    controller_->step(direction, ChangeSource::dbus, [answer = reply_later(), self](const Outcome &outcome) {
        answer(outcome);
        if (self && outcome.kind == Outcome::Kind::refused)
            emit self->step_refused(outcome.refusal);
    });
}

QVariantMap ControllerService::property_values() const
{
    QVariantMap values;
    const QMetaObject &meta = staticMetaObject;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
        values.insert(QLatin1String(meta.property(i).name()), meta.property(i).read(this));
    return values;
}

void ControllerService::publish_changes()
{
    const QVariantMap now = property_values();
    QVariantMap changed;
    for (auto value = now.cbegin(); value != now.cend(); ++value) {
        if (published_.value(value.key()) != value.value())
            changed.insert(value.key(), value.value());
    }
    published_ = now;
    if (changed.isEmpty() || !bus_.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(path_,
                                                     QLatin1String(bus_names::PROPERTIES_INTERFACE),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(INTERFACE_NAME) << changed << QStringList();
    bus_.send(signal);
}
