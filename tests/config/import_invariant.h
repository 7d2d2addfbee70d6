#pragma once

#include <QByteArray>
#include <QString>

// Imports one document into a block that already holds a controller's state
// and checks the rule of every import: the document is either accepted whole,
// with every field in range, bytes 0..4 kept and an export that reads back to
// the same block, or rejected with a message and the block untouched.
// Returns what broke, or an empty string.
QString check_import_invariant(const QByteArray &document);
