#include "e2e_session.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>

#include <sys/prctl.h>

#include <algorithm>
#include <chrono>
#include <csignal>

namespace {

constexpr int START_TIMEOUT_MS = 10000;
constexpr int WINDOW_MANAGER_TIMEOUT_MS = 5000;

QString window_arg(qulonglong window)
{
    return QStringLiteral("0x") + QString::number(window, 16);
}

QList<qulonglong> decimal_ids(const QByteArray &text)
{
    QList<qulonglong> ids;
    for (const QByteArray &line : text.split('\n')) {
        bool ok = false;
        const qulonglong id = line.trimmed().toULongLong(&ok);
        if (ok)
            ids.append(id);
    }
    return ids;
}

QList<qulonglong> hex_ids(const QString &text)
{
    QList<qulonglong> ids;
    static const QRegularExpression id(QStringLiteral("0x([0-9a-fA-F]+)"));
    for (auto match = id.globalMatch(text); match.hasNext();)
        ids.append(match.next().captured(1).toULongLong(nullptr, 16));
    return ids;
}

QByteArray read_all(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void tie_to_test(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

QString sim_preload()
{
#ifdef E2E_SANITIZER_RUNTIME
    // A sanitized program wants its runtime (AddressSanitizer's or
    // ThreadSanitizer's) first in the library list; the preload library
    // would otherwise come before it. The sanitizer options (leak checking,
    // the report exit code) pass on to the program, so a leak or a race
    // shows as an abnormal exit.
    return QStringLiteral(E2E_SANITIZER_RUNTIME) + QLatin1Char(':') + QStringLiteral(E2E_PRELOAD_LIBRARY);
#else
    return QStringLiteral(E2E_PRELOAD_LIBRARY);
#endif
}

qint64 monotonic_ms()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool wait_until(const std::function<bool()> &done, int timeout_ms)
{
    const qint64 deadline = monotonic_ms() + timeout_ms;
    while (!done()) {
        if (monotonic_ms() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    return true;
}

QVariant program_property(const QString &name, int timeout_ms)
{
    QDBusMessage get = QDBusMessage::createMethodCall(QStringLiteral("io.github.morvane.pwm"),
                                                      QStringLiteral("/io/github/morvane/pwm"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QStringLiteral("io.github.morvane.pwm.Controller") << name;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, timeout_ms);
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

// --- The wire log ----------------------------------------------------------

bool same_configuration(const ConfigBlock &a, const ConfigBlock &b)
{
    return std::equal(a.bytes.begin() + ConfigBlock::STATUS_SIZE, a.bytes.end(),
                      b.bytes.begin() + ConfigBlock::STATUS_SIZE);
}

int WireReport::command() const
{
    const int at = out ? 1 : 0;
    return bytes.size() > at ? quint8(bytes[at]) : -1;
}

QByteArray WireReport::payload() const
{
    return bytes.mid(out ? 2 : 1);
}

ConfigBlock WireReport::block() const
{
    ConfigBlock block;
    const QByteArray bytes = payload();
    for (int i = 0; i < ConfigBlock::SIZE && i < bytes.size(); ++i)
        block.bytes[size_t(i)] = quint8(bytes[i]);
    return block;
}

int WireReport::pwm_width() const
{
    const QByteArray bytes = payload();
    return bytes.size() < 2 ? -1 : quint8(bytes[0]) * 4 + quint8(bytes[1]);
}

QList<WireReport> Wire::requests(int command) const
{
    QList<WireReport> found;
    for (const WireReport &report : reports) {
        if (report.out && (command < 0 || report.command() == command))
            found.append(report);
    }
    return found;
}

QList<WireReport> Wire::replies(int command) const
{
    QList<WireReport> found;
    for (const WireReport &report : reports) {
        if (!report.out && report.command() == command)
            found.append(report);
    }
    return found;
}

QList<int> Wire::request_commands() const
{
    QList<int> commands;
    for (const WireReport &report : requests())
        commands.append(report.command());
    return commands;
}

Wire Wire::since(qint64 ms) const
{
    Wire later;
    for (const WireReport &report : reports) {
        if (report.ms >= ms)
            later.reports.append(report);
    }
    return later;
}

std::optional<WireReport> Wire::first_after(qint64 ms, bool out, int command) const
{
    for (const WireReport &report : reports) {
        if (report.ms >= ms && report.out == out && report.command() == command)
            return report;
    }
    return std::nullopt;
}

// --- The control directory ---------------------------------------------------

SimController::SimController() = default;

void SimController::set(const QString &file, const QString &content) const
{
    QDir(dir_.path()).mkpath(QFileInfo(file).path()); // a further controller's own directory
    QSaveFile out(dir_.filePath(file));
    if (out.open(QIODevice::WriteOnly)) {
        out.write(content.toUtf8() + '\n');
        out.commit();
    }
}

QString SimController::log(const QString &controller, const QString &name) const
{
    return dir_.filePath(controller.isEmpty() ? name : controller + QLatin1Char('/') + name);
}

Wire SimController::wire(const QString &controller) const
{
    Wire wire;
    for (const QByteArray &line : read_all(log(controller, QStringLiteral("wire.log"))).split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3 || (fields[1] != "out" && fields[1] != "in"))
            continue;
        WireReport report;
        report.ms = fields[0].toLongLong();
        report.out = fields[1] == "out";
        report.bytes = QByteArray::fromHex(line.mid(fields[0].size() + fields[1].size() + 2));
        wire.reports.append(report);
    }
    return wire;
}

bool SimController::wait_for_wire(const std::function<bool(const Wire &)> &done, int timeout_ms,
                                  const QString &controller) const
{
    return wait_until([&] { return done(wire(controller)); }, timeout_ms);
}

QStringList SimController::events(const QString &controller) const
{
    const QString text = QString::fromUtf8(read_all(log(controller, QStringLiteral("events.log"))));
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QList<qint64> SimController::event_times(const QString &text, const QString &controller) const
{
    QList<qint64> times;
    for (const QString &line : events(controller)) {
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        if (blank > 0 && line.mid(blank + 1).startsWith(text))
            times.append(line.left(blank).toLongLong());
    }
    return times;
}

qint64 SimController::event_ms(const QString &text, const QString &controller) const
{
    const QList<qint64> times = event_times(text, controller);
    return times.isEmpty() ? -1 : times.first();
}

// --- The X session -------------------------------------------------------------

XSession::~XSession()
{
    for (QProcess *process : {wm_.get(), xvfb_.get()}) {
        if (process && process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
}

bool XSession::start(QString *why)
{
    // -displayfd: the server picks a free display and writes its number to
    // our pipe, so parallel test programs never collide.
    xvfb_ = std::make_unique<QProcess>();
    tie_to_test(*xvfb_);
    xvfb_->setStandardErrorFile(QProcess::nullDevice());
    xvfb_->start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
    QByteArray number;
    const bool up = xvfb_->waitForStarted(START_TIMEOUT_MS) && wait_until([&] {
        number += xvfb_->readAllStandardOutput();
        return number.contains('\n') || xvfb_->state() == QProcess::NotRunning;
    }, START_TIMEOUT_MS) && number.contains('\n');
    if (!up) {
        *why = QStringLiteral("Xvfb cannot start here (%1)").arg(xvfb_->errorString());
        return false;
    }
    display_ = QStringLiteral(":") + QString::fromLatin1(number.trimmed());

    wm_ = std::make_unique<QProcess>();
    tie_to_test(*wm_);
    wm_->setProcessEnvironment(environment());
    wm_->setStandardOutputFile(QProcess::nullDevice());
    wm_->setStandardErrorFile(QProcess::nullDevice());
    wm_->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    // A window manager announces itself on the root window.
    const bool managed = wm_->waitForStarted(START_TIMEOUT_MS) && wait_until([this] {
        return tool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
            .out.contains("window id");
    }, START_TIMEOUT_MS);
    if (!managed) {
        *why = QStringLiteral("openbox cannot start on Xvfb %1").arg(display_);
        return false;
    }
    return true;
}

QProcessEnvironment XSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.remove(QStringLiteral("LD_PRELOAD"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    for (const char *name : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "DBUS_SESSION_BUS_ADDRESS"})
        env.remove(QLatin1String(name));
    env.insert(session_);
    return env;
}

ToolResult XSession::tool(const QString &program, const QStringList &args, int timeout_ms) const
{
    QProcess process;
    tie_to_test(process);
    process.setProcessEnvironment(environment());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, args);
    ToolResult result;
    result.finished = process.waitForFinished(timeout_ms);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(1000);
        return result;
    }
    result.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    return result;
}

QList<qulonglong> XSession::visible_windows(qint64 pid) const
{
    return decimal_ids(tool(QStringLiteral("xdotool"),
                            {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--pid"), QString::number(pid)})
                           .out);
}

QString XSession::property(qulonglong window, const QString &name) const
{
    return QString::fromUtf8(
        tool(QStringLiteral("xprop"), {QStringLiteral("-id"), window_arg(window), name}).out);
}

qulonglong XSession::active_window() const
{
    const QList<qulonglong> ids = hex_ids(QString::fromUtf8(
        tool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_ACTIVE_WINDOW")}).out));
    return ids.isEmpty() ? 0 : ids.first();
}

QList<qulonglong> XSession::stacking_order() const
{
    return hex_ids(QString::fromUtf8(
        tool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")})
            .out));
}

bool XSession::iconic(qulonglong window) const
{
    return property(window, QStringLiteral("WM_STATE")).contains(QLatin1String("Iconic"));
}

bool XSession::activate(qulonglong window) const
{
    tool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), window_arg(window)});
    return wait_until([&] { return active_window() == window; }, WINDOW_MANAGER_TIMEOUT_MS);
}

bool XSession::minimize(qulonglong window) const
{
    tool(QStringLiteral("xdotool"), {QStringLiteral("windowminimize"), window_arg(window)});
    return wait_until([&] { return iconic(window); }, WINDOW_MANAGER_TIMEOUT_MS);
}

bool XSession::close_request(qulonglong window) const
{
    return tool(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), window_arg(window)})
               .exit_code == 0;
}

bool XSession::click(qulonglong window, int x, int y, int button) const
{
    return tool(QStringLiteral("xdotool"),
                {QStringLiteral("mousemove"), QStringLiteral("--window"), window_arg(window),
                 QString::number(x), QString::number(y), QStringLiteral("click"), QString::number(button)})
               .exit_code == 0;
}

bool XSession::keys(const QStringList &keys) const
{
    return tool(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + keys).exit_code == 0;
}

QByteArray XSession::image(qulonglong window, FormPoint at, int size) const
{
    const QString area = QStringLiteral("%1x%1+%2+%3").arg(size).arg(at.x - size / 2).arg(at.y - size / 2);
    return tool(QStringLiteral("import"), {QStringLiteral("-window"), window_arg(window), QStringLiteral("-crop"),
                                           area, QStringLiteral("+repage"), QStringLiteral("rgb:-")})
        .out;
}

// --- Another program's window ----------------------------------------------------

OtherWindow::OtherWindow(const XSession &x)
{
    // xmessage does not name its process on its window; a title of its own
    // finds it.
    static int serial = 0;
    const QString title = QStringLiteral("e2e-other-%1-%2").arg(QCoreApplication::applicationPid()).arg(++serial);
    tie_to_test(process_);
    process_.setProcessEnvironment(x.environment());
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start(QStringLiteral("xmessage"),
                   {QStringLiteral("-title"), title, QStringLiteral("-geometry"), QStringLiteral("+0+0"),
                    QStringLiteral("another program")});
    if (!process_.waitForStarted(START_TIMEOUT_MS))
        return;
    wait_until([&] {
        const QList<qulonglong> windows = decimal_ids(
            x.tool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                               QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')})
                .out);
        window_ = windows.isEmpty() ? 0 : windows.first();
        return window_ != 0;
    }, START_TIMEOUT_MS);
}

OtherWindow::~OtherWindow()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

// --- One run of the program -------------------------------------------------------

AppRun::AppRun(const XSession &x, const SimController &sim, const QString &runtime_dir)
    : x_(x), runtime_dir_(runtime_dir)
{
    static int serial = 0;
    QProcessEnvironment env = x.environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_dir);
    env.insert(QStringLiteral("MORVANE_SIM_DIR"), sim.path());
    env.insert(QStringLiteral("LD_PRELOAD"), sim_preload());
    tie_to_test(process_);
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    // A file rather than a pipe: a chatty program can never block on it.
    output_path_ = sim.path() + QStringLiteral("/output-%1.txt").arg(++serial);
    process_.setStandardOutputFile(output_path_);
    process_.setProgram(QStringLiteral(E2E_PROGRAM));
}

AppRun::~AppRun()
{
    if (running()) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

void AppRun::set_variable(const QString &name, const QString &value)
{
    QProcessEnvironment env = process_.processEnvironment();
    if (value.isNull())
        env.remove(name);
    else
        env.insert(name, value);
    process_.setProcessEnvironment(env);
}

bool AppRun::start()
{
    process_.start();
    return process_.waitForStarted(START_TIMEOUT_MS);
}

qulonglong AppRun::launch()
{
    return start() ? wait_for_window() : 0;
}

qulonglong AppRun::wait_for_window(int timeout_ms)
{
    qulonglong found = 0;
    wait_until([&] {
        const QByteArray ids = x_.tool(QStringLiteral("xdotool"),
                                       // --all: xdotool otherwise takes any window of the pid.
                                       {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--pid"), QString::number(pid()),
                                        QStringLiteral("--name"), QStringLiteral("^%1$").arg(QLatin1String(WINDOW_TITLE))})
                                   .out;
        const QList<qulonglong> windows = decimal_ids(ids);
        found = windows.isEmpty() ? 0 : windows.first();
        return found != 0 || !running();
    }, timeout_ms);
    return found;
}

qulonglong AppRun::wait_for_dialog(qulonglong main_window, int timeout_ms)
{
    qulonglong found = 0;
    wait_until([&] {
        for (qulonglong window : x_.visible_windows(pid())) {
            if (window != main_window)
                found = window;
        }
        return found != 0 || !running();
    }, timeout_ms);
    return found;
}

QStringList AppRun::left_behind() const
{
    QStringList files;
    for (const QString &dir : {qEnvironmentVariable("MORVANE_PWM_LOCK_DIR"), runtime_dir_}) {
        if (dir.isEmpty())
            continue;
        for (const QFileInfo &file : QDir(dir).entryInfoList({QStringLiteral("*morvane*")},
                                                             QDir::Files | QDir::System | QDir::Hidden))
            files << file.filePath();
    }
    return files;
}

bool AppRun::wait_for_exit(int timeout_ms)
{
    return !running() || process_.waitForFinished(timeout_ms);
}

int AppRun::exit_code() const
{
    if (running() || process_.exitStatus() != QProcess::NormalExit)
        return -1;
    return process_.exitCode();
}

QByteArray AppRun::output() const
{
    return read_all(output_path_);
}
