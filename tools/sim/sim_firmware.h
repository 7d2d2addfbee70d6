#pragma once

#include "protocol/config_block.h"

#include <array>
#include <cstddef>
#include <deque>

// The controller's input report as the host reads it: byte 0 the echoed
// command, bytes 1..63 the reply payload (no report ID).
constexpr int SIM_REPLY_SIZE = 64;
constexpr int SIM_SAMPLE_MS = 100; // timed regulation: one reading per this
using SimReply = std::array<unsigned char, SIM_REPLY_SIZE>;

// A plausible factory configuration: a rising curve, automatic regulation,
// half brightness at a medium light reading.
ConfigBlock sim_default_config();

// The room around the controller: what its light sensor reads while the
// lamp it drives shines on it. With ambient, drift, k and noise all zero (the
// default) the reading (light_adc) stays as it was set, so a test's value
// stays what it wrote. Otherwise the reading at each request is
//   ambient + ambient_drift_per_s * seconds + lamp_counts_per_percent * lit
//   + noise
// where lit is the width in % of PWM_FULL_SCALE as the lamp shows it: after a
// width change the lamp moves linearly to the new width over lamp_settle_ms.
// noise is uniform in -noise_counts..noise_counts, from a seeded sequence so
// that a run repeats exactly.
struct SimRoom
{
    double ambient = 0;                 // light counts without the lamp
    double ambient_drift_per_s = 0;     // counts the ambient gains per second
    double lamp_counts_per_percent = 0; // counts per 1 % of the lamp's width
    int noise_counts = 0;
    int lamp_settle_ms = 0;
    unsigned noise_seed = 1;

    bool present() const
    {
        return ambient != 0 || ambient_drift_per_s != 0 || lamp_counts_per_percent != 0 || noise_counts != 0;
    }
};

// Everything the simulated controller remembers. A test describes a
// controller by filling this in.
struct SimState
{
    int version = 1;                        // reply byte of cmd_identify
    ConfigBlock config = sim_default_config();
    // In automatic regulation drive pwm_width from light_adc along the curve
    // after every request, as the real controller does between requests.
    // Off by default so that a test's pwm_width stays as it set it.
    bool follow_curve = false;
    // With follow_curve: regulate in time as the model below does, instead
    // of at once.
    bool timed_regulation = false;
    SimRoom room;
    unsigned requests = 0;                  // requests handled so far
    unsigned unknown_requests = 0;          // of them, with an unknown command
};

// The controller's firmware, without any USB or host plumbing: one output
// report in, one input report out.
//
//   cmd_identify      reply byte 1 = version
//   cmd_read_state    reply bytes 1..37 = the ConfigBlock
//   cmd_write_config  request payload 5..36 become the configuration;
//                     0..4 (the host's copy of the live state) are ignored
//   cmd_set_pwm_width in manual regulation only: width = byte0 * 4 + byte1
//   cmd_set_mode      regulation_mode = byte0, any value
//   any other code    changes nothing; echoed with an all-zero payload
//
// Every reply echoes the command in byte 0; payload bytes not named above
// are zero.
//
// Timed regulation is a model of the controller's own loop, whose inner
// working is not documented; it exists so that tests see a lamp that lights
// its own sensor hunt or run away, and nothing in the program may depend on
// it. Every SIM_SAMPLE_MS of the firmware's clock it takes a reading; once
// per switching delay (pwm_step_delay seconds, as the form labels it; 0:
// every reading) the curve's width at the mean of the last avrg_light_num
// readings becomes its target, and the width moves towards the target by 1 %
// of full scale per pwm_slide_delay x 10 ms (0: at once).
class SimFirmware
{
public:
    SimFirmware() = default;
    explicit SimFirmware(const SimState &state) : state_(state) {}

    SimState &state() { return state_; }
    const SimState &state() const { return state_; }

    // Handles one output report as the host writes it: byte 0 the report ID,
    // byte 1 the command, bytes 2..64 the payload. Bytes beyond `length` read
    // as zero. A report too short to carry a command still gets a reply to
    // command 0, like any unknown command. `now_ms` is the firmware's clock
    // (the caller's: virtual in tests, real in the preload library); a time
    // earlier than the last one counts as the last.
    SimReply handle(const unsigned char *report, size_t length, long long now_ms = 0);

private:
    void regulate();
    bool regulating_in_time() const;
    // Runs the timed regulation's readings up to `now_ms`.
    void run_until(long long now_ms);
    void take_sample();
    // The room's reading at now_ms_, into light_adc.
    void sense();
    // Starts the lamp's way to a new width at now_ms_.
    void follow_lamp();
    double lit_percent() const;
    int noise();

    SimState state_;
    long long now_ms_ = 0;
    long long next_sample_ms_ = 0;
    std::deque<unsigned> samples_; // the latest readings, oldest first
    int samples_to_decision_ = 0;
    unsigned target_width_ = 0;
    // The lamp's way from one width to the next, in % of full scale.
    bool lamp_known_ = false;
    double lamp_from_ = 0;
    double lamp_to_ = 0;
    long long lamp_since_ms_ = 0;
    unsigned long long noise_draws_ = 0;
};
