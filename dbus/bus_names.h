#pragma once

#include "model/controller_identity.h"
#include "model/outcome.h"
#include "protocol/commands.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QMap>
#include <QString>
#include <QVariantMap>

// The names under which the program serves the controllers on the session
// bus, shared by the service and the command-line client.
namespace bus_names {

constexpr char SERVICE_NAME[] = "io.github.morvane.pwm";
// The only controller present, and the object manager of the ones below.
constexpr char OBJECT_PATH[] = "/io/github/morvane/pwm";
constexpr char INTERFACE_NAME[] = "io.github.morvane.pwm.Controller";
constexpr char ERROR_PREFIX[] = "io.github.morvane.pwm.Error.";
constexpr char PROPERTIES_INTERFACE[] = "org.freedesktop.DBus.Properties";
constexpr char OBJECT_MANAGER_INTERFACE[] = "org.freedesktop.DBus.ObjectManager";

// Each present controller's own object: its id as an object path element.
inline QString controller_path(const QString &id)
{
    return QLatin1String(OBJECT_PATH) + QLatin1String("/controllers/") + escaped_name(id);
}

// What GetManagedObjects and InterfacesAdded carry: each interface of an
// object with its properties (a{sa{sv}}), and that for each object (a{oa{sa{sv}}}).
using InterfaceProperties = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceProperties>;

// Before the first call or signal that carries them, on either side. Qt
// relays a signal by its parameters' type names, so these names too (the
// object path's is not known by name before its first use otherwise).
inline void register_types()
{
    qRegisterMetaType<QDBusObjectPath>("QDBusObjectPath");
    qDBusRegisterMetaType<InterfaceProperties>();
    qDBusRegisterMetaType<ManagedObjects>();
    qRegisterMetaType<InterfaceProperties>("bus_names::InterfaceProperties");
    qRegisterMetaType<ManagedObjects>("bus_names::ManagedObjects");
}
// A document ApplyConfiguration cannot take; the only error that is no Outcome.
constexpr char INVALID_CONFIGURATION[] = "io.github.morvane.pwm.Error.InvalidConfiguration";

// The error each outcome but done is answered with; the client reads the
// outcome back from it.
struct OutcomeError
{
    Outcome outcome;
    const char *name; // after ERROR_PREFIX
};

constexpr OutcomeError OUTCOME_ERRORS[] = {
    {{Outcome::Kind::refused, Refusal::not_connected}, "NotConnected"},
    {{Outcome::Kind::refused, Refusal::loading}, "NotLoaded"},
    {{Outcome::Kind::refused, Refusal::not_identified}, "NotIdentified"},
    {{Outcome::Kind::refused, Refusal::not_manual}, "NotManual"},
    {{Outcome::Kind::refused, Refusal::out_of_range}, "OutOfRange"},
    {{Outcome::Kind::refused, Refusal::edits_pending}, "EditsPending"},
    {{Outcome::Kind::refused, Refusal::held_elsewhere}, "HeldElsewhere"},
    {{Outcome::Kind::refused, Refusal::busy}, "Busy"},
    {{Outcome::Kind::refused, Refusal::closing}, "Closing"},
    {{Outcome::Kind::refused, Refusal::measuring}, "Measuring"},
    {{Outcome::Kind::refused, Refusal::several_controllers}, "SeveralControllers"},
    {{Outcome::Kind::not_confirmed, Refusal::none}, "NotConfirmed"},
};

// The whole error name for `outcome` (which is not done).
inline QString error_name(const Outcome &outcome)
{
    for (const OutcomeError &entry : OUTCOME_ERRORS)
        if (entry.outcome == outcome)
            return QLatin1String(ERROR_PREFIX) + QLatin1String(entry.name);
    return QString();
}

// The outcome an error reply stands for; false when the name is none of the table's.
inline bool outcome_of_error(const QString &name, Outcome *outcome)
{
    for (const OutcomeError &entry : OUTCOME_ERRORS)
        if (name == QLatin1String(ERROR_PREFIX) + QLatin1String(entry.name)) {
            *outcome = entry.outcome;
            return true;
        }
    return false;
}

// The regulation mode as scripts read it: the RegulationMode and WantedMode
// properties and the client's JSON.
inline QString regulation_mode_name(RegulationMode mode)
{
    return mode == RegulationMode::manual ? QStringLiteral("manual") : QStringLiteral("automatic");
}

} // namespace bus_names
