#pragma once

#include "bus_names.h"
#include "model/controller_thread.h"
#include "protocol/pwm_percent.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

// The controller on D-Bus: what the generated ControllerAdaptor reads and
// calls. Properties are the one status value under the interface's names;
// methods hand the call to the model and reply once its Outcome arrives
// (delayed replies), so neither the bus nor the GUI thread waits for the
// controller. Every refusal is the model's, answered with the error the
// shared table names and the outcome's wording.
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

public:
    static constexpr const char *SERVICE_NAME = bus_names::SERVICE_NAME;
    static constexpr const char *OBJECT_PATH = bus_names::OBJECT_PATH;
    static constexpr const char *INTERFACE_NAME = bus_names::INTERFACE_NAME;

    explicit ControllerService(ControllerThread &controller, QObject *parent = nullptr);

    // Serves the interface on `bus` under SERVICE_NAME. Returns false, with
    // the reason in *error and nothing left registered, when the bus is not
    // there or another process holds the name.
    bool publish(QDBusConnection bus, QString *error);

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

    // The interface's methods, called by the adaptor.
    QString GetConfiguration();
    void ApplyConfiguration(const QString &json);
    void SetManual(bool manual);
    void SetManualLevel(uint level);
    void StepUp();
    void StepDown();

signals:
    // StepUp or StepDown was refused: its caller (a key binding, most
    // likely) has no terminal to say so.
    void step_refused(Refusal refusal);

private:
    void step(int direction);
    const ControllerStatus &status() const { return controller_.status(); }
    // Takes over the reply to the call under way: it goes out once the
    // returned reply gets the outcome, carrying `result()` when done.
    ControllerThread::Reply reply_later(std::function<QVariantList()> result = {});
    QVariantMap property_values() const;
    void publish_changes();

    ControllerThread &controller_;
    QDBusConnection bus_;
    QVariantMap published_; // the values the last PropertiesChanged announced
    // Collects the status changes of one turn of the event loop into one
    // PropertiesChanged.
    QTimer publish_timer_;
};
