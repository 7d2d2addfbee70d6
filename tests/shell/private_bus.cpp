#include "private_bus.h"

#include <QRegularExpression>

bool PrivateBus::start(QString *why)
{
    daemon_ = std::make_unique<ProbeProcess>(
        QStringLiteral("dbus-daemon"),
        QStringList{QStringLiteral("--config-file=" PRIVATE_BUS_CONFIG),
                    QStringLiteral("--print-address=1"), QStringLiteral("--nofork")},
        QProcessEnvironment::systemEnvironment());
    daemon_->wait_for_output();
    address_ = daemon_->lines().value(0);
    if (address_.isEmpty())
        *why = QStringLiteral("dbus-daemon did not start: ") + daemon_->errors();
    return !address_.isEmpty();
}

std::unique_ptr<ProbeProcess> PrivateBus::start_portal(const QStringList &options) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    auto portal = std::make_unique<ProbeProcess>(QStringLiteral(FAKE_PORTAL_PATH), options, env);
    return portal->wait_for_line(QStringLiteral("ready")) ? std::move(portal) : nullptr;
}

QString portal_session(const QStringList &record)
{
    static const QRegularExpression created(QStringLiteral("^CreateSession\\(a\\{sv\\}\\) session=(\\S+)$"));
    for (const QString &line : record) {
        const QRegularExpressionMatch match = created.match(line);
        if (match.hasMatch())
            return match.captured(1);
    }
    return {};
}
