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

    Outcome run(const CommandLine &line);

private:
    Outcome status(bool json);
    Outcome watch(bool json);
    // manual, level, up and down: one change of regulation, then the level it left.
    Outcome regulate(const std::function<Outcome(QString *error)> &change);
    Outcome show_config(bool json);
    Outcome export_config(const QString &file_name);
    Outcome import_config(const QString &file_name, bool dry_run);
    Outcome history(const CommandLine &line);
    Outcome propose(const CommandLine &line);

    Outcome failed(Outcome outcome, const QString &error);
    void print_level();
    QString status_line(bool json) const;

    ControllerAccess &access_;
    QTextStream &out_;
    QTextStream &err_;
};
