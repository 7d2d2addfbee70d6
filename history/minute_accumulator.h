#pragma once

#include "history_rows.h"

#include <QString>

#include <vector>

// What the controller was doing from one moment on, as far as the history
// cares.
struct LightSample
{
    QString identity;       // empty: no controller
    bool reporting = false; // connected and its status passes complete
    unsigned light = 0;
    unsigned width = 0;
    int mode = 0;
    // ControllerStatus::brightness_reversals: a running count, whose
    // increase between two samples of one controller goes to the minute.
    unsigned reversals = 0;
};

// Turns samples that each hold until the next into one row per controller
// and minute: the status is announced only when it changes, so every value
// counts for as long as it held (time-weighted), split at minute starts.
// Times are milliseconds since the epoch.
class MinuteAccumulator
{
public:
    explicit MinuteAccumulator(qint64 start_ms);

    // `sample` holds from at_ms on; what held before is counted up to there.
    void set(qint64 at_ms, const LightSample &sample);
    // The rows of the minutes that had ended by now_ms.
    std::vector<MinuteRow> take_ended(qint64 now_ms);
    // Every row up to now_ms, the minute under way among them (program exit).
    std::vector<MinuteRow> take_all(qint64 now_ms);

private:
    struct Minute
    {
        QString identity;
        qint64 start_ms = 0;
        qint64 counted_ms = 0;
        qint64 manual_ms = 0;
        double light_ms = 0; // light x milliseconds
        double width_ms = 0;
        unsigned light_min = 0;
        unsigned light_max = 0;
        int reversals = 0;
    };

    void count_until(qint64 until_ms);
    Minute &open_minute(qint64 start_ms);
    std::vector<MinuteRow> take(qint64 ended_by_ms);

    LightSample sample_;
    qint64 counted_until_ms_;
    std::vector<Minute> open_; // at most a few: one per controller and minute under way
};
