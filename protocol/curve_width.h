#pragma once

#include "config_block.h"

// The PWM width the controller drives in automatic regulation at a light
// reading: the width of the highest-numbered point whose threshold the
// reading has reached (below every threshold, point 1's), held until the next
// threshold; with pwm_smooth_alg set, linear from that point towards the next
// by number. The points' numbers, not their light order, decide.
//
// curve_base_point: that point's number, 1..CURVE_POINTS.
inline int curve_base_point(const ConfigBlock &config, unsigned light)
{
    int base = 1;
    for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point) {
        if (config.auto_light(point) <= light)
            base = point;
    }
    return base;
}

inline unsigned curve_width(const ConfigBlock &config, unsigned light)
{
    const int base = curve_base_point(config, light);
    const unsigned width = config.auto_pwm(base);
    if (!config.pwm_smooth_alg() || base == ConfigBlock::CURVE_POINTS || config.auto_light(base) > light)
        return width;

    // Here auto_light(base) <= light < auto_light(base + 1): base is the last
    // point reached, so the span is never zero.
    const long x0 = config.auto_light(base);
    const long x1 = config.auto_light(base + 1);
    const long y0 = width;
    const long y1 = config.auto_pwm(base + 1);
    return static_cast<unsigned>(y0 + (y1 - y0) * (long(light) - x0) / (x1 - x0));
}
