#pragma once

#include "commands.h"

// A PWM width as a whole percentage of PWM_FULL_SCALE, truncated toward zero
// (282 gives 50, 563 gives 99). A width above full scale gives more than 100
// (1023 gives 181): the controller may report one.
constexpr int pwm_percent(int width)
{
    return width * 100 / PWM_FULL_SCALE;
}

// The smallest width that reads as `percent` (0..100) through pwm_percent:
// 10 gives 57, 50 gives 282.
constexpr int pwm_width_of_percent(int percent)
{
    return (percent * PWM_FULL_SCALE + 99) / 100;
}
