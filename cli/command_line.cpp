#include "command_line.h"

#include "protocol/commands.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

struct CommandEntry
{
    const char *name;
    const char *synopsis;
    const char *summary; // one line, for the overview
    const char *details; // for the command's --help
    int arguments;       // words the command takes
    bool json;           // takes --json
    bool dry_run;        // takes --dry-run
};

const CommandEntry COMMANDS[] = {
    {"status", "status [--json]", QT_TRANSLATE_NOOP("CommandLine", "connected, light, brightness and mode"),
     QT_TRANSLATE_NOOP("CommandLine",
                       "Shows whether a controller is connected, its light reading, the brightness it drives\n"
                       "(percent and PWM width) and its regulation mode. With --json, one JSON object.\n"
                       "Exits with 3 when no controller is connected."),
     0, true, false},
    {"watch", "watch [--json]", QT_TRANSLATE_NOOP("CommandLine", "one line per change until interrupted"),
     QT_TRANSLATE_NOOP("CommandLine",
                       "Prints the status once, then one line each time it changes, until interrupted\n"
                       "(Ctrl+C, SIGTERM). With --json, one JSON object a line."),
     0, true, false},
    {"manual", "manual on|off", QT_TRANSLATE_NOOP("CommandLine", "switch manual regulation on or off"),
     QT_TRANSLATE_NOOP("CommandLine",
                       "on: the controller drives the manual level (it starts at the present brightness).\n"
                       "off: it follows its light curve again."),
     1, false, false},
    {"level", "level N | N%", QT_TRANSLATE_NOOP("CommandLine", "manual level: width 0..564, or 0%..100%"),
     QT_TRANSLATE_NOOP("CommandLine",
                       "Sets the level of manual regulation: a PWM width from 0 to 564, or a percentage from\n"
                       "0% to 100%. Only in manual regulation (see 'manual on')."),
     1, false, false},
    {"up", "up", QT_TRANSLATE_NOOP("CommandLine", "one step brighter, as the hot key"),
     QT_TRANSLATE_NOOP("CommandLine", "Raises the manual level by one hot-key step (3%). Only in manual regulation."),
     0, false, false},
    {"down", "down", QT_TRANSLATE_NOOP("CommandLine", "one step dimmer, as the hot key"),
     QT_TRANSLATE_NOOP("CommandLine", "Lowers the manual level by one hot-key step (3%). Only in manual regulation."),
     0, false, false},
    {"config show", "config show [--json]", QT_TRANSLATE_NOOP("CommandLine", "the controller's configuration"),
     QT_TRANSLATE_NOOP("CommandLine",
                       "Shows the light curve, the delays, the interpolation and the light averaging.\n"
                       "With --json, the document 'config export' writes."),
     0, true, false},
    {"config export", "config export FILE", QT_TRANSLATE_NOOP("CommandLine", "save the configuration as JSON"),
     QT_TRANSLATE_NOOP("CommandLine",
                       "Writes the controller's configuration to FILE as JSON ('-': standard output).\n"
                       "Nothing is written to the controller."),
     1, false, false},
    {"config import", "config import FILE [--dry-run]",
     QT_TRANSLATE_NOOP("CommandLine", "write a saved configuration to the controller"),
     QT_TRANSLATE_NOOP("CommandLine",
                       "Checks the whole of FILE (as 'config export' writes it) and then writes it to the\n"
                       "controller; a bad file is refused, naming the first bad field, and nothing is\n"
                       "written. With --dry-run, only prints what would change."),
     1, false, true},
};

// The messages' translation context.
struct CommandLineText
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

const CommandEntry *find_command(const QString &name)
{
    for (const CommandEntry &entry : COMMANDS)
        if (name == QLatin1String(entry.name))
            return &entry;
    return nullptr;
}

} // namespace

