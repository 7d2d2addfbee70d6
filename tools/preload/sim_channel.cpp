#include "sim_channel.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr long LIGHT_MAX = 0xFFFF; // light_adc is a 16-bit field
constexpr int DEFAULT_SHORT_REPLY = 32;
constexpr int DEFAULT_FLOOD = 100;
constexpr long MAX_DELAY_MS = 60000;
constexpr long MAX_FLOOD = 10000;

std::vector<std::string> words(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

// Accepts finite numbers only: "nan" or "inf" in a file must not reach the
// arithmetic of the light model.
std::optional<double> parse_real(const std::string &text)
{
    errno = 0;
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
        return std::nullopt;
    return value;
}

struct KindName
{
    const char *name;
    FaultKind kind;
};

constexpr KindName KIND_NAMES[] = {
    {"write_fails", FaultKind::write_fails},
    {"silent", FaultKind::silent},
    {"wrong_echo", FaultKind::wrong_echo},
    {"short_reply", FaultKind::short_reply},
    {"delay", FaultKind::delay},
    {"flood", FaultKind::flood},
    {"unplug_mid_exchange", FaultKind::unplug_mid_exchange},
    {"deny_open", FaultKind::deny_open},
};

// The key that carries a kind's value, and the values it may take.
struct ValueKey
{
    const char *key;
    long min;
    long max;
};

std::optional<ValueKey> value_key(FaultKind kind)
{
    switch (kind) {
    case FaultKind::wrong_echo:
        return ValueKey{"code", 0, 255};
    case FaultKind::short_reply:
        return ValueKey{"len", 0, 64};
    case FaultKind::delay:
        return ValueKey{"ms", 0, MAX_DELAY_MS};
    case FaultKind::flood:
        return ValueKey{"count", 0, MAX_FLOOD};
    default:
        return std::nullopt;
    }
}

constexpr long MAX_DENY_MS = 3600000;
constexpr int MAX_ERRNO = 4095; // the kernel's errno range

// An errno as a number or by its name ("EACCES").
std::optional<long> parse_errno(const std::string &text)
{
    for (int number = 1; number < 256; ++number) {
        const char *name = strerrorname_np(number);
        if (name && text == name)
            return number;
    }
    return parse_number(text, 1, MAX_ERRNO);
}

// Reads one line; on failure says why in *why.
std::optional<WireFault> parse_fault(const std::vector<std::string> &line, std::string *why)
{
    WireFault fault;
    bool known = false;
    for (const KindName &k : KIND_NAMES) {
        if (line[0] == k.name) {
            fault.kind = k.kind;
            known = true;
        }
    }
    if (!known) {
        *why = "unknown fault '" + line[0] + "'";
        return std::nullopt;
    }
    const std::optional<ValueKey> value = value_key(fault.kind);

    for (size_t i = 1; i < line.size(); ++i) {
        const std::string &word = line[i];
        const size_t eq = word.find('=');
        const std::string key = word.substr(0, eq);
        const std::string arg = eq == std::string::npos ? std::string() : word.substr(eq + 1);
        if (key == "reason" && fault.kind == FaultKind::deny_open) {
            // The reason is free text: the rest of the line.
            fault.reason = arg;
            for (++i; i < line.size(); ++i)
                fault.reason += ' ' + line[i];
            if (fault.reason.empty()) {
                *why = "empty reason";
                return std::nullopt;
            }
            break;
        }
        std::optional<long> number;
        if (key == "cmd") {
            number = arg == "any" ? std::optional<long>(FAULT_ANY_COMMAND) : parse_number(arg, 0, 255);
            if (number)
                fault.command = int(*number);
        } else if (key == "times") {
            number = arg == "always" ? std::optional<long>(FAULT_ALWAYS) : parse_number(arg, 1, 1000000);
            if (number)
                fault.times = int(*number);
        } else if (key == "errno" && fault.kind == FaultKind::deny_open) {
            number = parse_errno(arg);
            if (number)
                fault.error_number = int(*number);
        } else if (key == "for" && fault.kind == FaultKind::deny_open) {
            number = parse_number(arg, 1, MAX_DENY_MS);
            if (number)
                fault.for_ms = int(*number);
        } else if (value && key == value->key) {
            number = parse_number(arg, value->min, value->max);
            if (number)
                fault.value = int(*number);
        } else {
            *why = "unexpected '" + word + "'";
            return std::nullopt;
        }
        if (!number) {
            *why = "bad value in '" + word + "'";
            return std::nullopt;
        }
    }
    return fault;
}

} // namespace

std::optional<LightModel> LightModel::parse(const std::string &text)
{
    const std::vector<std::string> w = words(text);
    if (w.empty())
        return std::nullopt;
    // A bare number is a constant.
    const bool bare = parse_real(w[0]).has_value();
    const std::string kind = bare ? "const" : w[0];
    std::vector<double> numbers;
    for (size_t i = bare ? 0 : 1; i < w.size(); ++i) {
        const std::optional<double> number = parse_real(w[i]);
        if (!number)
            return std::nullopt;
        numbers.push_back(*number);
    }

    LightModel model;
    if (kind == "const" && numbers.size() == 1) {
        model.a = numbers[0];
    } else if ((kind == "sine" || kind == "ramp") && numbers.size() == 3 && numbers[2] > 0) {
        model.kind = kind == "sine" ? Kind::sine : Kind::ramp;
        model.a = numbers[0];
        model.b = numbers[1];
        model.period_ms = numbers[2];
    } else {
        return std::nullopt;
    }
    return model;
}

