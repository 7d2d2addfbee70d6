#include "minute_accumulator.h"

#include <algorithm>

namespace {

constexpr qint64 MINUTE_MS = 60 * 1000;

qint64 minute_start_of(qint64 ms)
{
    return ms - ((ms % MINUTE_MS) + MINUTE_MS) % MINUTE_MS;
}

} // namespace

MinuteAccumulator::MinuteAccumulator(qint64 start_ms)
    : counted_until_ms_(start_ms)
{
}

void MinuteAccumulator::set(qint64 at_ms, const LightSample &sample)
{
    count_until(at_ms);
    // The turns since the last sample of the same run go to the minute they
    // are told in; a count that went back belongs to a new controller object.
    const bool same_run = sample_.reporting && sample.reporting && sample_.identity == sample.identity;
    const unsigned turned = same_run && sample.reversals > sample_.reversals ? sample.reversals - sample_.reversals : 0;
    sample_ = sample;
    if (turned > 0 && !sample_.identity.isEmpty())
        open_minute(minute_start_of(at_ms)).reversals += int(turned);
}

MinuteAccumulator::Minute &MinuteAccumulator::open_minute(qint64 start_ms)
{
    auto minute = std::find_if(open_.begin(), open_.end(), [&](const Minute &open) {
        return open.start_ms == start_ms && open.identity == sample_.identity;
    });
    if (minute == open_.end())
        minute = open_.insert(open_.end(), {sample_.identity, start_ms, 0, 0, 0, 0, sample_.light, sample_.light, 0});
    return *minute;
}

std::vector<MinuteRow> MinuteAccumulator::take_ended(qint64 now_ms)
{
    count_until(now_ms);
    return take(minute_start_of(now_ms));
}

std::vector<MinuteRow> MinuteAccumulator::take_all(qint64 now_ms)
{
    count_until(now_ms);
    return take(now_ms + MINUTE_MS);
}

void MinuteAccumulator::count_until(qint64 until_ms)
{
    // A clock set back counts nothing until it passes the last moment counted.
    while (counted_until_ms_ < until_ms) {
        const qint64 start_ms = minute_start_of(counted_until_ms_);
        const qint64 end_ms = std::min(until_ms, start_ms + MINUTE_MS);
        if (sample_.reporting && !sample_.identity.isEmpty()) {
            Minute *minute = &open_minute(start_ms);
            const qint64 span = end_ms - counted_until_ms_;
            minute->counted_ms += span;
            minute->manual_ms += sample_.mode == 1 ? span : 0;
            minute->light_ms += double(sample_.light) * span;
            minute->width_ms += double(sample_.width) * span;
            minute->light_min = std::min(minute->light_min, sample_.light);
            minute->light_max = std::max(minute->light_max, sample_.light);
        }
        counted_until_ms_ = end_ms;
    }
}

std::vector<MinuteRow> MinuteAccumulator::take(qint64 ended_by_ms)
{
    std::vector<MinuteRow> rows;
    const auto ended = std::stable_partition(open_.begin(), open_.end(),
                                             [&](const Minute &minute) { return minute.start_ms >= ended_by_ms; });
    for (auto minute = ended; minute != open_.end(); ++minute) {
        if (minute->counted_ms == 0)
            continue;
        const double ms = double(minute->counted_ms);
        rows.push_back({minute->start_ms / 1000, minute->identity, minute->light_min, minute->light_ms / ms,
                        minute->light_max, minute->width_ms / ms, minute->manual_ms * 2 > minute->counted_ms ? 1 : 0,
                        ms / 1000, minute->reversals});
    }
    open_.erase(ended, open_.end());
    return rows;
}
