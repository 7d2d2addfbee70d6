#pragma once

#include <QtGlobal>

#include <deque>
#include <functional>

// Where the controller has been on the curve lately: samples of its operating
// point (light reading, PWM width) over the last window_ms. Samples closer in
// time than SPACING_MS share one slot that holds the latest of them, so a
// trail fed every 50 ms poll tick stays a few hundred samples long.
class OperatingTrail
{
public:
    static constexpr qint64 DEFAULT_WINDOW_MS = 3 * 60 * 1000;
    static constexpr qint64 SPACING_MS = 500;

    struct Sample
    {
        qint64 at_ms;
        int light;
        int width;
    };
    // Milliseconds on a monotonic clock; tests pass their own.
    using Clock = std::function<qint64()>;

    explicit OperatingTrail(qint64 window_ms = DEFAULT_WINDOW_MS, Clock clock = monotonic_ms);

    void append(int light, int width);
    // Forgets the samples older than the window; true when it forgot any.
    bool drop_expired();
    // 1 for a sample taken now, falling to 0 at the end of the window.
    double freshness(const Sample &sample) const;

    const std::deque<Sample> &samples() const { return samples_; }
    bool empty() const { return samples_.empty(); }

    static qint64 monotonic_ms();

private:
    qint64 window_ms_;
    Clock clock_;
    std::deque<Sample> samples_; // oldest first
};
