#pragma once

#include "tools/sim/sim_backend.h"

#include <QMetaType>

// A controller described as data: what its firmware holds when the test
// begins, and how many decoy interfaces come before it on the bus. Unset
// fields keep the simulator's factory configuration.
//   ControllerState().mode(1).pwm_width(300)
//   ControllerState().point(3, 500, 282).byte(35, 2)
struct ControllerState
{
    SimState state;
    int decoys_before = 0;

    ControllerState &version(int value)
    {
        state.version = value;
        return *this;
    }
    ControllerState &pwm_width(unsigned value)
    {
        state.config.set_pwm_width(value);
        return *this;
    }
    ControllerState &light(unsigned value)
    {
        state.config.set_light_adc(value);
        return *this;
    }
    ControllerState &mode(unsigned value)
    {
        state.config.set_regulation_mode(value);
        return *this;
    }
    ControllerState &point(int n, unsigned light, unsigned level)
    {
        state.config.set_auto_light(n, light);
        state.config.set_auto_pwm(n, level);
        return *this;
    }
    ControllerState &levels(unsigned level)
    {
        for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n)
            state.config.set_auto_pwm(n, level);
        return *this;
    }
    // One raw byte of the ConfigBlock, for values the setters normalise.
    ControllerState &byte(int at, unsigned char value)
    {
        state.config.bytes[size_t(at)] = value;
        return *this;
    }
    // The room around it: the light without the lamp, the lamp's counts per
    // 1 % of brightness, then noise (+-counts), drift (counts a second) and
    // the lamp's settle time.
    ControllerState &room(double ambient, double counts_per_percent, int noise = 0, double drift_per_s = 0,
                          int settle_ms = 0)
    {
        state.room = {ambient, drift_per_s, counts_per_percent, noise, settle_ms};
        return *this;
    }
    ControllerState &decoys(int count)
    {
        decoys_before = count;
        return *this;
    }
};
Q_DECLARE_METATYPE(ControllerState)
