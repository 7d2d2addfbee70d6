#pragma once

#include "probe_process.h"

#include <memory>

// A private session bus (dbus-daemon) for the hot-key tests, and the fake
// desktop portal on it.
class PrivateBus
{
public:
    // Starts dbus-daemon; false, saying why, when it cannot.
    bool start(QString *why);
    QString address() const { return address_; }

    // Starts fake_portal with these options and waits until it owns its name.
    std::unique_ptr<ProbeProcess> start_portal(const QStringList &options) const;

private:
    std::unique_ptr<ProbeProcess> daemon_;
    QString address_;
};

// The session path from a fake portal's record of calls ("" before
// CreateSession).
QString portal_session(const QStringList &record);
