#pragma once

// The program's own system-wide hot keys, by the ids they are registered
// under with GlobalHotKeys.
enum HotKeyId : int {
    HOTKEY_PWM_UP = 101,   // Ctrl+Alt+P
    HOTKEY_PWM_DOWN = 102, // Ctrl+Alt+M
};

// The manual level's step a hot key asks for: +1 up, -1 down, 0 for an id
// that is none of ours. The model decides the step's size and whether it is taken.
constexpr int hot_key_direction(int id)
{
    return id == HOTKEY_PWM_UP ? +1 : id == HOTKEY_PWM_DOWN ? -1 : 0;
}
