#pragma once

#include "protocol/commands.h"

#include <QString>

// The names under which the program serves the controller on the session
// bus, shared by the service and the command-line client.
namespace bus_names {

constexpr char SERVICE_NAME[] = "io.github.morvane.pwm";
constexpr char OBJECT_PATH[] = "/io/github/morvane/pwm";
constexpr char INTERFACE_NAME[] = "io.github.morvane.pwm.Controller";
constexpr char ERROR_PREFIX[] = "io.github.morvane.pwm.Error.";
constexpr char PROPERTIES_INTERFACE[] = "org.freedesktop.DBus.Properties";

// The regulation mode as scripts read it: the RegulationMode property and
// the client's JSON.
inline QString regulation_mode_name(RegulationMode mode)
{
    return mode == RegulationMode::manual ? QStringLiteral("manual") : QStringLiteral("automatic");
}

} // namespace bus_names
