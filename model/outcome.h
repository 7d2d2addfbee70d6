#pragma once

// What became of one action on the controller (apply, mode, level, step,
// write-back). Every action of the model answers with exactly one; the
// window, the hot keys, D-Bus and morvane-pwmctl only put it into words.
enum class Refusal {
    none,
    not_connected,  // no controller is open
    loading,        // open, but its configuration is still being read
    not_identified, // it did not identify as version 1
    not_manual,     // the level changes only in manual regulation
    out_of_range,   // a level beyond 0..PWM_FULL_SCALE
    edits_pending,  // the window holds edits that were not applied
    held_elsewhere, // another program has the controller open
    busy,           // an earlier write is still on its way
    closing,        // the program is ending: its write-back is the last exchange
    measuring,      // a sweep measuring the lamp's light drives the controller
    // Several controllers are present and the action named none of them
    // (ControllerRegistry::only() has none to give).
    several_controllers,
};

struct Outcome
{
    enum class Kind {
        done,          // the controller confirmed it
        not_confirmed, // sent, but the controller did not confirm it (or time ran out)
        refused,       // nothing was sent; `refusal` says why
    };

    Kind kind = Kind::done;
    Refusal refusal = Refusal::none;

    static Outcome done() { return {}; }
    static Outcome not_confirmed() { return {Kind::not_confirmed, Refusal::none}; }
    static Outcome refused(Refusal why) { return {Kind::refused, why}; }

    bool ok() const { return kind == Kind::done; }
    // Something may have reached the controller.
    bool sent() const { return kind != Kind::refused; }
    bool operator==(const Outcome &other) const { return kind == other.kind && refusal == other.refusal; }
    bool operator!=(const Outcome &other) const { return !(*this == other); }
};

// Who asked for a change of the manual level or mode: the history keeps it
// beside each correction.
enum class ChangeSource {
    window,   // the manual slider or group box
    hot_key,  // Ctrl+Alt+P / Ctrl+Alt+M, X11 grab or portal
    tray,     // the tray icon's menu or wheel
    dbus,     // a D-Bus caller, morvane-pwmctl through the program among them
    client,   // morvane-pwmctl on the controller directly
};

// Why nothing reaches a controller: none is open, or another program has it
// (Refusal::none while it is open). The model and every view read a status
// through this one rule.
inline Refusal link_refusal(bool connected, bool held_elsewhere)
{
    if (connected)
        return Refusal::none;
    return held_elsewhere ? Refusal::held_elsewhere : Refusal::not_connected;
}

// What the user typed in the window is not replaced behind their back: a
// configuration from anyone else is refused while the window holds edits.
inline Refusal replacement_refusal(bool edits_pending, ChangeSource source)
{
    return source != ChangeSource::window && edits_pending ? Refusal::edits_pending : Refusal::none;
}
