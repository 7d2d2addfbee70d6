#include "synthetic_history.h"

#include <algorithm>
#include <cmath>

MinuteRow synthetic_minute(const QString &identity, qint64 minute_start)
{
    const double day = double(minute_start % 86400) / 86400;
    const double light = 80 + 700 * std::max(0.0, std::sin((day - 0.25) * 2 * M_PI)) + (minute_start / 60 % 37);
    // Every fourth evening the lamp's light hunts for 20 minutes from 19:00, a turn a minute.
    const qint64 of_day = minute_start % 86400;
    const int turns = minute_start / 86400 % 4 == 0 && of_day >= 19 * 3600 && of_day < 19 * 3600 + 20 * 60 ? 1 : 0;
    return {minute_start, identity, unsigned(light * 0.9), light, unsigned(light * 1.1), 100 + light / 3, 0, 60, turns};
}
