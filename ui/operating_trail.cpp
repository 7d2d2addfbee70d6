#include "operating_trail.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <utility>

OperatingTrail::OperatingTrail(qint64 window_ms, Clock clock)
    : window_ms_(window_ms), clock_(std::move(clock))
{
}

qint64 OperatingTrail::monotonic_ms()
{
    return QDeadlineTimer::current().deadline();
}

void OperatingTrail::append(int light, int width)
{
    drop_expired();
    const qint64 now = clock_();
    if (!samples_.empty() && now - samples_.back().at_ms < SPACING_MS) {
        samples_.back().light = light;
        samples_.back().width = width;
        return;
    }
    samples_.push_back({now, light, width});
}

bool OperatingTrail::drop_expired()
{
    const qint64 oldest_kept = clock_() - window_ms_;
    const auto first_kept = std::find_if(samples_.begin(), samples_.end(),
                                         [oldest_kept](const Sample &s) { return s.at_ms >= oldest_kept; });
    if (first_kept == samples_.begin())
        return false;
    samples_.erase(samples_.begin(), first_kept);
    return true;
}

double OperatingTrail::freshness(const Sample &sample) const
{
    const double age = double(clock_() - sample.at_ms);
    return std::clamp(1.0 - age / double(window_ms_), 0.0, 1.0);
}
