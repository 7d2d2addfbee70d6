#pragma once

// The platform's side of GlobalHotKeys; one implementation is built per
// platform; Unix desktops have two, and the session decides between them.

#include <functional>
#include <memory>

class QString;

class QWidget;

class HotKeyGrabber
{
public:
    virtual ~HotKeyGrabber() = default;
    // Takes Ctrl+Alt+key (an upper-case ASCII letter) for id system-wide.
    virtual bool grab(int id, char key) = 0;
};

// Null when this display server has no system-wide keys. pressed is called
// on the GUI thread, from inside native event handling; lost when keys that
// grab() accepted turn out not to come after all (the portal), with why: a
// text of the context "GlobalHotKeys" left untranslated, so that it can be
// said in the terminal's language and in the window's; `detail` fills its %1.
using HotKeysLost = std::function<void(const char *why, const QString &detail)>;
std::unique_ptr<HotKeyGrabber> create_hot_key_grabber(QWidget *window,
                                                      std::function<void(int id)> pressed,
                                                      HotKeysLost lost);

// The two ways of Unix desktops (create_hot_key_grabber chooses):
// key grabs on the X server, null without an X11 connection; and shortcuts
// through the desktop portal, for Wayland sessions.
std::unique_ptr<HotKeyGrabber> create_x11_hot_key_grabber(std::function<void(int id)> pressed);
std::unique_ptr<HotKeyGrabber> create_portal_hot_key_grabber(std::function<void(int id)> pressed,
                                                             HotKeysLost lost);
