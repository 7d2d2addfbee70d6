// Platforms without system-wide hot keys.

#include "global_hot_keys_platform.h"

std::unique_ptr<HotKeyGrabber> create_hot_key_grabber(QWidget *, std::function<void(int)>, HotKeysLost)
{
    return nullptr;
}
