#include "dbus/controller_service.h"
#include "device/hidapi_backend.h"
#include "global_hot_keys.h"
#include "identification_error.h"
#include "model/controller.h"
#include "model/device_lock.h"
#include "open_failure_notice.h"
#include "single_application.h"
#include "start_options.h"
#include "translations/translation.h"
#include "tray_shell.h"
#include "tray_wiring.h"
#include "ui/widget.h"

#include <cstdio>

int main(int argc, char **argv)
{
    SingleApplication app(argc, argv);
    // A second start only wakes the running window: no window of its own, no
    // device access, no hot keys.
    if (app.isRunning()) {
        app.sendMessage(QString::fromLatin1(Widget::WAKE_UP_MESSAGE), 5000);
        return 0;
    }

    // The window in English under English locales, in Russian elsewhere; the
    // notices on stderr in Russian under Russian locales, in English elsewhere.
    install_translation(app);
    const StartOptions options = parse_start_options(app);

    // Lets Wayland desktops match the window to its launcher entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.morvane.pwm"));

    HidapiBackend backend;
    Controller controller(backend);
    // morvane-pwmctl opens the controller itself only while this program does not.
    DeviceLock device_lock;
    controller.set_device_lock(&device_lock);
    Widget window(controller);
    QObject::connect(&app, &SingleApplication::messageReceived, &window, &Widget::message_arrived);
    QObject::connect(&controller, &Controller::identification_failed, &app, &show_identification_error);

    // The hot keys step the manual level while the controller reports manual
    // regulation (the model decides).
    GlobalHotKeys hot_keys(&window);
    QObject::connect(&hot_keys, &GlobalHotKeys::activated, &controller, &Controller::hot_key_pressed);
    hot_keys.register_hot_key(Controller::HOTKEY_PWM_UP, 'P');
    hot_keys.register_hot_key(Controller::HOTKEY_PWM_DOWN, 'M');

    // A controller that is present but cannot be opened is named on stderr
    // once each time it appears.
    OpenFailureNotice open_failure_notice;
    QObject::connect(&controller, &Controller::open_failures_changed, &app, [&] {
        for (const QString &line : open_failure_notice.update(controller.open_failure_details()))
            std::fprintf(stderr, "%s\n", qPrintable(line));
    });

    // Scripts and key bindings reach the controller over the session bus;
    // without one, the program works as before.
    ControllerService service(controller);
    QString no_bus;
    if (!service.publish(QDBusConnection::sessionBus(), &no_bus))
        std::fprintf(stderr, "%s\n",
                     qPrintable(QCoreApplication::translate(
                                    "main", "morvane-pwm: no D-Bus interface for scripts and morvane-pwmctl (%1)")
                                    .arg(no_bus)));

    // The tray, the on-screen level and closing to the tray; the program ends
    // when the shell says so, not on its last window.
    QApplication::setQuitOnLastWindowClosed(false);
    TrayShell shell(window, hot_keys, QDBusConnection::sessionBus());
    QObject::connect(&shell, &TrayShell::end_requested, &app, &QCoreApplication::quit);
    wire_tray(controller, hot_keys, shell);

    controller.start();
    shell.start(options.background);
    const int exit_code = app.exec();
    // Writes the configuration back once more as the program ends: as last
    // loaded or applied, never the unapplied edits of the form.
    controller.write_back();
    return exit_code;
}
