#pragma once

// The text formats of the simulated controller's control directory: what the
// scripts and tests write into it, and what the library writes back. Plain
// parsing, no files and no clock, so every rule can be tried in isolation.
// Bad text never throws: it is refused (std::nullopt) or skipped with a note.

#include "protocol/config_block.h"
#include "tools/sim/sim_firmware.h"

#include <optional>
#include <string>
#include <vector>

// The light sensor's reading as a function of time since the library started.
//   "512" or "const 512"       a constant
//   "sine MID AMP PERIOD_MS"   MID + AMP * sin(2 pi t / PERIOD_MS)
//   "ramp FROM TO PERIOD_MS"   FROM to TO over PERIOD_MS, then again from FROM
// Readings are limited to what the controller's 16-bit field carries.
struct LightModel
{
    enum class Kind { constant, sine, ramp };
    Kind kind = Kind::constant;
    double a = 512;          // constant value, sine midpoint, ramp start
    double b = 0;            // sine amplitude, ramp end
    double period_ms = 1000;

    static std::optional<LightModel> parse(const std::string &text);
    unsigned reading_at(long long ms) const;
};

// The `room` file: how much of the lamp's own light reaches the sensor.
//   [k=COUNTS_PER_PERCENT] [ambient=COUNTS] [noise=COUNTS] [settle_ms=MS]
//   [drift=COUNTS_PER_S] [seed=N]
// Keys in any order, each at most once; left out: 0 (seed 1). Without
// ambient= the `light` file's reading is the ambient the lamp adds to.
struct RoomSettings
{
    SimRoom room;
    bool own_ambient = false; // ambient= given
};

std::optional<RoomSettings> parse_room(const std::string &text);

enum class FaultKind {
    write_fails,         // the write fails; the controller sees nothing
    silent,              // the request is lost: not acted on, never answered
    wrong_echo,          // the reply carries code `value` (default: command + 1)
    short_reply,         // the reply is only `value` bytes long (default 32)
    delay,               // the reply becomes readable `value` ms after the request
    flood,               // `value` unsolicited reports (default 100) come first
    unplug_mid_exchange, // the request is acted on, then the device is gone
    deny_open,           // opening the controller fails with `reason`
};

constexpr int FAULT_ANY_COMMAND = -1;
constexpr int FAULT_ALWAYS = -1;

// One line of the `faults` file:
//   KIND [cmd=N|any] [times=N|always] [code=N] [len=N] [ms=N] [count=N]
//        [errno=N|NAME] [for=MS] [reason=TEXT...]
// cmd picks the requests it hits (any by default; for deny_open it is not
// used), times how many of them (always by default). deny_open alone takes
// errno (a number or a name such as EACCES; default EACCES), for (denies
// only during the first MS ms after the controller was plugged in or the
// file applied, whichever came later) and reason, which takes the rest of
// the line (default: the C library's text for the errno).
struct WireFault
{
    FaultKind kind = FaultKind::silent;
    int command = FAULT_ANY_COMMAND;
    int times = FAULT_ALWAYS;
    int value = -1; // code, len, ms or count; < 0 picks the default
    int error_number = 13; // EACCES, as open(2) sets it without the udev rule
    int for_ms = -1;       // < 0: for as long as `times` lasts
    std::string reason;    // empty: strerror(error_number)

    // The value, or the kind's default when none was given.
    int value_or_default(int command_code) const;
};

// The fault's name in the `faults` file.
const char *fault_name(FaultKind kind);

// Parses the whole `faults` file. Blank lines and lines starting with '#' are
// skipped; each line that cannot be read is skipped and described in *notes.
std::vector<WireFault> parse_faults(const std::string &text, std::vector<std::string> *notes);

// One line of the `controllers` file: NAME [serial=TEXT] [port=TEXT].
// The name is letters, digits, '-' and '_'; a name given twice is refused.
struct ControllerLine
{
    std::string name;
    std::string serial;              // empty: the controller reports none
    std::optional<std::string> port; // absent: the default port; empty: none
};

// Parses the whole `controllers` file, skipping blank and '#' lines; each
// line that cannot be read is skipped and described in *notes.
std::vector<ControllerLine> parse_controllers(const std::string &text,
                                              std::vector<std::string> *notes);

// A decimal integer within [min, max], surrounding blanks allowed.
std::optional<long> parse_number(const std::string &text, long min, long max);

// The `state` file: the ConfigBlock as 37 hexadecimal bytes separated by
// blanks, on one line.
std::optional<ConfigBlock> parse_block(const std::string &text);
std::string format_block(const ConfigBlock &block);

// Bytes as two-digit lower-case hex, separated by single blanks.
std::string hex_bytes(const unsigned char *data, size_t length);
