#pragma once

#include "protocol/config_block.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The controller's configuration (bytes 5..36 of the ConfigBlock) as a JSON
// document: what `morvane-pwmctl config export` writes, `config import`
// reads and the D-Bus interface exchanges.

// Who the configuration came from, written into an export.
struct ControllerIdentity
{
    int vendor_id = 0;
    int product_id = 0;
    int firmware_version = 0;
};

QByteArray config_to_json(const ConfigBlock &config, const ControllerIdentity &identity);

// Reads and checks a whole document. On success sets bytes 5..36 of *config
// (bytes 0..4 are left alone) and returns true. Otherwise returns false,
// leaves *config untouched and sets *error to a sentence naming the first
// bad field and its allowed range.
bool config_from_json(const QByteArray &json, ConfigBlock *config, QString *error);

// One line per configuration field that differs, "field: old -> new".
QStringList config_differences(const ConfigBlock &from, const ConfigBlock &to);
