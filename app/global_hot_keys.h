#pragma once

#include <QList>
#include <QObject>

#include <memory>

class QWidget;
class HotKeyGrabber;

// System-wide hot keys Ctrl+Alt+<letter>, each known by an id. They reach
// the program whichever window has the focus, ours minimised or not.
// Where the display server offers no such keys (Wayland without X11, the
// offscreen platform) there are none: one line on stderr says so, once per
// process, and every registration returns false.
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
    // holds the combination, or when there are no system-wide keys.
    bool register_hot_key(int id, char key);

signals:
    // The combination registered under id was pressed; on the GUI thread.
    void activated(int id);

private:
    std::unique_ptr<HotKeyGrabber> grabber_;
    QList<int> ids_;
    QList<char> keys_;
};
