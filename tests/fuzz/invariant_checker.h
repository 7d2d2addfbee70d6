#pragma once

#include "device/hid_backend.h"
#include "model/controller.h"

#include <QString>

#include <array>
#include <map>
#include <optional>
#include <string>

// What a session step is; each kind allows different traffic to the controller.
enum class Step {
    tick,    // one form_update: the only step that polls the controller
    apply,   // one apply_config: at most one cmd_write_config
    close,   // the program ends (write_back): at most one cmd_write_config
    check,   // one check_hid_device: opens and closes, never exchanges
    edit,    // the user changes the mode, the level or a setting: nothing goes out
    hot_key, // a hot key's pwm_width_step: moves the manual level at most
    bus,     // something happens on the bus (unplug, replug, a stray report)
};

// Counts of what a session went through, so a run can show it reached the
// interesting states and did not just idle.
struct CheckerStats
{
    int steps = 0;
    int ticks = 0;
    int connections = 0;     // handles opened
    int identified = 0;      // connections that answered version 1
    int loads = 0;           // configurations loaded into the model
    int complete_passes = 0; // status passes that ran to the end
    int config_writes = 0;   // cmd_write_config requests
    int identification_failures = 0;
};

// Sits between the model's HidDevice and the platform backend, passes every
// call through, and checks on each step the rules that must hold whatever the
// controller does:
//  1. cmd_write_config goes only to the connection that answered version 1,
//     and only after a load or an Apply on that connection filled the
//     configuration; its bytes 5..36 are what that load read or that Apply
//     was given, its bytes 0..4 the latest status read; apply_config reports
//     whether it sent the write and whether the controller confirmed it;
//  2. only the five commands are written, in 65-byte reports, with payloads
//     the protocol allows (cmd_set_pwm_width: the model's manual level as
//     div 4 / mod 4; cmd_set_mode: the model's wanted mode);
//  3. an exchange waits at most 3000 ms for its reply and reads nothing after
//     its reply, a time-out or an error; a tick sends only what its state
//     allows, in order, and stops at the first failed exchange; a controller
//     that failed identification gets its load and nothing more;
//  4. the manual level stays within 0..PWM_FULL_SCALE, a hot key moves it by
//     one step only while the controller reports manual regulation, and the
//     model is not live after a tick that found no controller and becomes
//     live only by a complete status pass.
// The first broken rule is kept; later ones are not recorded.
class InvariantChecker : public HidBackend
{
public:
    explicit InvariantChecker(HidBackend &inner);

    // The model whose state the rules read; nullptr while there is none.
    void watch(const Controller *model);

    // hot_key_step: the step a hot key asks for (0: a key that steps nothing).
    void begin(Step step, int hot_key_step = 0);
    // The configuration the apply step hands to the model, before it does.
    void applying(const ConfigBlock &config);
    void applied(const Outcome &result);
    // exit_code: what an identification failure in the step asked the
    // program to end with, or -1.
    void end(int exit_code = -1);
    // The model's identification_failed, as it is emitted.
    void identification_failed(int version_found);

    bool failed() const { return !violation_.empty(); }
    const std::string &violation() const { return violation_; }
    const CheckerStats &stats() const { return stats_; }

    std::vector<HidInterface> enumerate() override;
    HidHandle *open(const std::string &path, HidOpenFailure *failure) override;
    int write(HidHandle *handle, const unsigned char *data, size_t length) override;
    int read(HidHandle *handle, unsigned char *data, size_t length, int timeout_ms) override;
    bool alive(HidHandle *handle) override;
    void close(HidHandle *handle) override;

private:
    using Config = std::array<unsigned char, 32>; // ConfigBlock bytes 5..36
    using Status = std::array<unsigned char, 5>;  // ConfigBlock bytes 0..4

    struct Connection
    {
        bool identified = false;
        std::optional<Config> config; // filled by a load or an Apply on it
        bool status_read = false;     // a load or a status pass read bytes 0..4 on it
    };

    struct Exchange
    {
        HidHandle *handle = nullptr;
        int command = -1;
        std::array<unsigned char, 63> payload{};
        bool over = false;     // got its reply, timed out, or failed
        bool accepted = false; // a full report echoing the command was read
        std::array<unsigned char, 64> reply{};
        int waited_ms = 0;
    };

    // Where a tick stands: what it may send next.
    enum class TickNext { none, identify, load, status, mode, width, complete, stopped };

    void fail(const std::string &what);
    Connection *connection(HidHandle *handle);
    HidHandle *held() const;
    void check_request(const Exchange &exchange);
    void check_config_write(const Exchange &exchange);
    void finish_exchange();
    void tick_exchange(const Exchange &exchange);
    void end_tick(int exit_code);
    void check_model();
    bool manual_chosen() const;
    bool live() const;

    HidBackend &inner_;
    const Controller *model_ = nullptr;
    std::map<HidHandle *, Connection> open_;
    std::optional<Status> status_; // latest status the model read
    std::optional<Exchange> exchange_;
    std::string violation_;
    CheckerStats stats_;

    Step step_ = Step::bus;
    int writes_allowed_ = 0; // cmd_write_config requests this step may send
    int writes_ = 0;
    bool write_confirmed_ = false;
    std::optional<Config> config_before_apply_; // restored when an Apply is not confirmed
    int level_before_ = 0;
    int hot_key_step_ = 0;

    // The tick under way.
    TickNext next_ = TickNext::none;
    HidHandle *tick_handle_ = nullptr;
    bool live_before_ = false;
    std::optional<Exchange> identify_;
    int failure_version_ = -1;
    int failures_in_tick_ = 0;
};
