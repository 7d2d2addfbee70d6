#include "curve_fit.h"

#include "model/loop_gain.h"
#include "protocol/config_ranges.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>

namespace {

constexpr int POINTS = ConfigBlock::CURVE_POINTS;
constexpr double PRIOR_WEIGHT = 1.0; // the current curve counts as one correction at each point
// Corrections that add up to less than half of one at a point (all far from
// it, near its neighbours) leave it where it is.
constexpr double MIN_POINT_WEIGHT = 0.5;
constexpr qint64 DAY_MS = 24 * 3600 * 1000;
// Each round closes a share of every point's difference; histories settle in
// a hundred rounds at most in the tests, so this only stops a curve flipping.
constexpr int MAX_ROUNDS = 400;

struct Observation
{
    double light;
    double level;
};

unsigned clamped(long value, ValueRange range)
{
    return unsigned(std::clamp<long>(value, range.min, range.max));
}

// Point indices in light order (ties in point order).
std::array<int, POINTS> light_order(const std::array<double, POINTS> &lights)
{
    std::array<int, POINTS> order;
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return lights[a] < lights[b]; });
    return order;
}

// The level the curve drives at `light`: straight lines between the points
// in light order, flat beyond the first and the last.
double level_at(const Curve &curve, double light)
{
    std::array<double, POINTS> lights;
    for (int i = 0; i < POINTS; ++i)
        lights[i] = curve[i].light;
    const auto order = light_order(lights);
    if (light <= lights[order.front()])
        return curve[order.front()].width;
    for (int k = 1; k < POINTS; ++k) {
        const CurvePoint &low = curve[order[k - 1]];
        const CurvePoint &high = curve[order[k]];
        if (light <= high.light) {
            const double span = double(high.light) - low.light;
            const double t = span > 0 ? (light - low.light) / span : 1.0;
            return low.width + t * (double(high.width) - low.width);
        }
    }
    return curve[order.back()].width;
}

// How much a correction at `light` says about the point at order[k]: 1 at
// the point, falling to 0 at its neighbours in light order, 1 beyond the
// outermost points.
double weight(const std::array<double, POINTS> &lights, const std::array<int, POINTS> &order, int k, double light)
{
    const double at = lights[order[k]];
    const bool below = light < at;
    const int neighbour = below ? k - 1 : k + 1;
    if (neighbour < 0 || neighbour >= POINTS)
        return 1.0;
    const double reach = std::abs(lights[order[neighbour]] - at);
    return reach > 0 ? std::max(0.0, 1.0 - std::abs(light - at) / reach) : (light == at ? 1.0 : 0.0);
}

// The weighted median of values (weights > 0); the middle of the two
// central values when the weight splits evenly.
double weighted_median(std::vector<std::pair<double, double>> values)
{
    std::sort(values.begin(), values.end());
    double total = 0;
    for (const auto &value : values)
        total += value.second;
    double below = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        below += values[i].second;
        if (below > total / 2 + 1e-9)
            return values[i].first;
        if (std::abs(below - total / 2) <= 1e-9 && i + 1 < values.size())
            return (values[i].first + values[i + 1].first) / 2;
    }
    return values.empty() ? 0 : values.back().first;
}

// Pool-adjacent-violators: the non-decreasing sequence nearest to `levels`
// in weighted least squares.
std::vector<double> isotonic(const std::vector<double> &levels, const std::vector<double> &weights)
{
    struct Block
    {
        double mean, weight;
        int count;
    };
    std::vector<Block> blocks;
    for (size_t i = 0; i < levels.size(); ++i) {
        blocks.push_back({levels[i], weights[i], 1});
        while (blocks.size() > 1 && blocks[blocks.size() - 2].mean > blocks.back().mean) {
            const Block last = blocks.back();
            blocks.pop_back();
            Block &merged = blocks.back();
            merged.mean = (merged.mean * merged.weight + last.mean * last.weight) / (merged.weight + last.weight);
            merged.weight += last.weight;
            merged.count += last.count;
        }
    }
    std::vector<double> fitted;
    for (const Block &block : blocks)
        fitted.insert(fitted.end(), block.count, block.mean);
    return fitted;
}

