// Unix desktops: X11 key grabs, or the desktop portal in a Wayland session.

#include "global_hot_keys_platform.h"

#include <QGuiApplication>

namespace {

// In a Wayland session a program on XWayland still has an X11 connection,
// but its grabs see only keys typed into X11 windows: the portal is the way
// there too. XDG_SESSION_TYPE comes from the login manager, WAYLAND_DISPLAY
// from the compositor; either tells.
bool wayland_session()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"))
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qgetenv("XDG_SESSION_TYPE") == "wayland";
}

} // namespace

std::unique_ptr<HotKeyGrabber> create_hot_key_grabber(QWidget *, std::function<void(int)> pressed,
                                                      HotKeysLost lost)
{
    if (wayland_session())
        return create_portal_hot_key_grabber(std::move(pressed), std::move(lost));
    return create_x11_hot_key_grabber(std::move(pressed));
}
