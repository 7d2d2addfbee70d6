#include "portal_request.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

#include <unistd.h>

const QString PortalRequest::SERVICE = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalRequest::PATH = QStringLiteral("/org/freedesktop/portal/desktop");

QString PortalRequest::new_token()
{
    static int serial = 0;
    return QStringLiteral("morvane_pwm_%1_%2").arg(::getpid()).arg(++serial);
}

QString PortalRequest::object_path(const QDBusConnection &bus, const QString &kind,
                                   const QString &token)
{
    // ":1.42" becomes "1_42".
    const QString sender = bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return PATH + QLatin1Char('/') + kind + QLatin1Char('/') + sender + QLatin1Char('/') + token;
}

PortalRequest::PortalRequest(const QDBusConnection &bus, const QString &interface,
                             const QString &method, QVariantList arguments, int timeout_ms,
                             QObject *parent)
    : QObject(parent), bus_(bus)
{
    const QString token = new_token();
    QVariantMap options = arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);
    bus_.connect(SERVICE, object_path(bus_, QStringLiteral("request"), token),
                 QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                 this, SLOT(response(uint, QVariantMap)));

    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, [this] {
        fail(QDBusError(QDBusError::NoReply, QStringLiteral("no answer")));
    });
    timeout_.start(timeout_ms);

    QDBusMessage call = QDBusMessage::createMethodCall(SERVICE, PATH, interface, method);
    call.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, timeout_ms), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalRequest::call_returned);
}

// The path the call returns is ours: portals with GlobalShortcuts (1.17 and
// later) all build it from handle_token. Only an error matters here.
void PortalRequest::call_returned(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    if (call->isError())
        fail(call->error());
}

void PortalRequest::response(uint response, const QVariantMap &results)
{
    if (done_)
        return;
    done_ = true;
    timeout_.stop();
    emit answered(response, results);
    deleteLater();
}

void PortalRequest::fail(const QDBusError &error)
{
    if (done_)
        return;
    done_ = true;
    timeout_.stop();
    emit failed(error);
    deleteLater();
}
