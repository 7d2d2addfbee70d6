#include "outcome_text.h"

#include "coupling_sweep.h"
#include "protocol/commands.h"

#include <QCoreApplication>

#include <cstring>

namespace {

// The words' translation context, "Outcome".
struct OutcomeWords
{
    Q_DECLARE_TR_FUNCTIONS(Outcome)
};

QString refusal_text(Refusal refusal, const QString &holder, const QStringList &candidates)
{
    switch (refusal) {
    case Refusal::none:
        break;
    case Refusal::not_connected:
        return OutcomeWords::tr("No controller is connected.");
    case Refusal::loading:
        return OutcomeWords::tr("The controller's configuration is still being read; try again in a moment.");
    case Refusal::not_identified:
        return OutcomeWords::tr("The controller did not identify as version %1.").arg(CONTROLLER_VERSION);
    case Refusal::not_manual:
        return OutcomeWords::tr("Manual regulation is off; switch it on first.");
    case Refusal::out_of_range:
        return OutcomeWords::tr("The level is out of range: 0..%1.").arg(PWM_FULL_SCALE);
    case Refusal::edits_pending:
        return OutcomeWords::tr("The window holds edits that were not applied; apply or discard them there first.");
    case Refusal::held_elsewhere:
        return holder.isEmpty() ? OutcomeWords::tr("Another program has the controller open.")
                                : OutcomeWords::tr("%1 has the controller open.").arg(holder);
    case Refusal::busy:
        return OutcomeWords::tr("An earlier write is still on its way; try again in a moment.");
    case Refusal::closing:
        return OutcomeWords::tr("The program is closing: it takes no more changes.");
    case Refusal::measuring:
        return OutcomeWords::tr("The lamp's light is being measured; wait for the measurement to end or cancel it.");
    case Refusal::several_controllers:
        // Without the ids (a notice on screen) there is no option to name either.
        return candidates.isEmpty()
                   ? OutcomeWords::tr("Several controllers are connected; choose one.")
                   : OutcomeWords::tr("Several controllers are connected (%1); choose one with --device.")
                         .arg(candidates.join(QLatin1String(", ")));
    }
    return QString();
}

} // namespace

QString outcome_text(const Outcome &outcome, const QString &holder, const QStringList &candidates)
{
    switch (outcome.kind) {
    case Outcome::Kind::done:
        return OutcomeWords::tr("Done.");
    case Outcome::Kind::not_confirmed:
        return OutcomeWords::tr("The controller did not confirm it: it may or may not have taken it.");
    case Outcome::Kind::refused:
        break;
    }
    return refusal_text(outcome.refusal, holder, candidates) + QLatin1Char(' ') + OutcomeWords::tr("Nothing was sent to the controller.");
}

QString open_failure_reason(const HidOpenFailure &failure)
{
    if (failure.error_number <= 0)
        return QString::fromStdString(failure.reason);
#ifdef __GLIBC__
    // hidapi calls strerror on the controllers' threads meanwhile: the
    // GNU strerror_r, which may hand back its table's text, not the buffer.
    char buffer[256];
    QString reason = QString::fromLocal8Bit(strerror_r(failure.error_number, buffer, sizeof buffer));
    if (const char *name = strerrorname_np(failure.error_number))
        reason += QStringLiteral(" (%1)").arg(QLatin1String(name));
    return reason;
#else
    return QString::fromLocal8Bit(std::strerror(failure.error_number));
#endif
}

QString coupling_error_text(const QByteArray &error)
{
    if (error == CouplingSweep::CANCELLED)
        return OutcomeWords::tr("The measurement was cancelled; the mode and level it found are back.");
    if (error == CouplingSweep::UNPLUGGED)
        return OutcomeWords::tr("The controller went away during the measurement.");
    if (error == CouplingSweep::SILENT)
        return OutcomeWords::tr("The controller stopped answering during the measurement.");
    if (error == CouplingSweep::CLOSING)
        return OutcomeWords::tr("The program is closing; the measurement stopped and the mode and level it found "
                                "are back.");
    return OutcomeWords::tr("The measurement ended without a result (%1).").arg(QString::fromLatin1(error));
}
