#include "sim_firmware.h"

#include "protocol/commands.h"
#include "protocol/curve_width.h"

#include <algorithm>

namespace {

constexpr int REPORT_SIZE = 65; // report ID, command, 63 payload bytes

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

SimReply SimFirmware::handle(const unsigned char *report, size_t length)
{
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
