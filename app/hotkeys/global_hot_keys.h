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
// gives one line on stderr in the terminal's language, from the event loop,
// and the same notice in the window's language for its status line;
// missing() turns true for the tray's tool tip.
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

    // Some or all of the keys do not work.
    bool missing() const { return !notice_.isEmpty(); }

signals:
    // The combination registered under id was pressed; on the GUI thread.
    void activated(int id);
    // The keys went missing: what the printed line says, in the window's
    // language and without the program's name in front.
    void went_missing(const QString &notice);

private:
    // One way the keys went missing, worded when said: `notice` and `why`
    // (optional) are untranslated texts of this context; `detail` fills the
    // %1 of `why`, or of `notice` when there is no `why`.
    struct Loss
    {
        const char *notice;
        const char *why = nullptr;
        QString detail;
    };

    void report_held_keys();
    void report(const Loss &loss);

    std::unique_ptr<HotKeyGrabber> grabber_;
    QList<int> ids_;
    QList<char> keys_;
    // Keys another program holds, told together once registration is over.
    QList<char> held_;
    QString notice_;
};
