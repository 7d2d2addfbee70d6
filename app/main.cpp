#include "app/hotkeys/global_hot_keys.h"
#include "app/hotkeys/hot_key_ids.h"
#include "app/shell/after_first_frame.h"
#include "app/shell/identification_error.h"
#include "app/shell/open_failure_notice.h"
#include "app/shell/single_application.h"
#include "app/shell/start_options.h"
#include "app/shell/startup_activation.h"
#include "app/tray/hunting_notifier.h"
#include "app/tray/tray_shell.h"
#include "app/tray/tray_wiring.h"
#include "dbus/controller_objects.h"
#include "dbus/sleep_watch.h"
#include "device/hidapi_backend.h"
#include "history/history_recorder.h"
#include "model/controller_registry.h"
#include "model/device_lock.h"
#include "translations/translation.h"
#include "ui/status_line.h"
#include "ui/widget.h"

#include <QEventLoop>

#include <memory>

#include <cstdio>

int main(int argc, char **argv)
{
    SingleApplication app(argc, argv);
    // The window in English under English locales, in Russian elsewhere; the
    // notices on stderr in Russian under Russian locales, in English elsewhere.
    if (install_translation(app).isEmpty())
        install_shared_window_words(app);
    // --help and --version answer even while another instance runs.
    const StartOptions options = parse_start_options(app);
    // A second start only wakes the running window: no window of its own, no
    // device access, no hot keys.
    if (app.isRunning()) {
        app.wake_up(QString::fromLatin1(Widget::WAKE_UP_MESSAGE), 5000);
        return 0;
    }

    // Lets Wayland desktops match the window to its launcher entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.morvane.pwm"));

    HidapiBackend backend;
    // morvane-pwmctl opens a controller itself only while this program does
    // not: each controller's device node has its lock.
    QString lock_problem;
    DeviceLock::directory(&lock_problem);
    if (!lock_problem.isEmpty())
        std::fprintf(stderr, "%s\n",
                     qPrintable(QCoreApplication::translate(
                                    "main", "morvane-pwm: no device lock (%1); morvane-pwmctl may disturb the program")
                                    .arg(lock_problem)));
    // Each controller's exchanges run on a worker thread of its own: nothing
    // below waits for one.
    ControllerRegistry registry(backend, ControllerRegistry::Threading::worker);
    registry.share_devices(true);
    // The window shows the first controller, or the one the user picks.
    Widget window(registry);
    QObject::connect(&app, &SingleApplication::messageReceived, &window, &Widget::message_arrived);
    QObject::connect(&app, &SingleApplication::startup_id_received, &window,
                     [&window](const QString &id) { activate_for_startup(window, id); });

    // The hot keys step the manual level of every controller in manual
    // regulation (the model decides; wire_tray connects them).
    GlobalHotKeys hot_keys(&window);
    // However the keys went missing, the status line says so beside stderr.
    QObject::connect(&hot_keys, &GlobalHotKeys::went_missing, &window, [&window](const QString &notice) {
        window.status_line()->set_problem(QStringLiteral("hot keys"), notice);
    });
    hot_keys.register_hot_key(HOTKEY_PWM_UP, 'P');
    hot_keys.register_hot_key(HOTKEY_PWM_DOWN, 'M');

    // What each controller does is recorded for the curve window and
    // `morvane-pwmctl history`, on a thread of the history's own. Without a
    // usable database the program goes on without history, and says so once.
    HistoryRecorder history(HistoryRecorder::Settings::from_environment());
    registry.wire_each([&](ControllerThread &each) {
        QObject::connect(&each, &ControllerThread::identification_failed, &app, &show_identification_error);
        // A controller that is present but cannot be opened is named on
        // stderr once each time it appears.
        const auto notice = std::make_shared<OpenFailureNotice>();
        const auto stream = quintptr(&each);
        QObject::connect(&each, &ControllerThread::status_changed, &history, [&history, notice, stream](
                                                                                  const ControllerStatus &status) {
            for (const QString &line : notice->update(status.open_failures))
                std::fprintf(stderr, "%s\n", qPrintable(line));
            history.record_status(status, stream);
        });
        QObject::connect(&each, &ControllerThread::manual_change, &history, &HistoryRecorder::record_manual_change);
        QObject::connect(&each, &ControllerThread::configuration_loaded, &history,
                         [&history, stream](const ConfigBlock &config) { history.record_configuration(config, stream); });
        // Whoever asked for it: the window, a D-Bus caller, morvane-pwmctl.
        QObject::connect(&each, &ControllerThread::coupling_finished, &history,
                         [&history, &each](const CouplingResult &result) {
                             history.record_coupling(each.identity().id, result);
                         });
    });
    // The rows of the device-node names of old go to the only controller.
    QObject::connect(&registry, &ControllerRegistry::present_changed, &history, [&registry, &history] {
        QStringList ids;
        for (const ControllerThread *present : registry.present())
            ids << present->identity().id;
        history.record_present_controllers(ids);
    });
    // The curve window shows the history of the controller the window shows.
    QObject::connect(&window, &Widget::history_wanted, &history,
                     [&history, &window](const std::optional<ConfigBlock> &current, LightPositions positions) {
                         history.request_summary(current, positions, window.shown().identity().id);
                     });
    QObject::connect(&history, &HistoryRecorder::summary_ready, &window, &Widget::show_history);
    QObject::connect(&window, &Widget::coupling_wanted, &history, &HistoryRecorder::request_coupling);
    QObject::connect(&history, &HistoryRecorder::coupling_read, &window, &Widget::show_coupling);
    QObject::connect(&history, &HistoryRecorder::problem, &window, [&window](const QString &problem) {
        std::fprintf(stderr, "morvane-pwm: %s\n", qPrintable(problem));
        window.status_line()->set_problem(QStringLiteral("history"), problem);
    });

    // Scripts and key bindings reach each controller over the session bus;
    // without one, the program works as before.
    ControllerObjects bus_objects(registry);
    QString no_bus;
    if (!bus_objects.publish(QDBusConnection::sessionBus(), &no_bus))
        std::fprintf(stderr, "%s\n",
                     qPrintable(QCoreApplication::translate(
                                    "main", "morvane-pwm: no D-Bus interface for scripts and morvane-pwmctl (%1)")
                                    .arg(no_bus)));

    // Before the system sleeps the controllers let go and the history is
    // written; after it wakes they come back without a word unless changed.
    SleepWatch sleep_watch(
        [&](const SleepWatch::Ready &ready) {
            registry.prepare_for_sleep([&history, ready] { history.prepare_for_sleep(ready); });
        },
        [&] {
            history.woke();
            registry.wake();
        });

    // The tray, the on-screen level and closing to the tray; the program ends
    // when the shell says so, not on its last window.
    QApplication::setQuitOnLastWindowClosed(false);
    TrayShell shell(window, hot_keys, QDBusConnection::sessionBus());
    // Every ending comes here, once: the window closed for good (its own
    // close, Quit, Ctrl+Q, the tray, a logout) or a signal. From here on
    // the model refuses every action as closing; the write-back goes out
    // after whatever was asked before (an Apply on its way is answered
    // first) and is the last exchange; the program exits with its answer.
    // Not QCoreApplication::quit(): it would ask the windows again.
    const auto end = [&] {
        if (registry.closing())
            return;
        // A question on screen has nobody left to answer it.
        if (QWidget *modal = QApplication::activeModalWidget(); modal && window.isAncestorOf(modal))
            modal->close();
        window.hide();
        registry.end([] { QCoreApplication::exit(0); });
    };
    QObject::connect(&window, &Widget::closed_for_good, &app, end);
    QObject::connect(&shell, &TrayShell::end_requested, &app, end);
    wire_tray(registry, hot_keys, shell);
    QObject::connect(&bus_objects, &ControllerObjects::step_refused, &shell, &TrayShell::show_refusal);
    // A controller the history finds hunting: once a day a notice offers to
    // measure how much of its lamp's light reaches its sensor.
    HuntingNotifier hunting_notice(QDBusConnection::sessionBus());
    QObject::connect(&history, &HistoryRecorder::hunting_seen, &hunting_notice, &HuntingNotifier::hunting_seen);
    QObject::connect(&hunting_notice, &HuntingNotifier::measure_requested, &window, &Widget::measure_coupling_of);
    QObject::connect(&shell, &TrayShell::refused_in_window, &window,
                     [&window](Refusal why) { window.status_line()->report(Outcome::refused(why)); });

    registry.start();
    shell.start(options.background);
    // The history's database is opened once the window is on screen; what
    // happens meanwhile is recorded for it. The system bus (connecting
    // blocks) is not needed for a sleep in the first instants either.
    after_first_frame(window, [&history, &sleep_watch] {
        history.start();
        sleep_watch.follow(QDBusConnection::systemBus());
    });
    const int exit_code = app.exec();
    // The loop left by itself (the identification error): the same end,
    // with that exit code. The exchange's own time limits bound the wait.
    if (!registry.closing()) {
        QEventLoop written;
        registry.end([&written] { written.quit(); });
        written.exec();
    }
    return exit_code;
}
