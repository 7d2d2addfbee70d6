// Hot keys through the desktop portal: org.freedesktop.portal.GlobalShortcuts.

#include "global_hot_keys_portal.h"

#include "hot_key_ids.h"
#include "portal_request.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString GLOBAL_SHORTCUTS = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
// The name of the desktop entry, by which the desktop lists our shortcuts.
const QString APPLICATION_ID = QStringLiteral("io.github.morvane.pwm");
// How long one step may take, the user's time in the desktop's dialog
// included. MORVANE_PORTAL_TIMEOUT_MS overrides it (the tests shorten it).
constexpr int DEFAULT_TIMEOUT_MS = 60000;
constexpr int CLOSE_TIMEOUT_MS = 1000;
// The same every start: desktops name the component that keeps the user's
// keys after the session's token, so a new token each time would lose them.
const QString SESSION_TOKEN = QStringLiteral("morvane_pwm");

// The window's keys, Ctrl+Alt+P and Ctrl+Alt+M, under ids the desktop keeps
// across runs, so that the user's choice of keys sticks.
struct ShortcutName
{
    int id;
    const char *name;
    const char *description;
};
constexpr ShortcutName WINDOW_SHORTCUTS[] = {
    {HOTKEY_PWM_UP, "brighter", QT_TRANSLATE_NOOP("PortalHotKeyGrabber", "Ярче (ручная регулировка)")},
    {HOTKEY_PWM_DOWN, "dimmer", QT_TRANSLATE_NOOP("PortalHotKeyGrabber", "Темнее (ручная регулировка)")},
};

// One entry of the a(sa{sv}) that BindShortcuts takes.
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

PortalHotKeyGrabber::PortalHotKeyGrabber(std::function<void(int)> pressed, HotKeysLost lost)
    : bus_(QString()), pressed_(std::move(pressed)), lost_(std::move(lost)),
      timeout_ms_(qEnvironmentVariableIntValue("MORVANE_PORTAL_TIMEOUT_MS") > 0
                      ? qEnvironmentVariableIntValue("MORVANE_PORTAL_TIMEOUT_MS")
                      : DEFAULT_TIMEOUT_MS)
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    // The keys are grabbed right after construction; the bus and the
    // portal hear of them all together once the event loop runs.
    QMetaObject::invokeMethod(this, [this] { register_application(); }, Qt::QueuedConnection);
}

PortalHotKeyGrabber::~PortalHotKeyGrabber()
{
    // Leaving the bus would close the session too; closing it frees the keys
    // at once. Bounded, so that a stuck portal cannot hold up the exit.
    if (session_path_.isEmpty() || !QCoreApplication::instance())
        return;
    bus_.call(QDBusMessage::createMethodCall(PortalRequest::SERVICE, session_path_,
                                             QStringLiteral("org.freedesktop.portal.Session"),
                                             QStringLiteral("Close")),
              QDBus::Block, CLOSE_TIMEOUT_MS);
}

bool PortalHotKeyGrabber::grab(int id, char key)
{
    if (started_)
        return false;
    Binding binding{id, key, QStringLiteral("hot-key-%1").arg(id), tr("Горячая клавиша %1").arg(id)};
    for (const ShortcutName &known : WINDOW_SHORTCUTS) {
        if (known.id == id) {
            binding.name = QLatin1String(known.name);
            binding.description = tr(known.description);
        }
    }
    bindings_.push_back(binding);
    return true;
}

// Outside a sandbox the portal would guess who we are from the process; the
// host registry (portal 1.19 and later) lets us say it, before any other
// call. Where it is missing the guess stands and the keys still work.
void PortalHotKeyGrabber::register_application()
{
    started_ = true;
    if (bindings_.empty())
        return;
    bus_ = QDBusConnection::sessionBus();
    if (!bus_.isConnected()) {
        give_up(QT_TRANSLATE_NOOP("GlobalHotKeys", "there is no D-Bus session bus"));
        return;
    }
    if (QFileInfo::exists(QStringLiteral("/.flatpak-info"))) {
        create_session();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        PortalRequest::SERVICE, PortalRequest::PATH,
        QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"));
    call << APPLICATION_ID << QVariantMap();
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, timeout_ms_), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusError::ErrorType error = watcher->error().type();
        if (error == QDBusError::ServiceUnknown || error == QDBusError::NoReply
            || error == QDBusError::Timeout)
            request_failed(watcher->error());
        else
            create_session();
    });
}

void PortalHotKeyGrabber::create_session()
{
    const QVariantMap options{{QStringLiteral("session_handle_token"), SESSION_TOKEN}};
    auto *request = new PortalRequest(bus_, GLOBAL_SHORTCUTS, QStringLiteral("CreateSession"),
                                      {options}, timeout_ms_, this);
    connect(request, &PortalRequest::answered, this, &PortalHotKeyGrabber::session_created);
    connect(request, &PortalRequest::failed, this, &PortalHotKeyGrabber::request_failed);
}

