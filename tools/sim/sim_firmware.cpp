#include "sim_firmware.h"

#include "protocol/commands.h"
#include "protocol/curve_width.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int REPORT_SIZE = 65; // report ID, command, 63 payload bytes
constexpr double LIGHT_MAX = 0xFFFF; // light_adc is a 16-bit field

double width_percent(unsigned width)
{
    return width * 100.0 / PWM_FULL_SCALE;
}

// One well-mixed 64-bit value per input, so the noise is a pure function of
// the seed and the number of readings taken.
unsigned long long mix(unsigned long long x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

struct CurvePoint
{
    unsigned light;
    unsigned pwm;
};

constexpr CurvePoint DEFAULT_CURVE[ConfigBlock::CURVE_POINTS] = {
    {0, 30}, {100, 80}, {200, 150}, {350, 250}, {500, 350}, {700, 450}, {900, 564},
};

} // namespace

ConfigBlock sim_default_config()
{
    ConfigBlock config;
    for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point) {
        config.set_auto_light(point, DEFAULT_CURVE[point - 1].light);
        config.set_auto_pwm(point, DEFAULT_CURVE[point - 1].pwm);
    }
    config.set_pwm_step_delay(2);
    config.set_pwm_slide_delay(10);
    config.set_pwm_smooth_alg(true);
    config.set_avrg_light_num(10);
    config.set_light_adc(512);
    config.set_regulation_mode(0);
    config.set_pwm_width(curve_width(config, 512));
    return config;
}

SimReply SimFirmware::handle(const unsigned char *report, size_t length, long long now_ms)
{
    run_until(now_ms);
    now_ms_ = std::max(now_ms_, now_ms);
    sense();
    std::array<unsigned char, REPORT_SIZE> request{};
    std::copy_n(report, std::min(length, request.size()), request.begin());
    const unsigned char command = request[1];
    const unsigned char *payload = request.data() + 2;

    ConfigBlock &config = state_.config;
    regulate();
    SimReply reply{};
    reply[0] = command;
    ++state_.requests;

    switch (command) {
    case cmd_identify:
        reply[1] = static_cast<unsigned char>(state_.version);
        break;
    case cmd_read_state:
        std::copy(config.bytes.begin(), config.bytes.end(), reply.begin() + 1);
        break;
    case cmd_write_config:
        std::copy(payload + ConfigBlock::STATUS_SIZE, payload + ConfigBlock::SIZE,
                  config.bytes.begin() + ConfigBlock::STATUS_SIZE);
        break;
    case cmd_set_pwm_width:
        if (config.regulation_mode() == 1)
            config.set_pwm_width(payload[0] * 4u + payload[1]);
        break;
    case cmd_set_mode:
        config.set_regulation_mode(payload[0]);
        break;
    default:
        ++state_.unknown_requests;
        break;
    }

    regulate();
    sense();
    return reply;
}

// The instant form: the real controller regulates continuously; here it
// happens around each request, so a reading and a mode switch take effect at
// once.
void SimFirmware::regulate()
{
    ConfigBlock &config = state_.config;
    if (state_.follow_curve && !state_.timed_regulation && config.regulation_mode() != 1)
        config.set_pwm_width(curve_width(config, config.light_adc()));
}

bool SimFirmware::regulating_in_time() const
{
    return state_.follow_curve && state_.timed_regulation && state_.config.regulation_mode() != 1;
}

void SimFirmware::run_until(long long now_ms)
{
    if (!regulating_in_time()) {
        // Regulation starts afresh: the next reading decides at once.
        samples_.clear();
        samples_to_decision_ = 0;
        next_sample_ms_ = std::max(next_sample_ms_, (now_ms / SIM_SAMPLE_MS + 1) * SIM_SAMPLE_MS);
        return;
    }
    // After a long silence only the last minute matters: the loop has long
    // forgotten anything before.
    constexpr long long CATCH_UP_MS = 60000;
    if (now_ms - next_sample_ms_ > CATCH_UP_MS)
        next_sample_ms_ += (now_ms - next_sample_ms_ - CATCH_UP_MS) / SIM_SAMPLE_MS * SIM_SAMPLE_MS;
    for (; next_sample_ms_ <= now_ms; next_sample_ms_ += SIM_SAMPLE_MS) {
        now_ms_ = std::max(now_ms_, next_sample_ms_);
        take_sample();
    }
}

void SimFirmware::take_sample()
{
    ConfigBlock &config = state_.config;
    sense();
    samples_.push_back(config.light_adc());
    while (samples_.size() > std::max(1u, config.avrg_light_num()))
        samples_.pop_front();

    if (--samples_to_decision_ <= 0) {
        double sum = 0;
        for (unsigned sample : samples_)
            sum += sample;
        target_width_ = curve_width(config, unsigned(std::lround(sum / double(samples_.size()))));
        samples_to_decision_ = std::max(1, int(config.pwm_step_delay()) * 1000 / SIM_SAMPLE_MS);
    }

    const int width = int(config.pwm_width());
    const int slide_ms_per_percent = int(config.pwm_slide_delay()) * 10;
    const int step = slide_ms_per_percent == 0
        ? std::abs(int(target_width_) - width)
        : std::max(1, int(std::lround(PWM_FULL_SCALE / 100.0 * SIM_SAMPLE_MS / slide_ms_per_percent)));
    config.set_pwm_width(unsigned(std::clamp(int(target_width_), width - step, width + step)));
    follow_lamp();
}

void SimFirmware::follow_lamp()
{
    const double target = width_percent(state_.config.pwm_width());
    if (!lamp_known_) {
        lamp_known_ = true;
        lamp_from_ = lamp_to_ = target;
    } else if (target != lamp_to_) {
        lamp_from_ = lit_percent();
        lamp_to_ = target;
        lamp_since_ms_ = now_ms_;
    }
}

void SimFirmware::sense()
{
    follow_lamp();
    const SimRoom &room = state_.room;
    if (!room.present())
        return;
    const double reading = room.ambient + room.ambient_drift_per_s * double(now_ms_) / 1000
        + room.lamp_counts_per_percent * lit_percent() + noise();
    state_.config.set_light_adc(unsigned(std::lround(std::clamp(reading, 0.0, LIGHT_MAX))));
}

double SimFirmware::lit_percent() const
{
    const long long settle = state_.room.lamp_settle_ms;
    const long long since = now_ms_ - lamp_since_ms_;
    if (settle <= 0 || since >= settle)
        return lamp_to_;
    return lamp_from_ + (lamp_to_ - lamp_from_) * double(since) / double(settle);
}

int SimFirmware::noise()
{
    const int counts = state_.room.noise_counts;
    if (counts <= 0)
        return 0;
    const unsigned long long seed = state_.room.noise_seed;
    const unsigned long long draw = mix((seed << 32) ^ noise_draws_++);
    return int(draw % (2ULL * unsigned(counts) + 1)) - counts;
}