// Light levels at the quantiles 0, 1/6, ..., 1 of the time spent, strictly
// increasing; empty when no time was recorded.
std::optional<std::array<double, POINTS>> time_quantiles(const LightHistogram &histogram)
{
    if (histogram.total_seconds <= 0)
        return std::nullopt;
    const double bin_width = double(LIGHT_FULL_SCALE + 1) / histogram.bins();
    std::array<double, POINTS> lights{};
    for (int i = 0; i < POINTS; ++i) {
        const double target = histogram.total_seconds * i / (POINTS - 1);
        double before = 0;
        for (int bin = 0; bin < histogram.bins(); ++bin) {
            const double seconds = histogram.seconds[bin];
            if (seconds > 0 && before + seconds >= target) {
                lights[i] = (bin + (target - before) / seconds) * bin_width;
                break;
            }
            before += seconds;
        }
    }
    // Points at one light would make a step of the curve: one level apart at least.
    for (int i = 0; i < POINTS; ++i)
        lights[i] = std::clamp(std::round(lights[i]), i > 0 ? lights[i - 1] + 1 : 0.0, double(LIGHT_FULL_SCALE - (POINTS - 1 - i)));
    return lights;
}

// Flattens the levels (by light order, whole widths) so that every segment's
// loop gain stays below MAY_GAIN. The most trusted point keeps its level and
// the others follow it outwards, each as near its own as the limit lets it:
// a curve that never falls still never falls. Whether anything moved.
bool limit_gain(std::vector<double> &levels, const std::vector<double> &lights, const std::vector<double> &trust,
                double counts_per_percent)
{
    const double slope = width_slope_below(MAY_GAIN, counts_per_percent);
    // The largest whole change over `span` that stays strictly below the slope.
    const auto allowed = [&](double span) { return std::max(0.0, std::ceil(slope * span) - 1); };
    const std::vector<double> wanted = levels;
    const int anchor = int(std::max_element(trust.begin(), trust.end()) - trust.begin());
    for (int k = anchor + 1; k < int(levels.size()); ++k) {
        const double reach = allowed(lights[k] - lights[k - 1]);
        levels[k] = std::clamp(levels[k], levels[k - 1] - reach, levels[k - 1] + reach);
    }
    for (int k = anchor - 1; k >= 0; --k) {
        const double reach = allowed(lights[k + 1] - lights[k]);
        levels[k] = std::clamp(levels[k], levels[k + 1] - reach, levels[k + 1] + reach);
    }
    return levels != wanted;
}

// By point in light order: the corrections that count for it, by index, and
// how much. The points' lights stay through the rounds, and so do these.
using Reaches = std::array<std::vector<std::pair<size_t, double>>, POINTS>;

Reaches reaches_of(const Curve &curve, const std::vector<Observation> &observations, const std::array<int, POINTS> &order)
{
    std::array<double, POINTS> lights;
    for (int i = 0; i < POINTS; ++i)
        lights[i] = curve[i].light;
    Reaches reaches;
    for (int k = 0; k < POINTS; ++k)
        for (size_t index = 0; index < observations.size(); ++index)
            if (const double w = weight(lights, order, k, observations[index].light); w > 0)
                reaches[k].emplace_back(index, w);
    return reaches;
}

