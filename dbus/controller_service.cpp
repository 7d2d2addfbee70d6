#include "controller_service.h"

#include "controller_adaptor.h"
#include "model/config_file.h"
#include "model/outcome_text.h"

#include <QDBusMessage>
#include <QMetaProperty>
#include <QPointer>

#include <algorithm>

ControllerService::ControllerService(ControllerThread &controller, QObject *parent)
    : QObject(parent)
    , controller_(controller)
    , bus_(QString())
{
    new ControllerAdaptor(this);
    published_ = property_values();

    publish_timer_.setSingleShot(true);
    publish_timer_.setInterval(0);
    connect(&publish_timer_, &QTimer::timeout, this, &ControllerService::publish_changes);
    connect(&controller_, &ControllerThread::status_changed, this, [this] { publish_timer_.start(); });
}

bool ControllerService::publish(QDBusConnection on, QString *error)
{
    if (!on.isConnected()) {
        *error = on.lastError().message();
        return false;
    }
    if (!on.registerObject(QLatin1String(OBJECT_PATH), this)) {
        *error = QStringLiteral("the object %1 is already registered").arg(QLatin1String(OBJECT_PATH));
        return false;
    }
    if (!on.registerService(QLatin1String(SERVICE_NAME))) {
        *error = QStringLiteral("another process holds the name %1").arg(QLatin1String(SERVICE_NAME));
        on.unregisterObject(QLatin1String(OBJECT_PATH));
        return false;
    }
    bus_ = on;
    return true;
}

// The reply captures no pointer to this object: the model may answer after
// the service is gone (the program ending). The ControllerThread outlives
// every reply it delivers.
ControllerThread::Reply ControllerService::reply_later(std::function<QVariantList()> result)
{
    setDelayedReply(true);
    const ControllerThread *controller = &controller_;
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
    const ControllerThread *controller = &controller_;
    controller_.when_loaded(reply_later([controller] {
        return QVariantList{QString::fromUtf8(config_to_json(controller->applied_config(), supported_controller()))};
    }));
    return QString();
}

void ControllerService::ApplyConfiguration(const QString &json)
{
    // Measured before conversion: a huge string costs nothing more.
    if (json.size() > CONFIG_DOCUMENT_MAX_SIZE)
        return sendErrorReply(QLatin1String(bus_names::INVALID_CONFIGURATION),
                              QStringLiteral("The document has %1 characters; a configuration has at most %2. "
                                             "Nothing was sent to the controller.")
                                  .arg(json.size())
                                  .arg(CONFIG_DOCUMENT_MAX_SIZE));
    ConfigBlock config = controller_.applied_config();
    QString why;
    if (!config_from_json(json.toUtf8(), &config, &why))
        return sendErrorReply(QLatin1String(bus_names::INVALID_CONFIGURATION), why);
    controller_.apply(config, ChangeSource::dbus, reply_later());
}

void ControllerService::SetManual(bool manual)
{
    controller_.set_manual(manual, ChangeSource::dbus, reply_later());
}

// A level beyond int stays beyond the range: the model refuses it.
void ControllerService::SetManualLevel(uint level)
{
    controller_.set_manual_level(int(std::min(level, uint(PWM_FULL_SCALE) + 1)), ChangeSource::dbus, reply_later());
}

void ControllerService::StepUp()
{
    step(+1);
}

void ControllerService::StepDown()
{
    step(-1);
}

void ControllerService::step(int direction)
{
    QPointer<ControllerService> self(this);
    controller_.step(direction, ChangeSource::dbus, [answer = reply_later(), self](const Outcome &outcome) {
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
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(OBJECT_PATH),
                                                     QLatin1String(bus_names::PROPERTIES_INTERFACE),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(INTERFACE_NAME) << changed << QStringList();
    bus_.send(signal);
}
