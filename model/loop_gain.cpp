#include "loop_gain.h"

#include "protocol/commands.h"
#include "protocol/curve_width.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double percent_per_width()
{
    return 100.0 / PWM_FULL_SCALE;
}

} // namespace

GainStrength gain_strength(double gain)
{
    const double size = std::abs(gain);
    if (size >= WILL_GAIN)
        return GainStrength::will;
    if (size >= MAY_GAIN)
        return GainStrength::may;
    return GainStrength::none;
}

std::vector<SegmentGain> loop_gains(const ConfigBlock &config, double counts_per_percent)
{
    constexpr int POINTS = ConfigBlock::CURVE_POINTS;
    std::vector<unsigned> thresholds;
    for (int point = 1; point <= POINTS; ++point)
        thresholds.push_back(config.auto_light(point));
    std::sort(thresholds.begin(), thresholds.end());
    thresholds.erase(std::unique(thresholds.begin(), thresholds.end()), thresholds.end());

    // A threshold where the point followed stays the same (a lower-numbered
    // point reached after a higher one) changes nothing.
    std::vector<unsigned> turns;
    for (const unsigned light : thresholds) {
        if (turns.empty() || curve_base_point(config, light) != curve_base_point(config, turns.back()))
            turns.push_back(light);
    }

    std::vector<SegmentGain> segments;
    for (std::size_t i = 0; i + 1 < turns.size(); ++i) {
        SegmentGain segment;
        segment.light_from = turns[i];
        segment.light_to = turns[i + 1];
        segment.from_point = curve_base_point(config, segment.light_from);
        segment.to_point = curve_base_point(config, segment.light_to);
        const double span = double(segment.light_to) - segment.light_from;
        double slope = (double(curve_width(config, segment.light_to)) - curve_width(config, segment.light_from)) / span;
        // With interpolation the controller follows the line towards the
        // next point by number; where numbers and light order disagree it
        // jumps at the segment's end as well: the steeper of the two counts.
        const int base = segment.from_point;
        if (config.pwm_smooth_alg() && base < POINTS) {
            const double line = (double(config.auto_pwm(base + 1)) - config.auto_pwm(base))
                                / (double(config.auto_light(base + 1)) - config.auto_light(base));
            if (std::abs(line) > std::abs(slope))
                slope = line;
        }
        segment.gain = counts_per_percent * slope * percent_per_width();
        segment.rising = slope > 0;
        segment.strength = gain_strength(segment.gain);
        segments.push_back(segment);
    }
    return segments;
}

std::optional<SegmentGain> strongest_segment(const ConfigBlock &config, double counts_per_percent)
{
    const std::vector<SegmentGain> segments = loop_gains(config, counts_per_percent);
    const auto strongest = std::max_element(segments.begin(), segments.end(), [](const auto &a, const auto &b) {
        return std::abs(a.gain) < std::abs(b.gain);
    });
    if (strongest == segments.end())
        return std::nullopt;
    return *strongest;
}

double width_slope_below(double gain, double counts_per_percent)
{
    const double coupling = std::abs(counts_per_percent);
    if (coupling <= 0)
        return std::numeric_limits<double>::infinity();
    return gain / (coupling * percent_per_width());
}

std::optional<double> measured_coupling(const std::optional<CouplingResult> &result)
{
    if (!result || !result->measured())
        return std::nullopt;
    return result->counts_per_percent;
}
