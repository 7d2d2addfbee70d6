#pragma once

// The platform's side of GlobalHotKeys; one implementation is built per
// platform.

#include <functional>
#include <memory>

class QWidget;

class HotKeyGrabber
{
public:
    virtual ~HotKeyGrabber() = default;
    // Takes Ctrl+Alt+key (an upper-case ASCII letter) for id system-wide.
    virtual bool grab(int id, char key) = 0;
};

// Null when this display server has no system-wide keys. pressed is called
// on the GUI thread, from inside native event handling.
std::unique_ptr<HotKeyGrabber> create_hot_key_grabber(QWidget *window,
                                                      std::function<void(int id)> pressed);
