#pragma once

class Controller;
class GlobalHotKeys;
class TrayShell;

// The only place where the tray, the on-screen level and the hot keys' refusals
// meet the model: the controller's state into the shell, the tray's wishes
// into the controller. On today's single-threaded Controller; with the
// ControllerThread facade each connection becomes one action with
// ChangeSource::tray (or hot_key) whose refused Outcome goes to
// TrayShell::show_refusal.
void wire_tray(Controller &controller, GlobalHotKeys &hot_keys, TrayShell &shell);
