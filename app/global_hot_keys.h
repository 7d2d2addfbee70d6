#pragma once

#include <QList>
#include <QObject>

#include <memory>

class QWidget;
class HotKeyGrabber;

// System-wide hot keys Ctrl+Alt+<letter>, each known by an id. They reach
// the program whichever window has the focus, ours minimised or not: key
// grabs on X11 and Windows; in a Wayland session (XWayland included) the
// desktop portal, which binds the keys registered before the event loop
// first runs and may let the user pick others. Where there are no such keys
// (the offscreen platform) one line on stderr says so, once per process, and
// every registration returns false; when the portal cannot give them, one
// line says why, later.
class GlobalHotKeys : public QObject
{
    Q_OBJECT

public:
    // window: the window the keys belong to (Windows delivers them to its
    // native handle).
    explicit GlobalHotKeys(QWidget *window, QObject *parent = nullptr);
    // Releases every key this object holds.
    ~GlobalHotKeys() override;

    // Ctrl+Alt+key, key an upper-case ASCII letter. False when the key or
    // the id is invalid or already registered here, when another program
    // holds the combination, when there are no system-wide keys, or when
    // the portal has been asked already. True from the portal means asked.
    bool register_hot_key(int id, char key);

signals:
    // The combination registered under id was pressed; on the GUI thread.
    void activated(int id);

private:
    std::unique_ptr<HotKeyGrabber> grabber_;
    QList<int> ids_;
    QList<char> keys_;
};
