#pragma once

#include "model/controller_status.h"

#include <QList>
#include <QString>

// The state of the controller in the few words the tray icon and the
// on-screen level show; Russian source texts, as in the window (context
// "LevelWords"). Why an action was refused is the model's one wording,
// outcome_text().

// "Яркость 56 % (ручная)": the level the user regulates by hand in manual
// regulation, the brightness the curve gives otherwise.
QString level_words(const ControllerStatus &status);
// "Яркость 56 % (ручная)" for a mode and a percentage.
QString mode_level_words(RegulationMode mode, int percent);
// The percentage level_words names, for the notification's value hint.
int level_percent(const ControllerStatus &status);
// The tray icon's tool tip: the light, the level and the mode (the last ones,
// and since when, while the controller does not answer), and a word when
// the hot keys are missing. With several controllers, one line each, after
// its id.
QString tray_tool_tip(const QList<ControllerStatus> &controllers, bool hot_keys_missing);
// "sn:ABC123: <words>", as several controllers are listed.
QString controller_line(const ControllerStatus &status, const QString &words);
// A controller is open, its configuration read, its status passes complete
// and it answers: the level means something.
bool controller_ready(const ControllerStatus &status);
