#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QWidget;
class HotKeyGrabber;

// System-wide hot keys Ctrl+Alt+<letter>, each known by an id. They reach
// the program whichever window has the focus, ours minimised or not: key
// grabs on X11 and Windows; in a Wayland session (XWayland included) the
// desktop portal, which binds the keys registered before the event loop
// first runs and may let the user pick others.
//
// Every way the keys can be missing (no such keys on this display server,
// another X11 program holding them, the portal failing or binding nothing)
// gives one translated line on stderr, from the event loop, and missing()
// turns true for the status line and the tray's tool tip.
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

    // Some or all of the keys do not work; notice() says which and why.
    bool missing() const { return !notice_.isEmpty(); }
    QString notice() const { return notice_; }

signals:
    // The combination registered under id was pressed; on the GUI thread.
    void activated(int id);
    // The keys went missing: the line that was printed.
    void went_missing(const QString &notice);

private:
    void report_held_keys();
    void report(const QString &notice);

    std::unique_ptr<HotKeyGrabber> grabber_;
    QList<int> ids_;
    QList<char> keys_;
    // Keys another program holds, told together once registration is over.
    QList<char> held_;
    QString notice_;
};
