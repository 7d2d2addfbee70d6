#pragma once

#include "controller_access.h"

#include <QString>
#include <QStringList>

#include <vector>

// One call of morvane-pwmctl, as parsed.
struct CommandLine
{
    QString command;       // "status", "level", "config import", ...; empty for the overview
    QStringList arguments; // the command's own words: "on", "50%", a file name
    bool json = false;
    bool dry_run = false;
    bool help = false;
    bool version = false;
    bool csv = false;
    int days = 30;               // history: how far back
    int interval_ms = 500;       // watch: the least time between two lines
    QString output;              // propose: the file the proposal goes to
    bool positions_time = false; // propose: move the points to where the time is spent
    QString device;              // --device: the controller chosen (ControllerChoice's selector)
    bool last = false;           // coupling: the result kept in the history, not a new measurement
};

class CommandRunner;

// What a command reaches: it decides what --device picks among.
enum class Reaches {
    one_controller,   // the one chosen among those present, before it acts
    every_controller, // each present (or the one chosen)
    history,          // only the history database, whose controllers --device picks among
};

// One command of morvane-pwmctl: its words, its help, what it takes, and
// the handler that runs it (cli/command_table.cpp holds the rows).
struct CommandEntry
{
    const char *name;
    const char *synopsis;
    const char *summary; // one line, for the overview
    const char *details; // for the command's --help
    int arguments;       // words the command takes
    const char *options; // the options it takes beyond --device, "--json --dry-run"
    Reaches reaches;
    ExitCode (CommandRunner::*handler)(const CommandLine &line);
};

// Every command, in the overview's order.
const std::vector<CommandEntry> &command_table();
// The row of a command ("config import"), or null.
const CommandEntry *find_command(const QString &name);

// Reads the arguments (without the program name). Returns ExitCode::done, or
// ExitCode::usage with *error saying what is wrong.
ExitCode parse_command_line(const QStringList &arguments, CommandLine *line, QString *error);

// The overview, or the help of one command or of the config group ("config").
QString help_text(const QString &command);

// What the command line reaches: its command's, but a stored coupling
// (--last) is read from the history.
Reaches reaches(const CommandLine &line);

// A manual level as given, "282" (width) or "50%": the width, or -1.
int parse_level(const QString &text);
