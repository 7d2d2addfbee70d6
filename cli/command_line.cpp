#include "command_line.h"

#include "history/history_store.h"
#include "protocol/commands.h"
#include "protocol/pwm_percent.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>

namespace {

// The messages' translation context.
struct CommandLineText
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

} // namespace

ExitCode parse_command_line(const QStringList &arguments, CommandLine *line, QString *error)
{
    // A number is a value even with a sign: `level -5` is a level out of range.
    static const QRegularExpression NUMBER(QStringLiteral("^-[0-9]+%?$"));
    QStringList words;
    QStringList options; // to check against the command's
    for (int at = 0; at < arguments.size(); ++at) {
        const QString &argument = arguments.at(at);
        const bool takes_value = argument == QLatin1String("--days") || argument == QLatin1String("-o")
                                 || argument == QLatin1String("--positions") || argument == QLatin1String("--interval")
                                 || argument == QLatin1String("--device");
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
        } else if (argument == QLatin1String("--device")) {
            if (value.isEmpty()) {
                *error = CommandLineText::tr("--device needs a value");
                return ExitCode::usage;
            }
            line->device = value;
        } else if (argument == QLatin1String("--csv")) {
            line->csv = true;
        } else if (argument == QLatin1String("--json")) {
            line->json = true;
        } else if (argument == QLatin1String("--dry-run")) {
            line->dry_run = true;
        } else if (argument == QLatin1String("--last")) {
            line->last = true;
        }
        if (takes_value || argument == QLatin1String("--csv") || argument == QLatin1String("--json")
            || argument == QLatin1String("--dry-run") || argument == QLatin1String("--last")) {
            if (argument != QLatin1String("--device")) // every command takes it
                options << argument;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line->help = true;
        } else if (argument == QLatin1String("--version")) {
            line->version = true;
        } else if (argument.startsWith(QLatin1Char('-')) && argument != QLatin1String("-")
                   && !NUMBER.match(argument).hasMatch()) {
            *error = CommandLineText::tr("unknown option %1").arg(argument);
            return ExitCode::usage;
        } else {
            words << argument;
        }
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
    if (line->arguments.size() != entry->arguments || !options_fit || (line->json && line->csv)) {
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
    for (const CommandEntry &entry : command_table())
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
    text += CommandLineText::tr("\nEvery command takes:\n"
                                "  --device SEL    the controller: its id, its serial number, its number in 'list', or\n"
                                "                  the first four or more characters of an id or serial number; needed\n"
                                "                  when several are connected (history and propose pick among the\n"
                                "                  controllers in the history, the one recorded last first)\n");
    text += CommandLineText::tr("\nRun 'morvane-pwmctl COMMAND --help' for more about a command, "
                                "'morvane-pwmctl --version' for the version.\n"
                                "Exit codes: 0 done, 1 failed (also when the controller did not confirm a change),\n"
                                "2 usage error (also: several controllers and no --device), 3 no controller (or none\n"
                                "that --device names).\n");
    return text;
}

Reaches reaches(const CommandLine &line)
{
    const CommandEntry *entry = find_command(line.command);
    return line.last || !entry ? Reaches::history : entry->reaches;
}

int parse_level(const QString &text)
{
    const bool percent = text.endsWith(QLatin1Char('%'));
    bool ok = false;
    const int value = (percent ? text.chopped(1) : text).toInt(&ok);
    if (!ok || value < 0 || value > (percent ? 100 : PWM_FULL_SCALE))
        return -1;
    // The smallest width the window shows as this percentage (it truncates).
    return percent ? pwm_width_of_percent(value) : value;
}
