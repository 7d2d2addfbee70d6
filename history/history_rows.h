#pragma once

#include "model/coupling_result.h"
#include "protocol/config_block.h"

#include <QString>

#include <optional>
#include <vector>

// The history's records as plain values: what the recorder hands the store
// and what the store's queries return. Times are UTC.

// One controller's minute: the light it saw and the brightness it drove
// while it was connected and reporting.
struct MinuteRow
{
    qint64 minute_start = 0; // seconds since the epoch, a multiple of 60
    QString identity;        // ControllerStatus::identity
    unsigned light_min = 0;
    double light_mean = 0;
    unsigned light_max = 0;
    double width_mean = 0;
    int mode = 0;                 // RegulationMode that held the larger part of the minute
    double seconds_connected = 0; // 0..60
    // Turns of the brightness (up then down, or down then up) by at least
    // ReversalCounter::TURN_PERCENT in automatic regulation.
    int reversals = 0;
};

// One manual change: the owner overruling the curve at some light.
struct CorrectionRow
{
    qint64 time_ms = 0; // milliseconds since the epoch
    QString identity;
    unsigned light = 0;
    int level_before = 0; // PWM width, 0..PWM_FULL_SCALE
    int level_after = 0;
    QString source; // "window", "hot_key", "tray", "dbus", "client"
};

// The configuration a controller last loaded or confirmed.
struct StoredConfiguration
{
    QString identity;
    qint64 time_ms = 0;
    ConfigBlock config; // bytes 5..36 meaningful
};

// A time the system slept, from the moment it was about to until it woke
// (end_ms 0 while it has not woken, or the program never saw it wake).
struct SleepSpan
{
    qint64 start_ms = 0; // milliseconds since the epoch
    qint64 end_ms = 0;
};

// A measured coupling of one controller (CouplingResult::measured()).
struct CouplingRecord
{
    QString identity;
    CouplingResult result;
};

// What one minute's write carries.
struct HistoryBatch
{
    std::vector<MinuteRow> minutes;
    std::vector<CorrectionRow> corrections;
    std::vector<StoredConfiguration> configurations; // one per controller at most
    std::vector<SleepSpan> sleeps;                    // a span again when it ends
    std::vector<CouplingRecord> couplings;

    bool empty() const
    {
        return minutes.empty() && corrections.empty() && configurations.empty() && sleeps.empty() && couplings.empty();
    }
};

// Share of connected time per light bin, bins of equal width over 0..LIGHT_FULL_SCALE.
struct LightHistogram
{
    std::vector<double> seconds; // per bin
    double total_seconds = 0;

    int bins() const { return int(seconds.size()); }
    double share(int bin) const { return total_seconds > 0 ? seconds[bin] / total_seconds : 0; }
};
