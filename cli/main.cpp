// morvane-pwmctl: the controller from scripts and key bindings. Goes through
// the running program when there is one, else opens the controller itself.

#include "command_line.h"
#include "commands.h"
#include "dbus_access.h"
#include "device/hidapi_backend.h"
#include "direct_access.h"

#include <QCoreApplication>

#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("morvane-pwmctl"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    CommandLine line;
    QString error;
    if (parse_command_line(app.arguments().mid(1), &line, &error) != Outcome::done) {
        err << "morvane-pwmctl: " << error << '\n'
            << QCoreApplication::translate("CommandLine", "Run 'morvane-pwmctl --help' for the commands.") << '\n';
        return int(Outcome::usage);
    }
    if (line.help) {
        out << help_text(line.command);
        return int(Outcome::done);
    }

    // The running program is asked first, whatever it holds: the device lock
    // lives in the runtime directory, which a client started from elsewhere
    // (cron, another shell's environment) may not share, the session bus it does.
    HidapiBackend backend;
    DirectAccess direct(backend, DeviceLock::default_path());
    std::unique_ptr<DbusAccess> through_program;
    ControllerAccess *access = &direct;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (const QString program = DbusAccess::program_on(bus); !program.isEmpty()) {
        through_program = std::make_unique<DbusAccess>(bus, program);
        access = through_program.get();
    }
    CommandRunner runner(*access, out, err);
    return int(runner.run(line));
}
