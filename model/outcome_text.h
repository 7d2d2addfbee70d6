#pragma once

#include "device/hid_backend.h"
#include "outcome.h"

#include <QString>
#include <QStringList>

// The one wording of each outcome: the window's status line, the D-Bus
// error messages and morvane-pwmctl all use it, each in the language of the
// process that shows it. `holder` names who has the controller, for
// Refusal::held_elsewhere; `candidates` the ids of the controllers present,
// for Refusal::several_controllers.
QString outcome_text(const Outcome &outcome, const QString &holder = QString(),
                     const QStringList &candidates = QStringList());

// Why an open failed, in the system's words for its errno with the errno's
// name ("Permission denied (EACCES)"), or the platform's own text when it
// gave no errno. The window, the notice on stderr and morvane-pwmctl say it.
QString open_failure_reason(const HidOpenFailure &failure);

// Why a coupling measurement ended without a result, from its word
// (CouplingResult::error): the window and morvane-pwmctl say it.
QString coupling_error_text(const QByteArray &error);
