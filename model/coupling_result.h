#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>
#include <vector>

// How much of the lamp's own light reaches the controller's sensor, as one
// sweep of the brightness measured it: the readings fit
// reading = ambient + counts_per_percent x percent.

struct CouplingPoint
{
    unsigned percent = 0; // brightness, 0..100
    unsigned reading = 0; // the light reading once it had settled there
    bool operator==(const CouplingPoint &other) const
    {
        return percent == other.percent && reading == other.reading;
    }
};

struct CouplingResult
{
    double counts_per_percent = 0; // light counts per 1 % of brightness
    // How well a line explains the readings; none when they did not change.
    std::optional<double> r_squared;
    unsigned ambient_start = 0; // the reading at 0 % before the sweep went up
    unsigned ambient_end = 0;   // and after it came back down
    // False when a step never settled, or the room's light moved between
    // the start and the end (MOVED_FRACTION and MOVED_COUNTS both).
    bool stable = true;
    std::vector<CouplingPoint> points; // in the order measured
    qint64 measured_at_ms = 0;         // UTC, milliseconds since the epoch
    // Empty when measured; otherwise why the sweep ended without a result,
    // as one word ("cancelled", "unplugged", ...): the other fields are
    // then meaningless.
    QByteArray error;

    bool measured() const { return error.isEmpty(); }

    static constexpr double MOVED_FRACTION = 0.10;
    static constexpr unsigned MOVED_COUNTS = 8;
};

// Least squares over `points`. `settled`: every step settled.
CouplingResult fit_coupling(const std::vector<CouplingPoint> &points, unsigned ambient_start, unsigned ambient_end,
                            bool settled, qint64 measured_at_ms);

// {"counts_per_percent", "r_squared" (null when none), "ambient_start",
// "ambient_end", "stable", "points": [[percent, reading], ...],
// "measured_at" (ISO 8601 UTC)}, or {"error": word} for a sweep without a
// result. Compact, one line.
QByteArray coupling_json(const CouplingResult &result);
// The inverse; none for anything coupling_json would not have written.
std::optional<CouplingResult> coupling_from_json(const QByteArray &json);
