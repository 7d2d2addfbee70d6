#pragma once

#include "protocol/commands.h"
#include "protocol/config_block.h"

#include <QObject>
#include <QString>

// What the client shows of the controller.
struct ControllerStatus
{
    bool connected = false;
    bool identified = false;
    bool config_loaded = false;
    unsigned light_reading = 0;
    unsigned pwm_width = 0;
    RegulationMode mode = RegulationMode::automatic; // as the controller last reported it
    unsigned manual_level = 0;
    bool edits_pending = false; // the window holds edits it has not applied

    bool operator==(const ControllerStatus &other) const
    {
        return connected == other.connected && identified == other.identified
               && config_loaded == other.config_loaded && light_reading == other.light_reading
               && pwm_width == other.pwm_width && mode == other.mode && manual_level == other.manual_level
               && edits_pending == other.edits_pending;
    }
    bool operator!=(const ControllerStatus &other) const { return !(*this == other); }
};

// The client's exit codes.
enum class Outcome {
    done = 0,
    failed = 1,        // a message on stderr says why
    usage = 2,
    no_controller = 3,
};

// The controller as the client reaches it: through the running program or
// directly. Every operation needs a successful open() first; those that
// fail return their outcome and set *error to a sentence for the user.
class ControllerAccess : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Names the way in, for --json output: "program" or "direct".
    virtual QString route() const = 0;

    // Reaches a controller that is identified and has its configuration loaded.
    virtual Outcome open(QString *error) = 0;
    virtual ControllerStatus status() = 0;
    // The configuration as the controller holds it (bytes 5..36; 0..4 the live state).
    virtual Outcome configuration(ConfigBlock *config, QString *error) = 0;
    // Writes bytes 5..36 of `config`; bytes 0..4 go as the controller last reported them.
    virtual Outcome apply_configuration(const ConfigBlock &config, QString *error) = 0;
    virtual Outcome set_manual(bool manual, QString *error) = 0;
    virtual Outcome set_manual_level(int level, QString *error) = 0; // only in manual regulation
    virtual Outcome step(int direction, QString *error) = 0;         // +1 up, -1 down, by the hot keys' step

    // From now on, emits status_changed() on every change of status() until
    // ended() (the controller's owner went away).
    virtual void watch() = 0;

signals:
    void status_changed();
    void ended(const QString &reason);
};
