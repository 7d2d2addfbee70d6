#pragma once

// The parts of a user's desktop the tray and the on-screen level meet, real
// programs from Debian on the test's X session and private bus: trayer (an
// XEmbed tray) and dunst (a notification server).

#include "e2e_session.h"

#include <QJsonArray>
#include <QTemporaryDir>

class TrayHost
{
public:
    ~TrayHost();
    bool start(const XSession &x, QString *why);
    void stop();
    // The icon window of this program that the tray embedded, or 0.
    qulonglong icon(const QString &program_name) const;

private:
    const XSession *x_ = nullptr;
    std::unique_ptr<QProcess> process_;
};

class NotificationServer
{
public:
    ~NotificationServer();
    // Notifications stay until closed, whatever time-out they ask for, so
    // that what a test counts cannot expire meanwhile.
    bool start(const XSession &x, QString *why);
    int displayed() const;
    // Closes every notification shown, into the history.
    void close_all() const;
    // Starts a test's history: what is closed after this.
    void mark();
    // The history since mark(), newest first: dunstctl's objects.
    QJsonArray history() const;

private:
    const XSession *x_ = nullptr;
    QTemporaryDir config_;
    int marked_id_ = 0;
    std::unique_ptr<QProcess> process_;
};
