#pragma once

#include "controller_identity.h"
#include "protocol/config_block.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The controller's configuration (bytes 5..36 of the ConfigBlock) as a JSON
// document: what `morvane-pwmctl config export` writes, `config import`
// reads and the D-Bus interface exchanges.
//
//   { "format": "morvane-pwm-configuration", "version": 1,
//     "controller": { "vendor_id": 36232, "product_id": 187, "firmware_version": 1 },
//     "curve": [ { "light": 0..1023, "pwm_width": 0..564 } x 7 ],
//     "step_delay": 0..255, "slide_delay": 0..255,
//     "linear_interpolation": true|false, "light_samples": 1..50 }
//
// Every key is required and no other is allowed. A document names the
// controller it came from; only this tool's controller (its vendor and
// product ids, firmware version 1) is accepted.

constexpr char CONFIG_FORMAT_NAME[] = "morvane-pwm-configuration";
constexpr int CONFIG_FORMAT_VERSION = 1;
constexpr int CONFIG_DOCUMENT_MAX_SIZE = 64 * 1024; // bytes; larger documents are refused unread

// The identity of the only controller this tool talks to.
ControllerIdentity supported_controller();

// Names the controller by its ids and firmware version (not its serial: a
// document may go to any controller of the kind).
QByteArray config_to_json(const ConfigBlock &config, const ControllerIdentity &identity);

// Reads and checks a whole document. On success sets bytes 5..36 of *config
// (bytes 0..4 are left alone) and returns true. Otherwise returns false,
// leaves *config untouched and sets *error to a sentence naming the first
// bad field ("point 3 (curve[2].light)") and its allowed range.
bool config_from_json(const QByteArray &json, ConfigBlock *config, QString *error);

// As config_from_json, but takes any value the field's bytes can carry: a
// controller may report values beyond the window's ranges. For showing what
// a controller holds, never for writing to one.
bool config_from_json_as_reported(const QByteArray &json, ConfigBlock *config, QString *error);

// One line per configuration field that differs, "field: old -> new"; a
// curve point's line ends with the point as people count it (1..7).
QStringList config_differences(const ConfigBlock &from, const ConfigBlock &to);
