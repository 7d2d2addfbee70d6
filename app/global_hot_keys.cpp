#include "global_hot_keys.h"

#include "global_hot_keys_platform.h"

#include <QCoreApplication>

#include <cstdio>

GlobalHotKeys::GlobalHotKeys(QWidget *window, QObject *parent)
    : QObject(parent)
{
    // Presses and losses arrive inside native event or D-Bus handling; the
    // receivers run afterwards, from the event loop.
    grabber_ = create_hot_key_grabber(
        window,
        [this](int id) {
            QMetaObject::invokeMethod(this, [this, id] { emit activated(id); }, Qt::QueuedConnection);
        },
        [this](const QString &why) {
            report(tr("morvane-pwm: no system-wide hot keys: %1. Bind \"morvane-pwmctl up\" and "
                      "\"morvane-pwmctl down\" to keys in the desktop's keyboard settings instead.")
                       .arg(why));
        });
    if (!grabber_) {
        QMetaObject::invokeMethod(this, [this] {
            report(tr("morvane-pwm: no system-wide hot keys on this display server; set the "
                      "brightness in the window or from the tray icon instead"));
        }, Qt::QueuedConnection);
    }
}

GlobalHotKeys::~GlobalHotKeys() = default;

bool GlobalHotKeys::register_hot_key(int id, char key)
{
    if (!grabber_ || key < 'A' || key > 'Z' || ids_.contains(id) || keys_.contains(key))
        return false;
    if (!grabber_->grab(id, key)) {
        if (held_.isEmpty())
            QMetaObject::invokeMethod(this, &GlobalHotKeys::report_held_keys, Qt::QueuedConnection);
        held_.append(key);
        return false;
    }
    ids_.append(id);
    keys_.append(key);
    return true;
}

// On X11 a grab fails when another program holds the combination; the keys
// of one start are named in one line.
void GlobalHotKeys::report_held_keys()
{
    QStringList names;
    for (char key : std::as_const(held_))
        names << QStringLiteral("Ctrl+Alt+") + QLatin1Char(key);
    report(tr("morvane-pwm: hot keys held by another program: %1. Free them there, or bind "
              "\"morvane-pwmctl up\" and \"morvane-pwmctl down\" to other keys in the desktop's "
              "keyboard settings").arg(names.join(QLatin1String(", "))));
}

void GlobalHotKeys::report(const QString &notice)
{
    if (!notice_.isEmpty())
        return;
    notice_ = notice;
    // Said once per process, however many objects find the same.
    static QStringList printed;
    if (!printed.contains(notice)) {
        printed << notice;
        std::fprintf(stderr, "%s\n", qPrintable(notice));
    }
    emit went_missing(notice);
}
