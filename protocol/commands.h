#pragma once

// Command codes of the controller. Every request is echoed by its reply.
enum Command : unsigned char {
    cmd_identify = 54,      // reply payload byte 0: firmware version (only 1 is known)
    cmd_read_state = 55,    // reply payload bytes 0..36: a ConfigBlock
    cmd_write_config = 56,  // request payload bytes 0..36: a ConfigBlock
    cmd_set_pwm_width = 57, // request payload: width div 4, width mod 4
    cmd_set_mode = 58,      // request payload byte 0: 1 manual, 0 automatic
};

// Byte 4 of the ConfigBlock and the payload of cmd_set_mode.
enum class RegulationMode : unsigned char {
    automatic = 0,
    manual = 1,
};

constexpr int CONTROLLER_VERSION = 1;
constexpr int CONTROLLER_VENDOR_ID = 0x8D88;  // 36232
constexpr int CONTROLLER_PRODUCT_ID = 0x00BB; // 187

constexpr int PWM_FULL_SCALE = 564;    // PWM width that is 100 %
constexpr int LIGHT_FULL_SCALE = 1023; // highest valid light reading
