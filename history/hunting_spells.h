#pragma once

#include "history_rows.h"

#include <optional>
#include <vector>

class HistoryStore;

// A time the brightness went back and forth by itself while the room's own
// light held still: the lamp's light reaching the sensor makes the curve
// answer itself. Times in seconds since the epoch, [start, end) of whole
// minutes, from the first minute with a turn to the end of the last.
struct HuntingSpell
{
    qint64 start = 0;
    qint64 end = 0;
    int reversals = 0; // the turns within it
    bool operator==(const HuntingSpell &other) const
    {
        return start == other.start && end == other.end && reversals == other.reversals;
    }
};

// At least MIN_REVERSALS turns within WINDOW_SECONDS while the ambient light
// stays within AMBIENT_PERCENT of its mean over them.
constexpr int HUNTING_MIN_REVERSALS = 6;
constexpr qint64 HUNTING_WINDOW_SECONDS = 10 * 60;
constexpr double HUNTING_AMBIENT_PERCENT = 5;

// The spells in one controller's minute rows (time order). The ambient
// light of a minute is its mean reading less what the lamp adds
// (counts_per_percent x the mean brightness in %), or its mean reading when
// the coupling is unknown: a minute's mean of a reading that swings with the
// lamp stays near the room's own.
std::vector<HuntingSpell> hunting_spells(const std::vector<MinuteRow> &minutes,
                                         std::optional<double> counts_per_percent);

// The spells recorded for the controller `identity` (not empty) in
// [from, to) (seconds since the epoch), with its last measured coupling.
std::vector<HuntingSpell> recorded_hunting(const HistoryStore &store, const QString &identity, qint64 from, qint64 to);
