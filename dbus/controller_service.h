#pragma once

#include "bus_names.h"
#include "bus_watches.h"
#include "model/controller_registry.h"
#include "model/controller_thread.h"
#include "protocol/pwm_percent.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

// A controller on D-Bus: what the generated ControllerAdaptor reads and
// calls. Properties are the one status value under the interface's names;
// methods hand the call to the model and reply once its Outcome arrives
// (delayed replies), so neither the bus nor the GUI thread waits for the
// controller. Every refusal is the model's, answered with the error the
// shared table names and the outcome's wording.
//
// Either bound to one controller for good (its own object), or the old
// object that follows the registry's only(): with several present it has
// no controller, refuses every method as several_controllers and its
// properties read as with no controller.
class ControllerService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_PROPERTY(bool Connected READ connected)
    Q_PROPERTY(bool Identified READ identified)
    Q_PROPERTY(bool ConfigurationLoaded READ configuration_loaded)
    Q_PROPERTY(bool Answering READ answering)
    Q_PROPERTY(QString SilentSince READ silent_since)
    Q_PROPERTY(uint LightReading READ light_reading)
    Q_PROPERTY(uint PwmWidth READ pwm_width)
    Q_PROPERTY(uint BrightnessPercent READ brightness_percent)
    Q_PROPERTY(QString RegulationMode READ regulation_mode)
    Q_PROPERTY(QString WantedMode READ wanted_mode)
    Q_PROPERTY(uint ManualLevel READ manual_level)
    Q_PROPERTY(bool EditsPending READ edits_pending)
    Q_PROPERTY(QString Holder READ holder)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Serial READ serial)

public:
    static constexpr const char *SERVICE_NAME = bus_names::SERVICE_NAME;
    static constexpr const char *OBJECT_PATH = bus_names::OBJECT_PATH;
    static constexpr const char *INTERFACE_NAME = bus_names::INTERFACE_NAME;

    // `controller`'s own object at `path`.
    ControllerService(ControllerThread &controller, const QString &path, QObject *parent = nullptr);
    // The object at OBJECT_PATH for registry.only().
    explicit ControllerService(ControllerRegistry &registry, QObject *parent = nullptr);

    const QString &path() const { return path_; }
    // Serves the object at path() on `bus` (the bus name is the caller's);
    // false when that path is taken.
    bool register_on(QDBusConnection bus);
    void unregister();
    // Every property by its D-Bus name, as Get reads it.
    QVariantMap property_values() const;

    bool connected() const { return status().connected; }
    bool identified() const { return status().identified; }
    bool configuration_loaded() const { return status().loaded; }
    bool answering() const { return status().answering; }
    QString silent_since() const { return status().silent_since.toString(Qt::ISODate); }
    uint light_reading() const { return status().light; }
    uint pwm_width() const { return status().pwm_width; }
    uint brightness_percent() const { return uint(pwm_percent(int(status().pwm_width))); }
    QString regulation_mode() const { return bus_names::regulation_mode_name(status().mode); }
    QString wanted_mode() const { return bus_names::regulation_mode_name(status().wanted_mode); }
    uint manual_level() const { return uint(status().manual_level); }
    bool edits_pending() const { return status().edits_pending; }
    QString holder() const { return status().holder; }
    QString id() const { return controller_ ? controller_->identity().id : QString(); }
    QString serial() const { return controller_ ? controller_->identity().serial : QString(); }

    // The interface's methods, called by the adaptor.
    QString GetConfiguration();
    void ApplyConfiguration(const QString &json);
    void SetManual(bool manual);
    void SetManualLevel(uint level);
    void StepUp();
    void StepDown();
    void Watch();
    void Unwatch();
    void StartCouplingMeasurement();
    void CancelCouplingMeasurement();

signals:
    // The interface's signals, relayed by the adaptor.
    void CouplingProgress(uint step, uint steps);
    void CouplingFinished(const QString &json);

    // StepUp or StepDown was refused: its caller (a key binding, most
    // likely) has no terminal to say so.
    void step_refused(Refusal refusal);
    // Watch or Unwatch from the bus name `caller` (see BusWatches).
    void watch_asked(const QString &caller);
    void unwatch_asked(const QString &caller);

private:
    ControllerService(ControllerThread *controller, const QString &path, QObject *parent);
    void bind(ControllerThread *controller);
    void step(int direction);
    const ControllerStatus &status() const;
    // The old object follows registry.only() (nullptr: several present).
    void follow_registry();
    // Answers the call under way as several_controllers when this object has
    // no controller; false when it has one.
    bool refused_as_several();
    // Takes over the reply to the call under way: it goes out once the
    // returned reply gets the outcome, carrying `result()` when done.
    ControllerThread::Reply reply_later(std::function<QVariantList()> result = {});
    void publish_changes();
    // The measurement `caller` started on `controller` ends, cancelled, when
    // the caller leaves the bus first.
    void follow_measurement(const QString &caller, ControllerThread *controller);
    void stop_following_measurement();

    ControllerRegistry *registry_ = nullptr; // the old object's, which follows it
    ControllerThread *controller_ = nullptr; // nullptr only for the old object with several present
    QList<QMetaObject::Connection> bound_; // to controller_'s signals
    // Who started the measurement under way through this object, and on
    // which controller (the old object may follow another meanwhile).
    CallerLeaving caller_leaving_;
    QString measuring_caller_;
    QPointer<ControllerThread> measured_;
    QMetaObject::Connection measured_end_;
    QString path_;
    QDBusConnection bus_;
    QVariantMap published_; // the values the last PropertiesChanged announced
    // Collects the status changes of one turn of the event loop into one
    // PropertiesChanged.
    QTimer publish_timer_;
};
