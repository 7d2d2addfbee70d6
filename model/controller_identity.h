#pragma once

#include <QSet>
#include <QString>

#include <vector>

// Who a controller is: what an export names, and what tells one controller
// from another for people, the history and D-Bus. Never a lock's key: two
// processes may see different ids for the same device node.
struct ControllerIdentity
{
    int vendor_id = 0;
    int product_id = 0;
    int firmware_version = 0;
    QString serial; // as the controller reports it; empty when none
    QString port;   // USB port ("1-2.3"); empty where the system cannot tell
    QString path;   // device node
    // "sn:<serial>", "sn:<serial>@<port>" once a twin was seen, "usb:<port>"
    // or "path:<path>"; empty until assigned.
    QString id;
};

// Gives each present controller its id: sn:<serial> when the serial is
// non-empty and unique among those present, else usb:<port>, else
// path:<path>. A serial seen twice is added to *twin_serials and its
// controllers keep sn:<serial>@<port> from then on, whether or not the twin
// is present, so plugging and unplugging it never moves the other's id.
void assign_controller_ids(std::vector<ControllerIdentity> &present, QSet<QString> *twin_serials);

// `text` as a name for files and D-Bus object paths: each byte of its UTF-8
// outside [A-Za-z0-9] becomes _xx (two lowercase hex digits).
QString escaped_name(const QString &text);

// The serials seen on two controllers at once, kept across runs (and read by
// morvane-pwmctl, which must name controllers as the program does).
QSet<QString> remembered_twin_serials();
void remember_twin_serials(const QSet<QString> &serials);
