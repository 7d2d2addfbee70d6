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

    std::unique_ptr<HidapiBackend> backend;
    std::unique_ptr<ControllerAccess> access;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (DbusAccess::program_running(bus)) {
        access = std::make_unique<DbusAccess>(bus);
    } else {
        backend = std::make_unique<HidapiBackend>();
        access = std::make_unique<DirectAccess>(*backend, DeviceLock::default_path());
    }
    CommandRunner runner(*access, out, err);
    return int(runner.run(line));
}
