#pragma once

class ControllerRegistry;
class GlobalHotKeys;
class TrayShell;

// The only place where the tray, the on-screen level and the hot keys meet
// the model: every controller's status into the shell, the tray's wishes
// and the keys into the model as actions (ChangeSource::tray, hot_key),
// what the model refused into the on-screen level, and whether the window
// is shown into the poll's cadence.
//
// Shown and stepped are the controllers present, or the first place while
// none is, so that one controller (or none) behaves as it always did. A
// menu entry acts on its controller; the keys and the wheel step every one,
// each as the model decides, and a refusal is said only when none stepped.
void wire_tray(ControllerRegistry &registry, GlobalHotKeys &hot_keys, TrayShell &shell);
