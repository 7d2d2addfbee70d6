#include "command_line.h"
#include "commands.h"

#include <QCoreApplication>

// One row per command: parsing, the help texts and CommandRunner::run read
// the same rows, so a command cannot be listed without a handler.
const std::vector<CommandEntry> &command_table()
{
    static const std::vector<CommandEntry> COMMANDS{
        {"list", "list [--json]", QT_TRANSLATE_NOOP("CommandLine", "the controllers connected, numbered"),
         QT_TRANSLATE_NOOP("CommandLine",
                           "One line per controller: its number, its id, its serial number ('-' when it has\n"
                           "none) and whether it answers. The id, the serial number, the number or the first\n"
                           "four or more characters of an id or serial number pick one with --device. With\n"
                           "--json, a JSON array: per controller the keys of 'status --json'. Exit codes: 0\n"
                           "listed; 1 one of them could not be read; 2 usage error; 3 no controller is connected."),
         0, "--json", Reaches::every_controller, &CommandRunner::list},
        {"status", "status [--json]", QT_TRANSLATE_NOOP("CommandLine", "connected, light, brightness and mode"),
         QT_TRANSLATE_NOOP("CommandLine",
                           "Shows whether a controller is connected and answers, its light reading, the brightness\n"
                           "it drives (percent and PWM width) and its regulation mode. With --json, one JSON object.\n"
                           "Exit codes: 0 the controller answers; 1 it does not answer (the readings shown are the\n"
                           "last it gave), another program has it open, or the status could not be read; 2 usage\n"
                           "error; 3 no controller is connected."),
         0, "--json", Reaches::one_controller, &CommandRunner::status},
        {"watch", "watch [--json] [--interval SECONDS]",
         QT_TRANSLATE_NOOP("CommandLine", "a line per change, at most two a second"),
         QT_TRANSLATE_NOOP("CommandLine",
                           "Prints the status once, then a line when it changes, until interrupted (Ctrl+C,\n"
                           "SIGTERM): at most one line per --interval (0.1 to 3600 seconds, 0.5 unless given);\n"
                           "a change within it is printed when it ends, as it then stands. With --json, one\n"
                           "JSON object a line, with the keys of 'status --json' and its time. Exit codes: 0\n"
                           "interrupted; 1 morvane-pwm ended or the controller could not be reached; 2 usage error."),
         0, "--json --interval", Reaches::one_controller, &CommandRunner::watch},
        {"manual", "manual on|off", QT_TRANSLATE_NOOP("CommandLine", "switch manual regulation on or off"),
         QT_TRANSLATE_NOOP("CommandLine",
                           "on: the controller drives the manual level (it starts at the present brightness).\n"
                           "off: it follows its light curve again."),
         1, "", Reaches::one_controller, &CommandRunner::manual},
        {"level", "level N | N%", QT_TRANSLATE_NOOP("CommandLine", "manual level: width 0..564, or 0%..100%"),
         QT_TRANSLATE_NOOP("CommandLine",
                           "Sets the level of manual regulation: a PWM width from 0 to 564, or a percentage from\n"
                           "0% to 100%. Only in manual regulation (see 'manual on')."),
         1, "", Reaches::one_controller, &CommandRunner::level},
        {"up", "up", QT_TRANSLATE_NOOP("CommandLine", "one step brighter, as the hot key"),
         QT_TRANSLATE_NOOP("CommandLine", "Raises the manual level by one hot-key step (3%). Only in manual regulation."),
         0, "", Reaches::one_controller, &CommandRunner::up},
        {"down", "down", QT_TRANSLATE_NOOP("CommandLine", "one step dimmer, as the hot key"),
         QT_TRANSLATE_NOOP("CommandLine", "Lowers the manual level by one hot-key step (3%). Only in manual regulation."),
         0, "", Reaches::one_controller, &CommandRunner::down},
        {"config show", "config show [--json]", QT_TRANSLATE_NOOP("CommandLine", "the controller's configuration"),
         QT_TRANSLATE_NOOP("CommandLine",
                           "Shows the light curve, the delays, the interpolation and the light averaging.\n"
                           "With --json, the document 'config export' writes."),
         0, "--json", Reaches::one_controller, &CommandRunner::show_config},
        {"config export", "config export FILE", QT_TRANSLATE_NOOP("CommandLine", "save the configuration as JSON"),
         QT_TRANSLATE_NOOP("CommandLine",
                           "Writes the controller's configuration to FILE as JSON ('-': standard output).\n"
                           "Nothing is written to the controller."),
         1, "", Reaches::one_controller, &CommandRunner::export_config},
        {"config import", "config import FILE [--dry-run]",
         QT_TRANSLATE_NOOP("CommandLine", "write a saved configuration to the controller"),
         QT_TRANSLATE_NOOP("CommandLine",
                           "Checks the whole of FILE (as 'config export' writes it) and then writes it to the\n"
                           "controller; a bad file is refused, naming the first bad field, and nothing is\n"
                           "written. With --dry-run, only prints what would change."),
         1, "--dry-run", Reaches::one_controller, &CommandRunner::import_config},
        {"history", "history [--days N] [--json|--csv]",
         QT_TRANSLATE_NOOP("CommandLine", "light and brightness hour by hour, and the manual corrections"),
         QT_TRANSLATE_NOOP("CommandLine",
                           "Shows what morvane-pwm recorded over the last N days (30 unless --days says otherwise):\n"
                           "per hour the light (least, mean, most), the mean brightness, the mode and the minutes\n"
                           "connected; then each manual change of the level. With --json one JSON object, with\n"
                           "--csv one table. Reads the history only; the program need not run."),
         0, "--json --days --csv", Reaches::history, &CommandRunner::history},
        {"propose", "propose [--json] [-o FILE] [--positions keep|time]",
         QT_TRANSLATE_NOOP("CommandLine", "a curve fitted to your manual corrections"),
         QT_TRANSLATE_NOOP("CommandLine",
                           "Proposes a light curve from the manual corrections in the history and the\n"
                           "configuration the controller last held, and says which points would change.\n"
                           "--positions time moves the points to the light levels where the time is spent\n"
                           "(keep: they stay). With -o, writes the proposal to FILE as a configuration that\n"
                           "'config import' accepts ('-': standard output). Nothing is written to the controller."),
         0, "--json -o --positions", Reaches::history, &CommandRunner::propose},
        {"coupling", "coupling [--json] [--last]",
         QT_TRANSLATE_NOOP("CommandLine", "measure how much of the lamp's own light reaches the sensor"),
         QT_TRANSLATE_NOOP("CommandLine",
                           "Switches to manual regulation and steps the brightness 0, 10, 25, 50, 75, 100% and\n"
                           "back down, waiting at each step for the light reading to settle (a minute at most),\n"
                           "then brings back the mode and level it found, also when interrupted (Ctrl+C). Prints\n"
                           "k, the light counts the lamp adds per 1% of brightness, how well a line fits (R²)\n"
                           "and the readings; steps go to stderr. The result is kept in the history. With --json,\n"
                           "one JSON object. With --last, the result measured last and when, from the history\n"
                           "(no controller needed). Exit codes: 0 measured; 1 refused, interrupted, the room's\n"
                           "light changed meanwhile, or --last found none; 2 usage error; 3 no controller."),
         0, "--json --last", Reaches::one_controller, &CommandRunner::coupling},
    };
    return COMMANDS;
}

const CommandEntry *find_command(const QString &name)
{
    for (const CommandEntry &entry : command_table())
        if (name == QLatin1String(entry.name))
            return &entry;
    return nullptr;
}
