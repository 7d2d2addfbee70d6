#pragma once

#include <QIcon>

// What the tray icon tells at a glance.
enum class TrayState { no_controller, silent, automatic, manual };

// The tray icon for a state, drawn at the sizes panels ask for: a grey,
// struck-through lamp without a controller; a grey lamp with a pause sign
// while the controller does not answer; a lamp with rays while the curve
// regulates; a lamp with a slider in manual regulation.
QIcon tray_state_icon(TrayState state);
