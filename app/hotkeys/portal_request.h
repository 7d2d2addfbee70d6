#pragma once

#include <QDBusConnection>
#include <QDBusError>
#include <QObject>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

class QDBusPendingCallWatcher;

// One call on the desktop portal that answers through a Request object: the
// call itself returns at once, the outcome comes later in the Request's
// Response signal, perhaps after the desktop has shown a dialog. The Request's
// path follows from our unique bus name and a token of ours, so the answer is
// listened for before the call goes out and cannot slip past.
class PortalRequest : public QObject
{
    Q_OBJECT

public:
    static const QString SERVICE; // org.freedesktop.portal.Desktop
    static const QString PATH;    // /org/freedesktop/portal/desktop

    // A token for a request or a session handle, unique in this process.
    static QString new_token();
    // Where the portal puts the object of this kind ("request", "session")
    // that it makes for us under token.
    static QString object_path(const QDBusConnection &bus, const QString &kind, const QString &token);

    // Calls interface.method on the portal. The last of arguments is the
    // options map; the request's handle_token is added to it. Whatever
    // happens, exactly one of answered() and failed() follows, the latter
    // at the latest after timeout_ms; then the request deletes itself.
    PortalRequest(const QDBusConnection &bus, const QString &interface, const QString &method,
                  QVariantList arguments, int timeout_ms, QObject *parent = nullptr);

signals:
    // response: 0 done, 1 the user cancelled, 2 ended otherwise.
    void answered(uint response, const QVariantMap &results);
    // The call failed (no portal, no such interface, refused) or nothing
    // came in time (QDBusError::NoReply).
    void failed(const QDBusError &error);

private slots:
    void response(uint response, const QVariantMap &results);

private:
    void call_returned(QDBusPendingCallWatcher *call);
    void fail(const QDBusError &error);

    QDBusConnection bus_;
    QTimer timeout_;
    bool done_ = false;
};
