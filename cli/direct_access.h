#pragma once

#include "controller_access.h"
#include "model/controller.h"

#include <functional>

// The controller opened by the client itself, when the program is not
// running: lists the controllers without opening any, then opens only the
// one chosen, under its device node's lock; identifies and loads it and
// does its one job by driving the same Controller the program runs,
// synchronously. Writes only what the job asks for; nothing is written back
// on exit.
class DirectAccess : public ControllerAccess
{
    Q_OBJECT

public:
    explicit DirectAccess(HidBackend &backend);

    QString route() const override { return QStringLiteral("direct"); }
    std::vector<SelectableController> controllers() override;
    void choose(int index) override;
    Answer open() override;
    ControllerStatus status() override { return controller_.status(); }
    Answer configuration(ConfigBlock *config) override;
    Answer apply_configuration(const ConfigBlock &config) override;
    Answer set_manual(bool manual) override;
    Answer set_manual_level(int level) override;
    Answer step(int direction) override;
    void watch() override;
    // The result is kept in the history here: no program does it.
    Answer start_coupling() override;
    void cancel_coupling() override;

private:
    void keep_coupling(const CouplingResult &result);
    // Runs `action`, then poll ticks until the controller has answered it;
    // an action still unanswered after them was not confirmed.
    Answer settled(const std::function<void(Controller::Reply)> &action, int ticks);
    Answer answer(const Outcome &outcome) const;
    Answer cannot_open() const;
    static Answer lock_failure(const QString &problem);
    static QString identification_text(int version_found);

    HidDevice scanner_; // lists the controllers; opens none
    std::vector<ControllerIdentity> present_;
    ControllerIdentity chosen_; // none (no path) until one is chosen
    Controller controller_;
    QString identification_error_;
};
