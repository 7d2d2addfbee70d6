#include "hunting_spells.h"

#include "history_store.h"
#include "protocol/commands.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 MINUTE_SECONDS = 60;
// Around a dark room's few counts, a sensor's noise is more than 5 %.
constexpr double AMBIENT_FLOOR = LIGHT_FULL_SCALE / 100.0;

bool ambient_steady(const std::vector<double> &ambient, size_t first, size_t last)
{
    const auto [low, high] = std::minmax_element(ambient.begin() + first, ambient.begin() + last + 1);
    double sum = 0;
    for (size_t i = first; i <= last; ++i)
        sum += ambient[i];
    const double mean = sum / double(last - first + 1);
    const double tolerance = std::max(std::abs(mean) * HUNTING_AMBIENT_PERCENT / 100, AMBIENT_FLOOR);
    return *high - mean <= tolerance && mean - *low <= tolerance;
}

} // namespace

std::vector<HuntingSpell> hunting_spells(const std::vector<MinuteRow> &minutes,
                                         std::optional<double> counts_per_percent)
{
    const double k = counts_per_percent.value_or(0);
    std::vector<double> ambient;
    ambient.reserve(minutes.size());
    for (const MinuteRow &minute : minutes)
        ambient.push_back(minute.light_mean - k * minute.width_mean * 100 / PWM_FULL_SCALE);

    std::vector<HuntingSpell> spells;
    size_t first = 0; // the window's first minute
    int turns = 0;    // within the window
    for (size_t last = 0; last < minutes.size(); ++last) {
        turns += minutes[last].reversals;
        while (minutes[first].minute_start <= minutes[last].minute_start - HUNTING_WINDOW_SECONDS)
            turns -= minutes[first++].reversals;
        if (turns < HUNTING_MIN_REVERSALS || !ambient_steady(ambient, first, last))
            continue;
        size_t from = first, to = last;
        while (minutes[from].reversals == 0)
            ++from;
        while (minutes[to].reversals == 0)
            --to;
        const qint64 start = minutes[from].minute_start, end = minutes[to].minute_start + MINUTE_SECONDS;
        if (!spells.empty() && start <= spells.back().end)
            spells.back().end = std::max(spells.back().end, end);
        else
            spells.push_back({start, end, 0});
    }
    // Each spell's turns, the windows having overlapped.
    auto minute = minutes.begin();
    for (HuntingSpell &spell : spells) {
        while (minute->minute_start < spell.start)
            ++minute;
        for (; minute != minutes.end() && minute->minute_start < spell.end; ++minute)
            spell.reversals += minute->reversals;
    }
    return spells;
}

// Only the minutes around turns are read: a window holds turns of one run
// of them (turning minutes less than a window apart), and no minute more
// than a window away from it.
std::vector<HuntingSpell> recorded_hunting(const HistoryStore &store, const QString &identity, qint64 from, qint64 to)
{
    std::vector<HuntingSpell> spells;
    const auto turning = store.turning_minutes(identity, from, to);
    if (turning.empty())
        return spells;
    std::optional<double> counts_per_percent;
    if (const std::optional<CouplingResult> coupling = store.last_coupling(identity))
        counts_per_percent = coupling->counts_per_percent;
    for (auto run = turning.begin(); run != turning.end();) {
        auto end = run + 1;
        int turns = run->second;
        for (; end != turning.end() && end->first - (end - 1)->first < HUNTING_WINDOW_SECONDS; ++end)
            turns += end->second;
        if (turns >= HUNTING_MIN_REVERSALS) {
            const std::vector<MinuteRow> around =
                store.periods(identity, std::max(from, run->first - HUNTING_WINDOW_SECONDS),
                              std::min(to, (end - 1)->first + HUNTING_WINDOW_SECONDS), int(MINUTE_SECONDS));
            for (const HuntingSpell &spell : hunting_spells(around, counts_per_percent))
                spells.push_back(spell);
        }
        run = end;
    }
    return spells;
}
