#pragma once

#include "bus_names.h"
#include "model/controller.h"
#include "protocol/pwm_percent.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

// The controller model on D-Bus: what the generated ControllerAdaptor reads
// and calls. Properties are the model's state under the interface's names;
// methods check what the window would check, forward to the model, and
// answer a refusal with an io.github.morvane.pwm.Error.* reply.
class ControllerService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_PROPERTY(bool Connected READ connected)
    Q_PROPERTY(bool Identified READ identified)
    Q_PROPERTY(bool ConfigurationLoaded READ configuration_loaded)
    Q_PROPERTY(uint LightReading READ light_reading)
    Q_PROPERTY(uint PwmWidth READ pwm_width)
    Q_PROPERTY(uint BrightnessPercent READ brightness_percent)
    Q_PROPERTY(QString RegulationMode READ regulation_mode)
    Q_PROPERTY(uint ManualLevel READ manual_level)
    Q_PROPERTY(bool EditsPending READ edits_pending)

public:
    static constexpr const char *SERVICE_NAME = bus_names::SERVICE_NAME;
    static constexpr const char *OBJECT_PATH = bus_names::OBJECT_PATH;
    static constexpr const char *INTERFACE_NAME = bus_names::INTERFACE_NAME;
    // How long SetManual waits for the controller to report the new mode:
    // one exchange's time bound.
    static constexpr int MODE_SWITCH_MS = 3000;

    explicit ControllerService(Controller &controller, QObject *parent = nullptr);

    // Serves the interface on `bus` under SERVICE_NAME. Returns false, with
    // the reason in *error and nothing left registered, when the bus is not
    // there or another process holds the name.
    bool publish(QDBusConnection bus, QString *error);

    bool connected() const { return controller.connected(); }
    bool identified() const { return controller.identified(); }
    bool configuration_loaded() const { return controller.config_loaded(); }
    uint light_reading() const { return controller.light_reading(); }
    uint pwm_width() const { return controller.pwm_width(); }
    uint brightness_percent() const { return uint(pwm_percent(int(controller.pwm_width()))); }
    QString regulation_mode() const;
    uint manual_level() const { return uint(controller.manual_level()); }
    bool edits_pending() const { return controller.edits_pending(); }

    // The interface's methods, called by the adaptor.
    QString GetConfiguration();
    void ApplyConfiguration(const QString &json);
    void SetManual(bool manual);
    void SetManualLevel(uint level);
    void StepUp() { step(Controller::HOTKEY_PWM_STEP); }
    void StepDown() { step(-Controller::HOTKEY_PWM_STEP); }

private:
    QVariantMap property_values() const;
    void publish_changes();
    // Sends the error reply `io.github.morvane.pwm.Error.<name>`.
    void refuse(const char *name, const QString &message);
    // Refuses unless the controller is identified and loaded on this
    // connection; returns whether it did.
    bool refused_unless_loaded();
    void step(int by);
    // Answers the SetManual calls waiting for the switch once the controller
    // reports the wanted mode, has gone, or MODE_SWITCH_MS have passed.
    void answer_mode_calls();

    Controller &controller;
    QDBusConnection bus;
    QVariantMap published; // the values the last PropertiesChanged announced
    // Collects the model's change signals of one poll tick into one
    // PropertiesChanged.
    QTimer publish_timer;
    // Since the last write the controller confirmed or refused, so that a
    // flood of applies costs the window one exchange per poll period.
    QElapsedTimer since_write;
    struct ModeCall
    {
        QDBusMessage call;
        RegulationMode mode; // what the caller asked for
    };
    QList<ModeCall> mode_calls;
    QTimer mode_timer;
};
