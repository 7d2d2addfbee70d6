#pragma once

#include "command_line.h"
#include "controller_access.h"

#include <QObject>
#include <QTextStream>

#include <functional>

class HistoryStore;

// Runs one command line over a ControllerAccess: what the user asked for,
// printed for a terminal or as JSON. Messages go to `err`, results to `out`.
class CommandRunner : public QObject
{
    Q_OBJECT

public:
    CommandRunner(ControllerAccess &access, QTextStream &out, QTextStream &err);

    ExitCode run(const CommandLine &line);

    // The one place answers become words and exit codes.
    static QString words(const Answer &answer);
    static ExitCode exit_code(const Answer &answer);

private:
    friend const std::vector<CommandEntry> &command_table();

    // The handlers of the command table's rows.
    ExitCode list(const CommandLine &line);
    ExitCode status(const CommandLine &line);
    ExitCode watch(const CommandLine &line);
    ExitCode manual(const CommandLine &line);
    ExitCode level(const CommandLine &line);
    ExitCode up(const CommandLine &line);
    ExitCode down(const CommandLine &line);
    ExitCode show_config(const CommandLine &line);
    ExitCode export_config(const CommandLine &line);
    ExitCode import_config(const CommandLine &line);
    ExitCode history(const CommandLine &line);
    ExitCode propose(const CommandLine &line);
    ExitCode coupling(const CommandLine &line);

    // No one controller is chosen: several could be meant, with or without
    // --device (exit 2), or --device names none (exit 3), among those
    // present or those in the history.
    ExitCode unclear(const ControllerChoice &choice, const QString &selector, Reaches among);
    // The identity of the controller in the history --device names; left
    // empty without --device.
    ExitCode choose_recorded(const HistoryStore &store, const QString &selector, QString *identity);
    void print_status(const ControllerStatus &now);
    // manual, level, up and down: the controller opened, one change of
    // regulation, then the level it left.
    ExitCode regulate(const std::function<Answer()> &change);
    // The controller opened, then its configuration.
    Answer read_configuration(ConfigBlock *config);
    // A warning when `config` has a segment at which the lamp's own light,
    // as last measured for the controller, would make it hunt or run away.
    void warn_about_loop_gain(const ConfigBlock &config, const QString &identity);

    // coupling --last: the result kept in the history.
    ExitCode last_coupling(const CommandLine &line);
    // One result as the command prints it; failed when it is not to be trusted.
    ExitCode print_coupling(const CouplingResult &result, bool json);

    ExitCode failed(const Answer &answer);
    void print_level();
    QString status_line(bool json) const;

    ControllerAccess &access_;
    QTextStream &out_;
    QTextStream &err_;
};
