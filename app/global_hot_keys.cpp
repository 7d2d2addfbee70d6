#include "global_hot_keys.h"

#include "global_hot_keys_platform.h"

#include <QtGlobal>

#include <atomic>

GlobalHotKeys::GlobalHotKeys(QWidget *window, QObject *parent)
    : QObject(parent)
{
    // Presses arrive inside native event handling; the receivers run
    // afterwards, from the event loop.
    grabber_ = create_hot_key_grabber(window, [this](int id) {
        QMetaObject::invokeMethod(this, [this, id] { emit activated(id); }, Qt::QueuedConnection);
    });
    static std::atomic_bool told{false};
    if (!grabber_ && !told.exchange(true))
        qWarning("Global hot keys are not available on this display server; "
                 "set the brightness in the window instead");
}

GlobalHotKeys::~GlobalHotKeys() = default;

bool GlobalHotKeys::register_hot_key(int id, char key)
{
    if (!grabber_ || key < 'A' || key > 'Z' || ids_.contains(id) || keys_.contains(key))
        return false;
    if (!grabber_->grab(id, key))
        return false;
    ids_.append(id);
    keys_.append(key);
    return true;
}
