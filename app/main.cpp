#include "device/hidapi_backend.h"
#include "single_application.h"
#include "widget.h"

int main(int argc, char **argv)
{
    SingleApplication app(argc, argv);
    // A second start only wakes the running window: no window of its own, no
    // device access, no hot keys.
    if (app.isRunning()) {
        app.sendMessage(QStringLiteral("Rise up!"), 5000);
        return 0;
    }

    // Lets Wayland desktops match the window to its launcher entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.morvane.pwm"));

    HidapiBackend backend;
    int exit_code = 0;
    {
        Widget window(backend);
        QObject::connect(&app, &SingleApplication::messageReceived, &window, &Widget::message_arrived);
        window.show();
        exit_code = app.exec();
        // The window's destructor writes the configuration back here.
    }
    return exit_code;
}
