// System-wide hot keys on Windows: RegisterHotKey against the window's
// native handle; the presses come back as WM_HOTKEY messages.

#include <QtGlobal>

#ifdef Q_OS_WIN

#include "global_hot_keys_platform.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QWidget>

#include <qt_windows.h>

#include <vector>

namespace {

class WinHotKeyGrabber final : public HotKeyGrabber, public QAbstractNativeEventFilter
{
public:
    WinHotKeyGrabber(QWidget *window, std::function<void(int)> pressed)
        // winId() creates the native window if it does not exist yet.
        : hwnd_(window ? reinterpret_cast<HWND>(window->winId()) : nullptr),
          pressed_(std::move(pressed))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~WinHotKeyGrabber() override
    {
        for (int id : ids_)
            UnregisterHotKey(hwnd_, id);
    }

    bool grab(int id, char key) override
    {
        // Upper-case ASCII letters are their own virtual-key codes.
        if (!RegisterHotKey(hwnd_, id, MOD_ALT | MOD_CONTROL, UINT(key)))
            return false;
        ids_.push_back(id);
        return true;
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        // Messages for a window pass the window procedure; those without a
        // window (hwnd_ null) only the event dispatcher.
        const char *wanted = hwnd_ ? "windows_generic_MSG" : "windows_dispatcher_MSG";
        const MSG *msg = static_cast<const MSG *>(message);
        if (eventType != wanted || msg->message != WM_HOTKEY || msg->hwnd != hwnd_)
            return false;
        pressed_(int(msg->wParam));
        return true;
    }

private:
    HWND hwnd_;
    std::function<void(int)> pressed_;
    std::vector<int> ids_;
};

} // namespace

std::unique_ptr<HotKeyGrabber> create_hot_key_grabber(QWidget *window,
                                                      std::function<void(int)> pressed, HotKeysLost)
{
    return std::make_unique<WinHotKeyGrabber>(window, std::move(pressed));
}

#endif // Q_OS_WIN
