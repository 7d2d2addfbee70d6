#pragma once

#include "coupling_result.h"
#include "protocol/config_block.h"

#include <QtGlobal>

#include <array>
#include <vector>

// One sweep of the brightness that measures how much of the lamp's light
// reaches the sensor: up through PERCENTS and back down, each step held
// until the controller reports the step's width and then until two light
// readings at least AGREEMENT_MS apart agree within AGREEMENT_FRACTION.
// A plain state machine: the Controller feeds it each status read with the
// time, and drives the width it asks for; it has no timer of its own.
class CouplingSweep
{
public:
    static constexpr std::array<unsigned, 11> PERCENTS = {0, 10, 25, 50, 75, 100, 75, 50, 25, 10, 0};
    static constexpr int STEPS = int(PERCENTS.size());
    static constexpr int AGREEMENT_MS = 250;
    static constexpr double AGREEMENT_FRACTION = 0.02;
    // Why a sweep ended without a result (CouplingResult::error).
    static constexpr const char *CANCELLED = "cancelled"; // asked to stop
    static constexpr const char *UNPLUGGED = "unplugged"; // the controller went, or the system went to sleep
    static constexpr const char *SILENT = "silent";       // it stopped answering its status reads
    static constexpr const char *CLOSING = "closing";     // the program ends
    // The environment variable that shortens every wait (tests only).
    static constexpr const char *SCALE_VARIABLE = "MORVANE_PWM_TEST_SWEEP_SCALE";

    struct Timing
    {
        // Multiplies every wait: the readings' agreement gap and each
        // step's limit. Below 1 only for tests, which cannot wait seconds.
        double scale = 1.0;

        // SCALE_VARIABLE when it holds a number in (0, 1], else the real waits.
        static Timing from_environment();
    };

    // Starts at the first step; `config` holds the smoothing and averaging
    // that bound each step's wait.
    CouplingSweep(const ConfigBlock &config, Timing timing, qint64 now_ms);

    // How long one step may take before it is recorded unsettled.
    static qint64 step_limit_ms(const ConfigBlock &config, Timing timing);

    // The width the controller is to drive now (the current step's).
    int width() const;
    // Steps finished, 0..STEPS.
    int steps_done() const { return int(points_.size()); }
    bool done() const { return steps_done() == STEPS; }
    // One status read: the width the controller reported and its light
    // reading, at now_ms. True when it finished a step.
    bool feed(unsigned reported_width, unsigned light, qint64 now_ms);
    // The fit over every step; only once done().
    CouplingResult result(qint64 measured_at_ms) const;

private:
    void finish_step(unsigned reading, bool settled, qint64 now_ms);
    bool agree(unsigned a, unsigned b) const;

    qint64 step_limit_ms_;
    qint64 agreement_ms_;
    qint64 step_started_ms_;
    // The reading the next one is compared with, once the width is right.
    bool anchored_ = false;
    unsigned anchor_reading_ = 0;
    qint64 anchor_ms_ = 0;
    bool every_step_settled_ = true;
    std::vector<CouplingPoint> points_;
};
