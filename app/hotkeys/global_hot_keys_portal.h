#pragma once

#include "global_hot_keys_platform.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <vector>

class QDBusError;
class QDBusObjectPath;

// System-wide hot keys in a Wayland session, through the desktop portal's
// GlobalShortcuts interface: the desktop owns the keys and tells us when one
// is pressed. The first time, the desktop shows its own dialog where the user
// confirms the keys or picks others; later sessions get the user's choice.
//
// Nothing here waits but the closing of the session, briefly: the keys
// grabbed before the event loop first runs are bound in one go from there
// (the portal binds a session's shortcuts once), and every answer arrives as
// a signal. When the portal cannot give the keys
// (none on the bus, no GlobalShortcuts, the user declined, it bound none, no
// answer in time) `lost` hears why; the program goes on without them.
class PortalHotKeyGrabber final : public QObject, public HotKeyGrabber
{
    Q_OBJECT

public:
    PortalHotKeyGrabber(std::function<void(int)> pressed, HotKeysLost lost);
    // Closes the portal session, waiting a moment at most.
    ~PortalHotKeyGrabber() override;

    // True when the key will be asked for; false once the keys have been
    // sent to the portal.
    bool grab(int id, char key) override;

private slots:
    void shortcut_activated(const QDBusObjectPath &session, const QString &shortcut_id);

private:
    struct Binding
    {
        int id;
        char key;
        QString name; // the shortcut's id at the portal
        QString description;
    };

    void register_application();
    void create_session();
    void session_created(uint response, const QVariantMap &results);
    void bind_shortcuts();
    bool all_bound(const QVariantMap &results) const;
    void request_failed(const QDBusError &error);
    void give_up(const char *why, const QString &detail = QString());

    QDBusConnection bus_;
    std::function<void(int)> pressed_;
    HotKeysLost lost_;
    const int timeout_ms_;
    std::vector<Binding> bindings_;
    bool started_ = false;
    QString session_path_;
};
