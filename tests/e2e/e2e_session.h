#pragma once

// Whole-program test harness: a virtual X display with a window manager, the
// control directory of a simulated controller, and runs of the real program
// with the simulated hidapi library preloaded. Every wait is bounded, and
// only processes started here are ever stopped.

#include "protocol/commands.h"
#include "protocol/config_block.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

// Points in the main window's client area where layouts place the controls
// at the default font (DejaVu Sans 9 pt on Xvfb) and the window's 774 x 300, with a one-line status line.
struct FormPoint
{
    int x;
    int y;
};
// The check box in the title of groupBox_5: manual regulation.
constexpr FormPoint MANUAL_REGULATION_CHECK{576, 131};
// pwm_smooth_alg_checkBox's box, beside the switching delay.
constexpr FormPoint SMOOTHING_CHECK{280, 216};
// apply_pushButton, at the right end of the automatic group's last row.
constexpr FormPoint APPLY_BUTTON{514, 243};

// Every process the tests start dies with the test program, even when that
// crashes or is killed for taking too long: no X server is left behind.
void tie_to_test(QProcess &process);

// LD_PRELOAD for a program that is to meet the simulated controller instead
// of hidapi (in a sanitized build, the sanitizer's runtime comes first).
QString sim_preload();

// Milliseconds of the monotonic clock, the clock of the wire log.
qint64 monotonic_ms();

// Processes events until `done` returns true or timeout_ms have passed.
bool wait_until(const std::function<bool()> &done, int timeout_ms);

// A property of the running program's D-Bus interface, read over the session
// bus; invalid when no answer came within timeout_ms.
QVariant program_property(const QString &name, int timeout_ms = -1);

// Bytes 5..36 of the two blocks are the same.
bool same_configuration(const ConfigBlock &a, const ConfigBlock &b);

// One report in the simulated controller's wire log.
struct WireReport
{
    qint64 ms = 0;
    bool out = false;  // host to controller
    QByteArray bytes;  // out: as written, report ID first; in: as the host read it

    int command() const;        // out: byte 1; in: byte 0; -1 when too short
    QByteArray payload() const; // the bytes after the command
    // The payload read as a ConfigBlock (a reply to cmd_read_state, a cmd_write_config).
    ConfigBlock block() const;
    // The width a cmd_set_pwm_width request carries: byte 0 * 4 + byte 1.
    int pwm_width() const;
};

// What the wire log shows, with a few questions tests keep asking.
struct Wire
{
    QList<WireReport> reports;

    QList<WireReport> requests(int command = -1) const; // out, of one command or all
    QList<WireReport> replies(int command) const;       // in, echoing one command
    QList<int> request_commands() const;
    // Reports after ms (the moment of an event), in order.
    Wire since(qint64 ms) const;
    // The first report at or after ms, if any.
    std::optional<WireReport> first_after(qint64 ms, bool out, int command) const;
};

// The control directory of one simulated controller (MORVANE_SIM_DIR).
class SimController
{
public:
    SimController();

    bool valid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }

    // Replaces a control file whole (a rename), so the library never reads
    // half of it and always sees it as changed.
    void set(const QString &file, const QString &content) const;
    // The logs of the first controller, or of the one named in the
    // `controllers` file.
    Wire wire(const QString &controller = QString()) const;
    QStringList events(const QString &controller = QString()) const;
    // Waits until the wire log satisfies `done`.
    bool wait_for_wire(const std::function<bool(const Wire &)> &done, int timeout_ms = 10000,
                       const QString &controller = QString()) const;
    // The moments of the event lines that start with `text`.
    QList<qint64> event_times(const QString &text, const QString &controller = QString()) const;
    // The first of them, or -1.
    qint64 event_ms(const QString &text, const QString &controller = QString()) const;

private:
    QString log(const QString &controller, const QString &name) const;

    QTemporaryDir dir_;
};

struct ToolResult
{
    bool finished = false;
    int exit_code = -1;
    QByteArray out;
};

// Xvfb on a display number of its own choosing, with openbox on it.
class XSession
{
public:
    ~XSession();

    // Returns false, saying why, when either cannot be started.
    bool start(QString *why);
    QString display() const { return display_; }
    // The caller's environment without its desktop session (Wayland, session
    // bus): programs started here never reach the developer's real portal or
    // bus. set_session_variable() gives them one of the test's own.
    QProcessEnvironment environment() const;
    // A null value takes the test's own back.
    void set_session_variable(const QString &name, const QString &value)
    {
        value.isNull() ? session_.remove(name) : session_.insert(name, value);
    }

    // Runs an X client tool to its end (bounded).
    ToolResult tool(const QString &program, const QStringList &args, int timeout_ms = 5000) const;

    QList<qulonglong> visible_windows(qint64 pid) const;
    QString property(qulonglong window, const QString &name) const;
    qulonglong active_window() const;
    QList<qulonglong> stacking_order() const; // bottom to top
    bool iconic(qulonglong window) const;
    bool activate(qulonglong window) const;   // asks the window manager, waits for it
    bool minimize(qulonglong window) const;   // waits until iconified
    bool close_request(qulonglong window) const; // the window manager's close
    // A click at a point of the window, through XTEST.
    bool click(qulonglong window, int x, int y, int button = 1) const;
    // Key presses through XTEST ("ctrl+alt+p"), to whatever has the focus.
    bool keys(const QStringList &keys) const;
    // The pixels of a square of the window around `at`, as the X server holds them.
    QByteArray image(qulonglong window, FormPoint at, int size = 16) const;

private:
    std::unique_ptr<QProcess> xvfb_;
    std::unique_ptr<QProcess> wm_;
    QString display_;
    QProcessEnvironment session_;
};

// A window of another program, to take the focus away from ours.
class OtherWindow
{
public:
    explicit OtherWindow(const XSession &x);
    ~OtherWindow();
    qulonglong window() const { return window_; }

private:
    QProcess process_;
    qulonglong window_ = 0;
};

// One run of the real program with the simulated controller in front of hidapi.
class AppRun
{
public:
    static constexpr const char *WINDOW_TITLE = "Morvane PWM beta6";

    AppRun(const XSession &x, const SimController &sim, const QString &runtime_dir);
    ~AppRun();

    // Command-line arguments for the next start.
    void set_arguments(const QStringList &arguments) { process_.setArguments(arguments); }
    // An environment variable for the next start; a null value removes it.
    void set_variable(const QString &name, const QString &value);
    bool start();
    // Starts the program and waits for its main window; 0 when none came.
    qulonglong launch();
    qint64 pid() const { return process_.processId(); }
    bool running() const { return process_.state() != QProcess::NotRunning; }
    // The main window once it is visible, or 0.
    qulonglong wait_for_window(int timeout_ms = 15000);
    // A visible window of this run other than the main one (a message box).
    qulonglong wait_for_dialog(qulonglong main_window, int timeout_ms);
    bool wait_for_exit(int timeout_ms);
    // The exit code of a normal exit; -1 after a crash or while running.
    int exit_code() const;
    // What the program printed, for failure messages.
    QByteArray output() const;
    // The device lock and single-instance files still there (after the exit: none).
    QStringList left_behind() const;

private:
    const XSession &x_;
    QProcess process_;
    QString output_path_;
    QString runtime_dir_;
};