ExitCode parse_command_line(const QStringList &arguments, CommandLine *line, QString *error)
{
    // A number is a value even with a sign: `level -5` is a level out of range.
    static const QRegularExpression NUMBER(QStringLiteral("^-[0-9]+%?$"));
    QStringList words;
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--json"))
            line->json = true;
        else if (argument == QLatin1String("--dry-run"))
            line->dry_run = true;
        else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            line->help = true;
        else if (argument == QLatin1String("--version"))
            line->version = true;
        else if (argument.startsWith(QLatin1Char('-')) && argument != QLatin1String("-")
                 && !NUMBER.match(argument).hasMatch()) {
            *error = CommandLineText::tr("unknown option %1").arg(argument);
            return ExitCode::usage;
        } else
            words << argument;
    }
    if (words.value(0) == QLatin1String("help")) {
        line->help = true;
        words.removeFirst();
    }
    if (words.isEmpty()) {
        if (line->help || line->version)
            return ExitCode::done;
        *error = CommandLineText::tr("no command given");
        return ExitCode::usage;
    }
    const bool grouped = words.first() == QLatin1String("config");
    line->command = grouped ? words.mid(0, 2).join(QLatin1Char(' ')) : words.first();
    const CommandEntry *entry = find_command(line->command);
    if (!entry) {
        *error = grouped && words.size() < 2 ? CommandLineText::tr("config needs show, export or import")
                                             : CommandLineText::tr("unknown command %1").arg(line->command);
        return ExitCode::usage;
    }
    if (line->help)
        return ExitCode::done;
    line->arguments = words.mid(grouped ? 2 : 1);
    if (line->arguments.size() != entry->arguments || (line->json && !entry->json)
        || (line->dry_run && !entry->dry_run)) {
        *error = CommandLineText::tr("usage: morvane-pwmctl %1").arg(QLatin1String(entry->synopsis));
        return ExitCode::usage;
    }
    if (line->command == QLatin1String("manual") && line->arguments.first() != QLatin1String("on")
        && line->arguments.first() != QLatin1String("off")) {
        *error = CommandLineText::tr("manual takes on or off, not %1").arg(line->arguments.first());
        return ExitCode::usage;
    }
    if (line->command == QLatin1String("level") && parse_level(line->arguments.first()) < 0) {
        *error = CommandLineText::tr("level takes a width 0..%1 or a percentage 0%..100%, not %2")
                     .arg(PWM_FULL_SCALE)
                     .arg(line->arguments.first());
        return ExitCode::usage;
    }
    return ExitCode::done;
}

QString help_text(const QString &command)
{
    if (const CommandEntry *entry = find_command(command))
        return CommandLineText::tr("Usage: morvane-pwmctl %1\n\n%2\n").arg(QLatin1String(entry->synopsis), CommandLineText::tr(entry->details));
    QString text = CommandLineText::tr("Usage: morvane-pwmctl COMMAND [OPTIONS]\n\n"
                      "Controls a Morvane USB brightness controller. While morvane-pwm runs, the commands\n"
                      "go through it; otherwise morvane-pwmctl opens the controller itself.\n\n"
                      "Commands:\n");
    for (const CommandEntry &entry : COMMANDS)
        text += QStringLiteral("  %1  %2\n").arg(QLatin1String(entry.synopsis), -32).arg(CommandLineText::tr(entry.summary));
    text += CommandLineText::tr("\nRun 'morvane-pwmctl COMMAND --help' for more about a command, "
                                "'morvane-pwmctl --version' for the version.\n"
                                "Exit codes: 0 done, 1 failed (also when the controller did not confirm a change),\n"
                                "2 usage error, 3 no controller.\n");
    return text;
}

int parse_level(const QString &text)
{
    const bool percent = text.endsWith(QLatin1Char('%'));
    bool ok = false;
    const int value = (percent ? text.chopped(1) : text).toInt(&ok);
    if (!ok || value < 0 || value > (percent ? 100 : PWM_FULL_SCALE))
        return -1;
    // The smallest width the window shows as this percentage (it truncates).
    return percent ? (value * PWM_FULL_SCALE + 99) / 100 : value;
}
