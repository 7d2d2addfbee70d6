#include "command_line.h"

#include "history/history_store.h"
#include "protocol/commands.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>

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
    bool history = false;     // reads only the history database
    const char *options = ""; // the options it takes beyond --json and --dry-run
};

const CommandEntry COMMANDS[] = {
    {"status", "status [--json]", QT_TRANSLATE_NOOP("CommandLine", "connected, light, brightness and mode"),
     QT_TRANSLATE_NOOP("CommandLine",
                       "Shows whether a controller is connected and answers, its light reading, the brightness\n"
                       "it drives (percent and PWM width) and its regulation mode. With --json, one JSON object.\n"
                       "Exit codes: 0 the controller answers; 1 it does not answer (the readings shown are the\n"
                       "last it gave), another program has it open, or the status could not be read; 2 usage\n"
                       "error; 3 no controller is connected."),
     0, true, false},
    {"watch", "watch [--json] [--interval SECONDS]",
     QT_TRANSLATE_NOOP("CommandLine", "a line per change, at most two a second"),
     QT_TRANSLATE_NOOP("CommandLine",
                       "Prints the status once, then a line when it changes, until interrupted (Ctrl+C,\n"
                       "SIGTERM): at most one line per --interval (0.1 to 3600 seconds, 0.5 unless given);\n"
                       "a change within it is printed when it ends, as it then stands. With --json, one\n"
                       "JSON object a line, with the keys of 'status --json' and its time. Exit codes: 0\n"
                       "interrupted; 1 morvane-pwm ended or the controller could not be reached; 2 usage error."),
     0, true, false, false, "--interval"},
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
    {"history", "history [--days N] [--json|--csv]",
     QT_TRANSLATE_NOOP("CommandLine", "light and brightness hour by hour, and the manual corrections"),
     QT_TRANSLATE_NOOP("CommandLine",
                       "Shows what morvane-pwm recorded over the last N days (30 unless --days says otherwise):\n"
                       "per hour the light (least, mean, most), the mean brightness, the mode and the minutes\n"
                       "connected; then each manual change of the level. With --json one JSON object, with\n"
                       "--csv one table. Reads the history only; the program need not run."),
     0, true, false, true, "--days --csv"},
    {"propose", "propose [--json] [-o FILE] [--positions keep|time]",
     QT_TRANSLATE_NOOP("CommandLine", "a curve fitted to your manual corrections"),
     QT_TRANSLATE_NOOP("CommandLine",
                       "Proposes a light curve from the manual corrections in the history and the\n"
                       "configuration the controller last held, and says which points would change.\n"
                       "--positions time moves the points to the light levels where the time is spent\n"
                       "(keep: they stay). With -o, writes the proposal to FILE as a configuration that\n"
                       "'config import' accepts ('-': standard output). Nothing is written to the controller."),
     0, true, false, true, "-o --positions"},
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
    QStringList options; // those beyond --json and --dry-run, to check against the command's
    for (int at = 0; at < arguments.size(); ++at) {
        const QString &argument = arguments.at(at);
        const bool takes_value = argument == QLatin1String("--days") || argument == QLatin1String("-o")
                                 || argument == QLatin1String("--positions") || argument == QLatin1String("--interval");
        if (takes_value && at + 1 >= arguments.size()) {
            *error = CommandLineText::tr("%1 needs a value").arg(argument);
            return ExitCode::usage;
        }
        const QString value = takes_value ? arguments.at(++at) : QString();
        if (argument == QLatin1String("--days")) {
            bool ok = false;
            line->days = value.toInt(&ok);
            if (!ok || line->days < 1 || line->days > HistoryStore::RETENTION_DAYS) {
                *error = CommandLineText::tr("--days takes 1..%1, not %2").arg(HistoryStore::RETENTION_DAYS).arg(value);
                return ExitCode::usage;
            }
        } else if (argument == QLatin1String("--interval")) {
            bool ok = false;
            const double seconds = value.toDouble(&ok);
            // Written so that NaN fails too.
            if (!ok || !(seconds >= 0.1 && seconds <= 3600)) {
                *error = CommandLineText::tr("--interval takes 0.1..3600 seconds, not %1").arg(value);
                return ExitCode::usage;
            }
            line->interval_ms = qRound(seconds * 1000);
        } else if (argument == QLatin1String("-o")) {
            line->output = value;
        } else if (argument == QLatin1String("--positions")) {
            if (value != QLatin1String("keep") && value != QLatin1String("time")) {
                *error = CommandLineText::tr("--positions takes keep or time, not %1").arg(value);
                return ExitCode::usage;
            }
            line->positions_time = value == QLatin1String("time");
        } else if (argument == QLatin1String("--csv")) {
            line->csv = true;
        }
        if (takes_value || argument == QLatin1String("--csv"))
            options << argument;
        else if (argument == QLatin1String("--json"))
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
    if (grouped && words.size() == 1 && line->help)
        return ExitCode::done; // the group's own help
    const CommandEntry *entry = find_command(line->command);
    if (!entry) {
        *error = grouped && words.size() < 2 ? CommandLineText::tr("config needs show, export or import")
                                             : CommandLineText::tr("unknown command %1").arg(line->command);
        return ExitCode::usage;
    }
    if (line->help)
        return ExitCode::done;
    line->arguments = words.mid(grouped ? 2 : 1);
    const QStringList allowed = QString::fromLatin1(entry->options).split(QLatin1Char(' '));
    const bool options_fit = std::all_of(options.begin(), options.end(),
                                         [&](const QString &option) { return allowed.contains(option); });
    if (line->arguments.size() != entry->arguments || (line->json && !entry->json)
        || (line->dry_run && !entry->dry_run) || !options_fit || (line->json && line->csv)) {
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

namespace {

// One line per command whose name starts with `prefix`.
QString command_list(const QString &prefix)
{
    QString text;
    for (const CommandEntry &entry : COMMANDS)
        if (QLatin1String(entry.name).startsWith(prefix))
            text += QStringLiteral("  %1  %2\n").arg(QLatin1String(entry.synopsis), -32).arg(CommandLineText::tr(entry.summary));
    return text;
}

} // namespace

QString help_text(const QString &command)
{
    if (const CommandEntry *entry = find_command(command))
        return CommandLineText::tr("Usage: morvane-pwmctl %1\n\n%2\n").arg(QLatin1String(entry->synopsis), CommandLineText::tr(entry->details));
    if (command == QLatin1String("config"))
        return CommandLineText::tr("Usage: morvane-pwmctl config show|export|import ...\n\n"
                                   "The controller's configuration: the light curve and the settings beside it.\n\n"
                                   "Commands:\n")
               + command_list(QStringLiteral("config "));
    QString text = CommandLineText::tr("Usage: morvane-pwmctl COMMAND [OPTIONS]\n\n"
                      "Controls a Morvane USB brightness controller. While morvane-pwm runs, the commands\n"
                      "go through it; otherwise morvane-pwmctl opens the controller itself.\n\n"
                      "Commands:\n");
    text += command_list(QString());
    text += CommandLineText::tr("\nRun 'morvane-pwmctl COMMAND --help' for more about a command, "
                                "'morvane-pwmctl --version' for the version.\n"
                                "Exit codes: 0 done, 1 failed (also when the controller did not confirm a change),\n"
                                "2 usage error, 3 no controller.\n");
    return text;
}

bool reads_history(const QString &command)
{
    const CommandEntry *entry = find_command(command);
    return entry && entry->history;
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
