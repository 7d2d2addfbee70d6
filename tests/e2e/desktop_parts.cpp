#include "desktop_parts.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

std::unique_ptr<QProcess> start_program(const XSession &x, const QString &program, const QStringList &args)
{
    auto process = std::make_unique<QProcess>();
    tie_to_test(*process);
    process->setProcessEnvironment(x.environment());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(program, args);
    if (!process->waitForStarted(5000))
        return nullptr;
    return process;
}

void stop_program(std::unique_ptr<QProcess> &process)
{
    if (!process)
        return;
    process->kill();
    process->waitForFinished(5000);
}

} // namespace

TrayHost::~TrayHost()
{
    stop_program(process_);
}

NotificationServer::~NotificationServer()
{
    stop_program(process_);
}

bool TrayHost::start(const XSession &x, QString *why)
{
    x_ = &x;
    process_ = start_program(x, QStringLiteral("trayer"),
                             {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                              QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                              QStringLiteral("--height"), QStringLiteral("24")});
    // The tray is there once it owns the tray selection of screen 0.
    if (!process_ || !wait_until([&] {
            return x.tool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--class"),
                                                      QStringLiteral("trayer")})
                       .exit_code == 0;
        }, 10000)) {
        *why = QStringLiteral("trayer (Debian package trayer) did not start");
        return false;
    }
    return true;
}

void TrayHost::stop()
{
    stop_program(process_);
}

qulonglong TrayHost::icon(const QString &program_name) const
{
    // Windows the tray embedded are below its panel, not on the root window.
    const QString tree = QString::fromUtf8(
        x_->tool(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}).out);
    const QRegularExpression embedded(QStringLiteral("^ {9,}(0x[0-9a-f]+) \"%1\": \\(\"%1\"")
                                          .arg(QRegularExpression::escape(program_name)),
                                      QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = embedded.match(tree);
    return match.hasMatch() ? match.captured(1).toULongLong(nullptr, 16) : 0;
}

bool NotificationServer::start(const XSession &x, QString *why)
{
    x_ = &x;
    QFile config(config_.filePath(QStringLiteral("dunstrc")));
    if (!config.open(QIODevice::WriteOnly)
        || config.write("[never_expire]\nappname = *\noverride_dbus_timeout = 0\n") < 0) {
        *why = QStringLiteral("cannot write a dunst configuration");
        return false;
    }
    config.close();
    process_ = start_program(x, QStringLiteral("dunst"), {QStringLiteral("-config"), config.fileName()});
    if (!process_ || !wait_until([&] {
            return x.tool(QStringLiteral("dunstctl"), {QStringLiteral("is-paused")}).exit_code == 0;
        }, 10000)) {
        *why = QStringLiteral("dunst (Debian package dunst) did not start");
        return false;
    }
    return true;
}

int NotificationServer::displayed() const
{
    return x_->tool(QStringLiteral("dunstctl"), {QStringLiteral("count"), QStringLiteral("displayed")})
        .out.trimmed()
        .toInt();
}

void NotificationServer::close_all() const
{
    x_->tool(QStringLiteral("dunstctl"), {QStringLiteral("close-all")});
}

namespace {

int id_of(const QJsonValue &notification)
{
    return notification.toObject().value(QStringLiteral("id")).toObject().value(QStringLiteral("data")).toInt();
}

QJsonArray whole_history(const XSession &x)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(x.tool(QStringLiteral("dunstctl"), {QStringLiteral("history")}).out);
    return document.object().value(QStringLiteral("data")).toArray().at(0).toArray();
}

} // namespace

void NotificationServer::mark()
{
    close_all();
    const QJsonArray history = whole_history(*x_);
    marked_id_ = history.isEmpty() ? marked_id_ : id_of(history.at(0));
}

QJsonArray NotificationServer::history() const
{
    QJsonArray since;
    for (const QJsonValue &notification : whole_history(*x_)) {
        if (id_of(notification) > marked_id_)
            since.append(notification);
    }
    return since;
}