void PortalHotKeyGrabber::session_created(uint response, const QVariantMap &results)
{
    // Documented as a string; some portals send an object path.
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    const QString path = handle.metaType() == QMetaType::fromType<QDBusObjectPath>()
        ? handle.value<QDBusObjectPath>().path()
        : handle.toString();
    if (response != 0 || path.isEmpty()) {
        give_up(QT_TRANSLATE_NOOP("GlobalHotKeys", "the desktop portal would not open a session"));
        return;
    }
    session_path_ = path;
    // Listening before binding: the user may press a key the moment the
    // dialog closes. Only the portal's own signals get through.
    bus_.connect(PortalRequest::SERVICE, PortalRequest::PATH, GLOBAL_SHORTCUTS,
                 QStringLiteral("Activated"), this,
                 SLOT(shortcut_activated(QDBusObjectPath, QString)));
    bind_shortcuts();
}

void PortalHotKeyGrabber::bind_shortcuts()
{
    QList<PortalShortcut> shortcuts;
    for (const Binding &binding : bindings_) {
        shortcuts.append({binding.name,
                          {{QStringLiteral("description"), binding.description},
                           {QStringLiteral("preferred_trigger"),
                            QStringLiteral("CTRL+ALT+") + QLatin1Char(binding.key)}}});
    }
    // No parent window: the desktop centres its dialog instead.
    auto *request = new PortalRequest(bus_, GLOBAL_SHORTCUTS, QStringLiteral("BindShortcuts"),
                                      {QVariant::fromValue(QDBusObjectPath(session_path_)),
                                       QVariant::fromValue(shortcuts), QString(), QVariantMap()},
                                      timeout_ms_, this);
    connect(request, &PortalRequest::answered, this, [this](uint response, const QVariantMap &results) {
        if (response == 1)
            give_up(QT_TRANSLATE_NOOP("GlobalHotKeys", "they were declined in the desktop's dialog"));
        else if (response != 0)
            give_up(QT_TRANSLATE_NOOP("GlobalHotKeys", "the desktop portal would not bind them"));
        else if (!all_bound(results))
            give_up(QT_TRANSLATE_NOOP("GlobalHotKeys", "the desktop portal bound no keys (KDE Plasma binds them "
                                                       "this way only from 6.1 on)"));
    });
    connect(request, &PortalRequest::failed, this, &PortalHotKeyGrabber::request_failed);
}

// A portal may answer "done" and bind nothing (Plasma 5.27 and 6.0 do):
// only the shortcuts it lists as bound are there.
bool PortalHotKeyGrabber::all_bound(const QVariantMap &results) const
{
    const QVariant listed = results.value(QStringLiteral("shortcuts"));
    if (listed.userType() != qMetaTypeId<QDBusArgument>())
        return false;
    QStringList bound;
    for (const PortalShortcut &shortcut : qdbus_cast<QList<PortalShortcut>>(listed.value<QDBusArgument>()))
        bound << shortcut.id;
    return std::all_of(bindings_.begin(), bindings_.end(),
                       [&bound](const Binding &binding) { return bound.contains(binding.name); });
}

void PortalHotKeyGrabber::shortcut_activated(const QDBusObjectPath &session,
                                             const QString &shortcut_id)
{
    if (session.path() != session_path_)
        return;
    for (const Binding &binding : bindings_) {
        if (binding.name == shortcut_id)
            pressed_(binding.id);
    }
}

void PortalHotKeyGrabber::request_failed(const QDBusError &error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
        give_up(QT_TRANSLATE_NOOP("GlobalHotKeys", "no desktop portal (xdg-desktop-portal) is running"));
        break;
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownObject:
        give_up(QT_TRANSLATE_NOOP("GlobalHotKeys", "this desktop's portal has no global shortcuts"));
        break;
    case QDBusError::NoReply:
    case QDBusError::Timeout:
        give_up(QT_TRANSLATE_NOOP("GlobalHotKeys", "the desktop portal did not answer within %1 s"),
                QString::number(timeout_ms_ / 1000.0));
        break;
    default:
        give_up(QT_TRANSLATE_NOOP("GlobalHotKeys", "the desktop portal failed: %1"), error.message());
    }
}

void PortalHotKeyGrabber::give_up(const char *why, const QString &detail)
{
    lost_(why, detail);
}

std::unique_ptr<HotKeyGrabber> create_portal_hot_key_grabber(std::function<void(int)> pressed, HotKeysLost lost)
{
    return std::make_unique<PortalHotKeyGrabber>(std::move(pressed), std::move(lost));
}
