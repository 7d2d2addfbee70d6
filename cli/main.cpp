// morvane-pwmctl: the controller from scripts and key bindings. Goes through
// the running program when there is one, else opens the controller itself.

#include "command_line.h"
#include "commands.h"
#include "dbus_access.h"
#include "device/hidapi_backend.h"
#include "direct_access.h"
#include "translations/translation.h"

#include <QCoreApplication>

#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("morvane-pwmctl"));
    install_translation(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    CommandLine line;
    QString error;
    if (parse_command_line(app.arguments().mid(1), &line, &error) != ExitCode::done) {
        err << "morvane-pwmctl: " << error << '\n'
            << QCoreApplication::translate("CommandLine", "Run 'morvane-pwmctl --help' for the commands.") << '\n';
        return int(ExitCode::usage);
    }
    if (line.version) {
        out << "morvane-pwmctl " MORVANE_VERSION "\n";
        return int(ExitCode::done);
    }
    if (line.help) {
        out << help_text(line.command);
        return int(ExitCode::done);
    }

    // The running program is asked first: while it runs the controller is
    // its. Without it on the bus, the device lock says whether it runs anyway.
    // The history is read from its file, with or without the program.
    if (reaches(line) != Reaches::history)
        if (const std::unique_ptr<DbusAccess> program = DbusAccess::find_program(QDBusConnection::sessionBus()))
            return int(CommandRunner(*program, out, err).run(line));
    HidapiBackend backend;
    DirectAccess direct(backend);
    return int(CommandRunner(direct, out, err).run(line));
}
