#include "coupling_sweep.h"

#include "protocol/pwm_percent.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace {

// The controller does not document the units of its smoothing and averaging
// settings, so each step's limit counts them generously: a base for the
// width command's round trip and two readings AGREEMENT_MS apart at the
// 50 ms poll, 20 ms per unit of the slide delay while smoothing is on (a
// width gliding to the level: at most 5.1 s), and 100 ms per averaged
// light sample (the mean taking a new light in: at most 5 s).
constexpr qint64 STEP_BASE_MS = 2000;
constexpr qint64 MS_PER_SLIDE_UNIT = 20;
constexpr qint64 MS_PER_AVERAGED_SAMPLE = 100;

qint64 scaled(qint64 ms, double scale)
{
    return std::max<qint64>(1, std::llround(double(ms) * scale));
}

} // namespace

CouplingSweep::Timing CouplingSweep::Timing::from_environment()
{
    bool ok = false;
    const double scale = qEnvironmentVariable(SCALE_VARIABLE).toDouble(&ok);
    Timing timing;
    if (ok && scale > 0 && scale <= 1)
        timing.scale = scale;
    return timing;
}

qint64 CouplingSweep::step_limit_ms(const ConfigBlock &config, Timing timing)
{
    const qint64 gliding = config.pwm_smooth_alg() ? MS_PER_SLIDE_UNIT * config.pwm_slide_delay() : 0;
    const qint64 averaging = MS_PER_AVERAGED_SAMPLE * config.avrg_light_num();
    return scaled(STEP_BASE_MS + gliding + averaging, timing.scale);
}

CouplingSweep::CouplingSweep(const ConfigBlock &config, Timing timing, qint64 now_ms)
    : step_limit_ms_(step_limit_ms(config, timing))
    , agreement_ms_(scaled(AGREEMENT_MS, timing.scale))
    , step_started_ms_(now_ms)
{
    points_.reserve(PERCENTS.size());
}

int CouplingSweep::width() const
{
    return pwm_width_of_percent(int(PERCENTS[size_t(std::min(steps_done(), STEPS - 1))]));
}

// A reading is a whole count: in the dark 2 % is less than one.
bool CouplingSweep::agree(unsigned a, unsigned b) const
{
    const unsigned apart = a > b ? a - b : b - a;
    return apart <= std::max(1.0, AGREEMENT_FRACTION * std::max(a, b));
}

// Readings count only once the controller drives the step's width; each is
// compared with the first at least agreement_ms_ before it, and one that
// disagrees starts the comparison afresh. A step past its limit keeps the
// last reading and leaves the sweep unsettled.
bool CouplingSweep::feed(unsigned reported_width, unsigned light, qint64 now_ms)
{
    if (done())
        return false;
    if (now_ms - step_started_ms_ >= step_limit_ms_) {
        finish_step(light, false, now_ms);
        return true;
    }
    if (int(reported_width) != width()) {
        anchored_ = false;
        return false;
    }
    if (!anchored_) {
        anchored_ = true;
        anchor_reading_ = light;
        anchor_ms_ = now_ms;
        return false;
    }
    if (now_ms - anchor_ms_ < agreement_ms_)
        return false;
    if (agree(anchor_reading_, light)) {
        finish_step(light, true, now_ms);
        return true;
    }
    anchor_reading_ = light;
    anchor_ms_ = now_ms;
    return false;
}

void CouplingSweep::finish_step(unsigned reading, bool settled, qint64 now_ms)
{
    points_.push_back({PERCENTS[points_.size()], reading});
    every_step_settled_ = every_step_settled_ && settled;
    step_started_ms_ = now_ms;
    anchored_ = false;
}

// The room's light is the reading at 0 % before the lamp went up and after
// it came back down.
CouplingResult CouplingSweep::result(qint64 measured_at_ms) const
{
    Q_ASSERT(done());
    return fit_coupling(points_, points_.front().reading, points_.back().reading, every_step_settled_,
                        measured_at_ms);
}
