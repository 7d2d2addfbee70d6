#pragma once

#include "model/controller_selector.h"
#include "model/controller_status.h"
#include "model/coupling_result.h"
#include "model/outcome.h"
#include "protocol/config_block.h"

#include <QObject>
#include <QString>

// The client's exit codes.
enum class ExitCode {
    done = 0,
    failed = 1, // a message on stderr says why
    usage = 2,
    no_controller = 3,
};

// What became of one request of the client: the model's Outcome, or, when
// the way to the model failed first (the program did not answer, the
// controller cannot be opened), why, in words.
struct Answer
{
    Outcome outcome = Outcome::done();
    QString problem; // empty unless the way failed
    QString holder;  // who has the controller, for Refusal::held_elsewhere

    static Answer of(const Outcome &outcome, const QString &holder = QString()) { return {outcome, {}, holder}; }
    static Answer failure(const QString &problem) { return {Outcome::not_confirmed(), problem, {}}; }
    bool ok() const { return problem.isEmpty() && outcome.ok(); }
};

// The controller as the client reaches it: through the running program or
// directly. Every operation needs a successful open() first, and concerns
// the controller chosen last (the only one, while none was chosen).
class ControllerAccess : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Names the way in, for --json output: "program" or "direct".
    virtual QString route() const = 0;

    // The controllers present, in the order `list` numbers them (by id).
    virtual std::vector<SelectableController> controllers() = 0;
    // From now on the operations concern controllers()[index].
    virtual void choose(int index) = 0;

    // Reaches the controller: identified and with its configuration loaded
    // when directly; as the program sees it otherwise.
    virtual Answer open() = 0;
    virtual ControllerStatus status() = 0;
    // The configuration as the controller holds it (bytes 5..36; 0..4 the
    // live state), once a load under way is done.
    virtual Answer configuration(ConfigBlock *config) = 0;
    // Writes bytes 5..36 of `config`; bytes 0..4 go as the controller last reported them.
    virtual Answer apply_configuration(const ConfigBlock &config) = 0;
    // Each answered once the controller took the change (or did not).
    virtual Answer set_manual(bool manual) = 0;
    virtual Answer set_manual_level(int level) = 0; // only in manual regulation
    virtual Answer step(int direction) = 0;         // +1 up, -1 down, by the hot keys' step

    // From now on, emits status_changed() on every change of status() until
    // ended() (the controller's owner went away).
    virtual void watch() = 0;

    // Starts measuring how much of the lamp's light reaches the sensor:
    // coupling_progress follows each step and coupling_finished the end
    // (until then ended() may say the way to the controller went).
    virtual Answer start_coupling() = 0;
    // Ends the measurement under way; coupling_finished follows once the
    // mode and level are back.
    virtual void cancel_coupling() = 0;

signals:
    void status_changed();
    void ended(const QString &reason);
    void coupling_progress(int step, int steps);
    // `not_kept`: why a measured result is not in the history; empty when it is.
    void coupling_finished(const CouplingResult &result, const QString &not_kept);
};
