#pragma once

class ControllerThread;
class GlobalHotKeys;
class TrayShell;

// The only place where the tray, the on-screen level and the hot keys meet
// the model: the controller's status into the shell, the tray's wishes and
// the keys into the model as actions (ChangeSource::tray, hot_key), and
// what the model refused into the on-screen level.
void wire_tray(ControllerThread &controller, GlobalHotKeys &hot_keys, TrayShell &shell);
