#pragma once

#include <QString>

class QWidget;

// On X11, brings `window` forward for the launch whose startup id
// (DESKTOP_STARTUP_ID, "..._TIME<timestamp>") a later start handed on: the
// window carries the id, the activation carries the launch's time, so that
// window managers that keep others from stealing the focus accept it, and
// the desktop's launch feedback ends. Nothing elsewhere.
void activate_for_startup(QWidget &window, const QString &startup_id);