// One round of the rule on `curve` (its lights stay): each point moves by
// the weighted median of the corrections' differences from `curve`, shrunk
// by one correction's weight; then, where the owner's curve never falls,
// the levels are made non-decreasing; then, with a measured coupling, no
// segment is left steep enough to hunt.
Curve pulled_once(const Curve &curve, const std::vector<Observation> &observations, const Reaches &reaches,
                  const std::array<int, POINTS> &order, bool rising, std::optional<double> counts_per_percent)
{
    std::vector<double> differences;
    for (const Observation &seen : observations)
        differences.push_back(seen.level - level_at(curve, seen.light));
    std::vector<double> levels;
    std::vector<double> trust;
    for (int k = 0; k < POINTS; ++k) {
        std::vector<std::pair<double, double>> pulls;
        double weights = 0;
        for (const auto &[index, w] : reaches[k]) {
            pulls.emplace_back(differences[index], w);
            weights += w;
        }
        const bool pulled = weights >= MIN_POINT_WEIGHT;
        levels.push_back(curve[order[k]].width + (pulled ? weighted_median(pulls) * weights / (weights + PRIOR_WEIGHT) : 0));
        trust.push_back(weights + PRIOR_WEIGHT);
    }
    if (rising)
        levels = isotonic(levels, trust);
    // Whole values from here on: the limit holds for what is written.
    std::vector<double> ordered_lights;
    for (int k = 0; k < POINTS; ++k) {
        ordered_lights.push_back(curve[order[k]].light);
        levels[k] = clamped(std::lround(levels[k]), AUTO_PWM_RANGE);
    }
    if (counts_per_percent)
        limit_gain(levels, ordered_lights, trust, *counts_per_percent);
    Curve moved = curve;
    for (int k = 0; k < POINTS; ++k)
        moved[order[k]].width = unsigned(levels[k]);
    return moved;
}

bool same_levels(const Curve &a, const Curve &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), [](const CurvePoint &p, const CurvePoint &q) { return p.width == q.width; });
}

// The rule applied until a round moves nothing: the corrections' differences
// are measured against the curve they would leave behind, so that proposing
// again after this curve is applied finds nothing to change. Shrinking,
// rounding and the isotonic step each stop short of that in one round.
// Nothing when the rounds keep moving (rounding that flips a point to and fro).
std::optional<Curve> settle(Curve curve, const std::vector<Observation> &observations,
                            const std::array<int, POINTS> &order, bool rising, std::optional<double> counts_per_percent)
{
    const Reaches reaches = reaches_of(curve, observations, order);
    for (int round = 0; round < MAX_ROUNDS; ++round) {
        const Curve moved = pulled_once(curve, observations, reaches, order, rising, counts_per_percent);
        if (same_levels(moved, curve))
            return curve;
        curve = moved;
    }
    return std::nullopt;
}

QString points_text(const std::array<bool, POINTS> &changed)
{
    QStringList numbers;
    for (int i = 0; i < POINTS; ++i)
        if (changed[i])
            numbers << QString::number(i + 1); // points are numbered 1..7 for people
    if (numbers.isEmpty())
        return CurveFit::tr("no point would change");
    if (numbers.size() == 1)
        return CurveFit::tr("point %1 would change").arg(numbers.first());
    const QString last = numbers.takeLast();
    return CurveFit::tr("points %1 would change").arg(CurveFit::tr("%1 and %2").arg(numbers.join(QStringLiteral(", ")), last));
}

QString explanation(const std::vector<CorrectionRow> &corrections, const std::array<bool, POINTS> &changed,
                    bool limited)
{
    const auto [first, last] = std::minmax_element(corrections.begin(), corrections.end(),
                                                   [](const auto &a, const auto &b) { return a.time_ms < b.time_ms; });
    const int days = int(std::max<qint64>(1, (last->time_ms - first->time_ms + DAY_MS - 1) / DAY_MS));
    const int count = int(corrections.size());
    const QString corrections_text = count == 1 ? CurveFit::tr("1 correction") : CurveFit::tr("%n corrections", nullptr, count);
    const QString days_text = days == 1 ? CurveFit::tr("1 day") : CurveFit::tr("%n days", nullptr, days);
    const QString text = CurveFit::tr("%1 over %2; %3").arg(corrections_text, days_text, points_text(changed));
    return limited ? CurveFit::tr("%1; slopes limited so that the lamp's own light cannot make it hunt").arg(text)
                   : text;
}

} // namespace

Curve curve_of(const ConfigBlock &config)
{
    Curve curve;
    for (int point = 1; point <= POINTS; ++point)
        curve[point - 1] = {config.auto_light(point), config.auto_pwm(point)};
    return curve;
}

