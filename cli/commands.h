#pragma once

#include "command_line.h"
#include "controller_access.h"

#include <QObject>
#include <QTextStream>

#include <functional>

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
    ExitCode status(bool json);
    ExitCode watch(bool json, int interval_ms);
    void print_status(const ControllerStatus &now);
    // manual, level, up and down: one change of regulation, then the level it left.
    ExitCode regulate(const std::function<Answer()> &change);
    ExitCode show_config(bool json);
    ExitCode export_config(const QString &file_name);
    ExitCode import_config(const QString &file_name, bool dry_run);
                    ExitCode history(const CommandLine &line);
    ExitCode propose(const CommandLine &line);

    ExitCode failed(const Answer &answer);
    void print_level();
    QString status_line(bool json) const;

    ControllerAccess &access_;
    QTextStream &out_;
    QTextStream &err_;
};