std::optional<RoomSettings> parse_room(const std::string &text)
{
    constexpr double COUNTS_MAX = double(LIGHT_MAX);
    constexpr long SETTLE_MAX_MS = 600000;
    RoomSettings settings;
    SimRoom &room = settings.room;
    std::vector<std::string> seen;
    for (const std::string &word : words(text)) {
        const size_t eq = word.find('=');
        if (eq == std::string::npos)
            return std::nullopt;
        const std::string key = word.substr(0, eq);
        const std::string arg = word.substr(eq + 1);
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            return std::nullopt;
        seen.push_back(key);
        const std::optional<double> real = parse_real(arg);
        const auto within = [&real](double min, double max) { return real && *real >= min && *real <= max; };
        std::optional<long> whole;
        if (key == "k" && within(-COUNTS_MAX, COUNTS_MAX)) {
            room.lamp_counts_per_percent = *real;
        } else if (key == "ambient" && within(0, COUNTS_MAX)) {
            room.ambient = *real;
            settings.own_ambient = true;
        } else if (key == "drift" && within(-COUNTS_MAX, COUNTS_MAX)) {
            room.ambient_drift_per_s = *real;
        } else if (key == "noise" && (whole = parse_number(arg, 0, LIGHT_MAX))) {
            room.noise_counts = int(*whole);
        } else if (key == "settle_ms" && (whole = parse_number(arg, 0, SETTLE_MAX_MS))) {
            room.lamp_settle_ms = int(*whole);
        } else if (key == "seed" && (whole = parse_number(arg, 0, 0xFFFFFFFFL))) {
            room.noise_seed = unsigned(*whole);
        } else {
            return std::nullopt;
        }
    }
    return settings;
}

unsigned LightModel::reading_at(long long ms) const
{
    const double phase = std::fmod(double(ms < 0 ? 0 : ms), period_ms) / period_ms; // 0..1
    double value = a;
    if (kind == Kind::sine)
        value = a + b * std::sin(2 * PI * phase);
    else if (kind == Kind::ramp)
        value = a + (b - a) * phase;
    if (value < 0)
        return 0;
    if (value > LIGHT_MAX)
        return LIGHT_MAX;
    return unsigned(std::lround(value));
}

int WireFault::value_or_default(int command_code) const
{
    if (value >= 0)
        return value;
    switch (kind) {
    case FaultKind::wrong_echo:
        return (command_code + 1) & 0xFF;
    case FaultKind::short_reply:
        return DEFAULT_SHORT_REPLY;
    case FaultKind::flood:
        return DEFAULT_FLOOD;
    default:
        return 0;
    }
}

const char *fault_name(FaultKind kind)
{
    for (const KindName &k : KIND_NAMES) {
        if (k.kind == kind)
            return k.name;
    }
    return "?";
}

namespace {

// Calls `parse` with the words of each line that is neither empty nor a
// comment; a line it finds fault with (it returns why) is noted and skipped.
void for_each_line(const std::string &text, const char *file, std::vector<std::string> *notes,
                   const std::function<std::string(const std::vector<std::string> &)> &parse)
{
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        const std::vector<std::string> w = words(line);
        if (w.empty() || w[0][0] == '#')
            continue;
        const std::string why = parse(w);
        if (!why.empty() && notes)
            notes->push_back(std::string(file) + " line " + std::to_string(number) + " ignored: " + why);
    }
}

} // namespace

std::vector<WireFault> parse_faults(const std::string &text, std::vector<std::string> *notes)
{
    std::vector<WireFault> faults;
    for_each_line(text, "faults", notes, [&faults](const std::vector<std::string> &w) {
        std::string why;
        if (const std::optional<WireFault> fault = parse_fault(w, &why))
            faults.push_back(*fault);
        return why;
    });
    return faults;
}

std::vector<ControllerLine> parse_controllers(const std::string &text,
                                              std::vector<std::string> *notes)
{
    std::vector<ControllerLine> controllers;
    for_each_line(text, "controllers", notes, [&controllers](const std::vector<std::string> &w) {
        ControllerLine controller{w[0], {}, {}};
        std::string why;
        if (w[0].find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_")
            != std::string::npos)
            why = "bad name " + w[0];
        for (const ControllerLine &other : controllers) {
            if (other.name == controller.name)
                why = "name " + w[0] + " given twice";
        }
        for (size_t i = 1; i < w.size() && why.empty(); ++i) {
            const std::string &word = w[i];
            if (word.rfind("serial=", 0) == 0)
                controller.serial = word.substr(7);
            else if (word.rfind("port=", 0) == 0)
                controller.port = word.substr(5);
            else
                why = "unknown " + word;
        }
        if (why.empty())
            controllers.push_back(controller);
        return why;
    });
    return controllers;
}

std::optional<long> parse_number(const std::string &text, long min, long max)
{
    const std::vector<std::string> w = words(text);
    if (w.size() != 1)
        return std::nullopt;
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(w[0].c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<ConfigBlock> parse_block(const std::string &text)
{
    const std::vector<std::string> w = words(text);
    if (w.size() != size_t(ConfigBlock::SIZE))
        return std::nullopt;
    ConfigBlock block;
    for (int i = 0; i < ConfigBlock::SIZE; ++i) {
        char *end = nullptr;
        const std::string &word = w[size_t(i)];
        const long value = std::strtol(word.c_str(), &end, 16);
        if (word.size() > 2 || *end != '\0' || value < 0 || value > 0xFF)
            return std::nullopt;
        block.bytes[size_t(i)] = static_cast<unsigned char>(value);
    }
    return block;
}

std::string format_block(const ConfigBlock &block)
{
    return hex_bytes(block.bytes.data(), block.bytes.size());
}

std::string hex_bytes(const unsigned char *data, size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        if (i)
            out += ' ';
        out += digits[data[i] >> 4];
        out += digits[data[i] & 0xF];
    }
    return out;
}