CurveProposal CurveFit::propose(const std::vector<CorrectionRow> &corrections, const LightHistogram &histogram,
                                const ConfigBlock &current, LightPositions positions,
                                std::optional<double> counts_per_percent)
{
    CurveProposal proposal;
    Curve now = curve_of(current);
    for (CurvePoint &point : now)
        point = {clamped(point.light, AUTO_LIGHT_RANGE), clamped(point.width, AUTO_PWM_RANGE)};

    std::array<double, POINTS> lights;
    for (int i = 0; i < POINTS; ++i)
        lights[i] = now[i].light;
    if (positions == LightPositions::follow_time)
        lights = time_quantiles(histogram).value_or(lights);
    const auto order = light_order(lights);

    std::vector<Observation> observations;
    std::array<int, POINTS> per_band{};
    for (const CorrectionRow &row : corrections) {
        const Observation seen{double(clamped(long(row.light), AUTO_LIGHT_RANGE)),
                               double(clamped(row.level_after, AUTO_PWM_RANGE))};
        observations.push_back(seen);
        const auto nearest = std::min_element(order.begin(), order.end(), [&](int a, int b) {
            return std::abs(lights[a] - seen.light) < std::abs(lights[b] - seen.light);
        });
        ++per_band[*nearest];
    }
    const int bands = int(std::count_if(per_band.begin(), per_band.end(), [](int n) { return n > 0; }));
    if (int(observations.size()) < MIN_CORRECTIONS) {
        proposal.explanation = tr("%1 of the %2 manual corrections a proposal needs so far")
                                   .arg(observations.size())
                                   .arg(MIN_CORRECTIONS);
        return proposal;
    }
    if (bands < MIN_BANDS) {
        proposal.explanation =
            tr("every correction is near point %1; a proposal needs corrections near at least %2 points")
                .arg(std::max_element(per_band.begin(), per_band.end()) - per_band.begin() + 1)
                .arg(MIN_BANDS);
        return proposal;
    }

    // The curve the rule starts from: the points where they will be, each at
    // the level the current curve drives there.
    Curve start;
    for (int point = 0; point < POINTS; ++point)
        start[point] = {clamped(std::lround(lights[point]), AUTO_LIGHT_RANGE),
                        clamped(std::lround(positions == LightPositions::keep ? now[point].width
                                                                              : level_at(now, lights[point])),
                                AUTO_PWM_RANGE)};
    const auto never_falls = [&](const Curve &curve) {
        for (int k = 1; k < POINTS; ++k)
            if (curve[order[k]].width < curve[order[k - 1]].width)
                return false;
        return true;
    };
    // A proposal that never falls is kept so once applied (the owner's curve
    // then never falls): it settles under that rule too.
    const auto fit = [&](std::optional<double> coupling) {
        const bool owner_rises = never_falls(now);
        std::optional<Curve> settled = settle(start, observations, order, owner_rises, coupling);
        if (settled && !owner_rises && never_falls(*settled))
            settled = settle(*settled, observations, order, true, coupling);
        return settled;
    };
    const std::optional<Curve> settled = fit(counts_per_percent);
    const bool limited = settled && counts_per_percent && !same_levels(fit(std::nullopt).value_or(*settled), *settled);
    if (!settled) {
        proposal.explanation = tr("the corrections pull the curve back and forth; no proposal");
        return proposal;
    }

    proposal.config = current;
    for (int k = 0; k < POINTS; ++k) {
        const int point = order[k];
        proposal.points[point] = (*settled)[point];
        proposal.changed[point] = proposal.points[point].light != current.auto_light(point + 1)
                                  || proposal.points[point].width != current.auto_pwm(point + 1);
        proposal.config.set_auto_light(point + 1, proposal.points[point].light);
        proposal.config.set_auto_pwm(point + 1, proposal.points[point].width);
    }
    proposal.config.set_avrg_light_num(clamped(current.avrg_light_num(), AVRG_LIGHT_NUM_RANGE));
    proposal.made = true;
    proposal.explanation = explanation(corrections, proposal.changed, limited);
    return proposal;
}
