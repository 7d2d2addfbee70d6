#include "controller_service.h"

#include "controller_adaptor.h"
#include "model/config_file.h"

#include <QDBusMessage>
#include <QMetaProperty>

using bus_names::ERROR_PREFIX;
using bus_names::regulation_mode_name;

// The texts below are for scripts and morvane-pwmctl, in English like the
// interface's names; the window's translations do not cover them.
static const char NOT_LOADED[] = "The controller has not been identified and loaded yet: nothing was sent to it.";

ControllerService::ControllerService(Controller &controller, QObject *parent)
    : QObject(parent), controller(controller), bus(QString())
{
    new ControllerAdaptor(this);
    published = property_values();

    publish_timer.setSingleShot(true);
    publish_timer.setInterval(0);
    connect(&publish_timer, &QTimer::timeout, this, &ControllerService::publish_changes);
    const auto schedule_publish = [this] { publish_timer.start(); };
    connect(&controller, &Controller::connected_changed, this, schedule_publish);
    connect(&controller, &Controller::identified_changed, this, schedule_publish);
    connect(&controller, &Controller::configuration_loaded, this, schedule_publish);
    connect(&controller, &Controller::status_changed, this, schedule_publish);
    connect(&controller, &Controller::manual_level_changed, this, schedule_publish);
    connect(&controller, &Controller::edits_pending_changed, this, schedule_publish);

    mode_timer.setSingleShot(true);
    mode_timer.setInterval(MODE_SWITCH_MS);
    connect(&mode_timer, &QTimer::timeout, this, &ControllerService::answer_mode_calls);
    connect(&controller, &Controller::status_changed, this, &ControllerService::answer_mode_calls);
    connect(&controller, &Controller::connected_changed, this, &ControllerService::answer_mode_calls);
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
    bus = on;
    return true;
}

QString ControllerService::regulation_mode() const
{
    return regulation_mode_name(controller.controller_mode());
}

QString ControllerService::GetConfiguration()
{
    if (refused_unless_loaded())
        return QString();
    return QString::fromUtf8(config_to_json(controller.stored_config(), supported_controller()));
}

void ControllerService::ApplyConfiguration(const QString &json)
{
    if (refused_unless_loaded())
        return;
    // What the user typed in the window is not replaced behind their back.
    if (controller.edits_pending())
        return refuse("EditsPending", QStringLiteral("The window holds edits that were not applied: "
                                                     "apply them there first. Nothing was written."));
    if (json.size() > CONFIG_DOCUMENT_MAX_SIZE)
        return refuse("InvalidConfiguration", QStringLiteral("The document has %1 characters; a configuration "
                                                             "has at most %2. Nothing was written.")
                                                  .arg(json.size())
                                                  .arg(CONFIG_DOCUMENT_MAX_SIZE));
    ConfigBlock config = controller.stored_config();
    QString why;
    if (!config_from_json(json.toUtf8(), &config, &why))
        return refuse("InvalidConfiguration", why);
    // The write blocks the window for one exchange; callers in a hurry wait
    // for the window's next poll tick.
    if (since_write.isValid() && since_write.elapsed() < Controller::POLL_MS)
        return refuse("Busy", QStringLiteral("The controller is busy with the previous write: try again in a "
                                             "moment. Nothing was written."));

    const Outcome result = controller.apply_config(config, ChangeSource::dbus);
    since_write.start();
    if (result.kind == Outcome::Kind::not_confirmed)
        return refuse("NotConfirmed",
                      QStringLiteral("The configuration was sent, but the controller did not confirm it."));
    if (!result.ok())
        return refuse("NotLoaded", QLatin1String(NOT_LOADED));
}

// Answered once the controller reports the mode, so that a script's next
// call (StepUp, say) finds it switched.
void ControllerService::SetManual(bool manual)
{
    if (refused_unless_loaded())
        return;
    const RegulationMode mode = manual ? RegulationMode::manual : RegulationMode::automatic;
    controller.set_wanted_mode(mode, ChangeSource::dbus);
    if (controller.controller_mode() == mode)
        return;
    setDelayedReply(true);
    mode_calls.append({message(), mode});
    mode_timer.start();
}

void ControllerService::answer_mode_calls()
{
    const bool settled = !connected() || controller.controller_mode() == controller.wanted_mode();
    if (mode_calls.isEmpty() || (!settled && mode_timer.isActive()))
        return;
    for (const ModeCall &waiting : std::as_const(mode_calls)) {
        if (!connected())
            bus.send(waiting.call.createErrorReply(QLatin1String(ERROR_PREFIX) + "NotConnected",
                                                   QStringLiteral("The controller went away before it switched.")));
        else if (controller.controller_mode() == waiting.mode)
            bus.send(waiting.call.createReply());
        else // still switching after MODE_SWITCH_MS, or switched back by a later call or the window
            bus.send(waiting.call.createErrorReply(
                QLatin1String(ERROR_PREFIX) + "NotConfirmed",
                QStringLiteral("The controller did not switch to %1 regulation.").arg(regulation_mode_name(waiting.mode))));
    }
    mode_calls.clear();
    mode_timer.stop();
}

void ControllerService::SetManualLevel(uint level)
{
    if (level > uint(PWM_FULL_SCALE))
        return refuse("OutOfRange",
                      QStringLiteral("level %1 is out of range: 0..%2.").arg(level).arg(PWM_FULL_SCALE));
    if (refused_unless_loaded())
        return;
    if (controller.wanted_mode() != RegulationMode::manual)
        return refuse("NotManual", QStringLiteral("Manual regulation is off: switch it on first."));
    controller.set_manual_level(int(level), ChangeSource::dbus);
}

void ControllerService::step(int by)
{
    if (refused_unless_loaded())
        return;
    if (controller.controller_mode() != RegulationMode::manual)
        return refuse("NotManual",
                      QStringLiteral("The controller is not in manual regulation: switch it on first."));
    if (controller.pwm_width_step(by, ChangeSource::dbus) != Refusal::none)
        refuse("Busy",
               QStringLiteral("The controller is busy loading its configuration: try again in a moment."));
}

bool ControllerService::refused_unless_loaded()
{
    if (!controller.connected())
        refuse("NotConnected", QStringLiteral("No controller is connected."));
    else if (!controller.identified() || !controller.config_loaded())
        refuse("NotLoaded", QLatin1String(NOT_LOADED));
    else
        return false;
    return true;
}

void ControllerService::refuse(const char *name, const QString &message)
{
    sendErrorReply(QLatin1String(ERROR_PREFIX) + QLatin1String(name), message);
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
        if (published.value(value.key()) != value.value())
            changed.insert(value.key(), value.value());
    }
    published = now;
    if (changed.isEmpty() || !bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(OBJECT_PATH),
                                                     QLatin1String(bus_names::PROPERTIES_INTERFACE),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(INTERFACE_NAME) << changed << QStringList();
    bus.send(signal);
}
