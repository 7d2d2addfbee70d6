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

// The real controller regulates continuously; here it happens around each
// request, so a reading and a mode switch take effect at once.
void SimFirmware::regulate()
{
    ConfigBlock &config = state_.config;
    if (state_.follow_curve && config.regulation_mode() != 1)
        config.set_pwm_width(curve_width(config, config.light_adc()));
}

void SimFirmware::sense()
{
    const SimRoom &room = state_.room;
    if (!room.present())
        return;
    const double target = width_percent(state_.config.pwm_width());
    if (!lamp_known_) {
        lamp_known_ = true;
        lamp_from_ = lamp_to_ = target;
    } else if (target != lamp_to_) {
        lamp_from_ = lit_percent();
        lamp_to_ = target;
        lamp_since_ms_ = now_ms_;
    }
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
    const unsigned long long draw = mix((static_cast<unsigned long long>(state_.room.noise_seed) << 32) ^ noise_draws_++);
    return int(draw % (2ULL * unsigned(counts) + 1)) - counts;
}
