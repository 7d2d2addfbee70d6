#pragma once

#include "commands.h"

// What each configuration field (bytes 5..36 of the ConfigBlock) may hold:
// the ranges of the window's controls, and what a configuration file or a
// D-Bus client may ask for. The form (ui/widget.ui) carries the same numbers;
// the config tests compare the two.
struct ValueRange
{
    int min;
    int max;

    constexpr bool contains(double value) const { return value >= min && value <= max; }
};

constexpr ValueRange AUTO_LIGHT_RANGE{0, LIGHT_FULL_SCALE}; // light threshold of a curve point
constexpr ValueRange AUTO_PWM_RANGE{0, PWM_FULL_SCALE};     // PWM width of a curve point
constexpr ValueRange PWM_DELAY_RANGE{0, 255};               // pwm_step_delay, pwm_slide_delay
constexpr ValueRange AVRG_LIGHT_NUM_RANGE{1, 50};           // light samples averaged
