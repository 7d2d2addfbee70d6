#pragma once

#include "coupling_result.h"
#include "protocol/config_block.h"

#include <optional>
#include <vector>

// How strongly the lamp's own light feeds back through the curve. A segment
// of the curve turns a change of the light reading into a change of the
// brightness (its slope, % per light count); the coupling turns that change
// of the brightness back into one of the reading (counts per %). Their
// product, the loop gain, is what one round trip keeps of a disturbance:
// on a falling segment at |gain| >= 1 every correction overshoots by more
// than it corrects (the lamp hunts), on a rising one every percent brings
// back at least another (it runs away to full brightness). From half of that
// the loop rings, or amplifies, noticeably.

enum class GainStrength {
    none,
    may,  // |gain| >= MAY_GAIN
    will, // |gain| >= WILL_GAIN
};

struct SegmentGain
{
    // The points that drive the segment's ends, 1..CURVE_POINTS (the same
    // one when a higher-numbered point takes over inside it).
    int from_point = 1;
    int to_point = 1;
    unsigned light_from = 0; // light_from < light_to
    unsigned light_to = 0;
    double gain = 0;     // k x the segment's slope; negative on a falling segment
    bool rising = false; // more light, more brightness
    GainStrength strength = GainStrength::none;
};

constexpr double MAY_GAIN = 0.5;
constexpr double WILL_GAIN = 1.0;

GainStrength gain_strength(double gain);

// The curve's segments between the light levels where the point it follows
// changes, in light order, as the controller drives them: with pwm_smooth_alg
// the line between points, without it the step over the light between them.
// `counts_per_percent`: the measured coupling (light counts per 1 % of
// brightness).
std::vector<SegmentGain> loop_gains(const ConfigBlock &config, double counts_per_percent);

// The segment with the largest |gain|; none for a curve with a single level
// of light.
std::optional<SegmentGain> strongest_segment(const ConfigBlock &config, double counts_per_percent);

// The steepest slope, in PWM width per light count, whose gain stays below
// `gain` (no limit for a coupling of zero).
double width_slope_below(double gain, double counts_per_percent);

// The coupling of a result that was measured; none without one.
std::optional<double> measured_coupling(const std::optional<CouplingResult> &result);
