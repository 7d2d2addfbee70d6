#pragma once

#include <array>
#include <cstdint>

// The controller's 37-byte block: bytes 0..4 its live state, bytes 5..36 its
// configuration. It is the reply payload of cmd_read_state and the request
// payload of cmd_write_config. 16-bit values are big-endian.
class ConfigBlock
{
public:
    static constexpr int SIZE = 37;
    static constexpr int STATUS_SIZE = 5;  // pwm_width, light_adc, regulation_mode
    static constexpr int CURVE_POINTS = 7; // points are numbered 1..7

    std::array<unsigned char, SIZE> bytes{};

    unsigned pwm_width() const { return word(0); }
    unsigned light_adc() const { return word(2); }
    unsigned regulation_mode() const { return bytes[4]; }

    unsigned auto_light(int point) const { return word(5 + 2 * (point - 1)); }
    unsigned auto_pwm(int point) const { return word(19 + 2 * (point - 1)); }
    unsigned pwm_step_delay() const { return bytes[33]; }
    unsigned pwm_slide_delay() const { return bytes[34]; }
    unsigned pwm_smooth_alg() const { return bytes[35]; }
    unsigned avrg_light_num() const { return bytes[36]; }

    void set_pwm_width(unsigned value) { set_word(0, value); }
    void set_light_adc(unsigned value) { set_word(2, value); }
    void set_regulation_mode(unsigned value) { bytes[4] = static_cast<unsigned char>(value); }

    void set_auto_light(int point, unsigned value) { set_word(5 + 2 * (point - 1), value); }
    void set_auto_pwm(int point, unsigned value) { set_word(19 + 2 * (point - 1), value); }
    void set_pwm_step_delay(unsigned value) { bytes[33] = static_cast<unsigned char>(value); }
    void set_pwm_slide_delay(unsigned value) { bytes[34] = static_cast<unsigned char>(value); }
    void set_pwm_smooth_alg(bool on) { bytes[35] = on ? 1 : 0; }
    void set_avrg_light_num(unsigned value) { bytes[36] = static_cast<unsigned char>(value); }

private:
    unsigned word(int at) const { return bytes[at] * 256u + bytes[at + 1]; }
    void set_word(int at, unsigned value)
    {
        bytes[at] = static_cast<unsigned char>(value >> 8);
        bytes[at + 1] = static_cast<unsigned char>(value & 0xFF);
    }
};
