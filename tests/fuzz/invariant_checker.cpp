#include "invariant_checker.h"

#include "device/hid_device.h"
#include "protocol/commands.h"
#include "protocol/config_block.h"

#include <algorithm>

namespace {


std::string step_name(Step step)
{
    switch (step) {
    case Step::tick: return "tick";
    case Step::apply: return "Apply";
    case Step::close: return "close";
    case Step::check: return "device check";
    case Step::edit: return "edit";
    case Step::hot_key: return "hot key";
    case Step::bus: return "bus event";
    }
    return "?";
}

template<typename Bytes>
std::string hex(const Bytes &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

} // namespace

InvariantChecker::InvariantChecker(HidBackend &inner)
    : inner_(inner)
{
}

void InvariantChecker::watch(const Controller *model)
{
    model_ = model;
    // A new model starts with an empty stored configuration.
    status_.reset();
}

void InvariantChecker::fail(const std::string &what)
{
    if (violation_.empty())
        violation_ = "step " + std::to_string(stats_.steps) + " (" + step_name(step_) + "): " + what;
}

InvariantChecker::Connection *InvariantChecker::connection(HidHandle *handle)
{
    const auto found = open_.find(handle);
    return found == open_.end() ? nullptr : &found->second;
}

// The handle the model's HidDevice holds, if any.
HidHandle *InvariantChecker::held() const
{
    return open_.empty() ? nullptr : open_.begin()->first;
}

// --- Steps ------------------------------------------------------------------

void InvariantChecker::begin(Step step, int hot_key_step)
{
    finish_exchange();
    ++stats_.steps;
    step_ = step;
    writes_ = 0;
    writes_allowed_ = 0;
    write_confirmed_ = false;

    Connection *current = connection(held());
    switch (step) {
    case Step::tick:
        ++stats_.ticks;
        tick_handle_ = held();
        next_ = !current ? TickNext::none
            : !current->identified ? TickNext::identify
            : !current->config ? TickNext::load
                               : TickNext::status;
        live_before_ = live();
        identify_.reset();
        failure_version_ = -1;
        failures_in_tick_ = 0;
        break;
    case Step::close:
        writes_allowed_ = current && current->identified && current->config ? 1 : 0;
        break;
    case Step::hot_key:
        hot_key_step_ = hot_key_step;
        level_before_ = model_ ? model_->manual_level() : 0;
        break;
    case Step::apply:
    case Step::check:
    case Step::edit:
    case Step::bus:
        break;
    }
}

// Apply on an identified connection that has reported its status sends the
// given bytes 5..36; they become its configuration once confirmed.
void InvariantChecker::applying(const ConfigBlock &config)
{
    Connection *current = connection(held());
    if (step_ != Step::apply || !current || !current->identified || !current->status_read)
        return;
    Config bytes;
    std::copy_n(config.bytes.begin() + ConfigBlock::STATUS_SIZE, bytes.size(), bytes.begin());
    config_before_apply_ = current->config;
    current->config = bytes;
    writes_allowed_ = 1;
}

void InvariantChecker::applied(const Outcome &result)
{
    finish_exchange();
    const Outcome::Kind expected = writes_allowed_ == 0 ? Outcome::Kind::refused
        : write_confirmed_                              ? Outcome::Kind::done
                                                        : Outcome::Kind::not_confirmed;
    if (result.kind != expected)
        fail("apply_config reported " + std::to_string(int(result.kind)) + " where the write was "
             + (writes_allowed_ == 0 ? "not due" : write_confirmed_ ? "confirmed" : "not confirmed"));
    // An unconfirmed write leaves the configuration the write-back sends as it was.
    if (writes_allowed_ != 0 && !write_confirmed_)
        if (Connection *current = connection(held()))
            current->config = config_before_apply_;
}

void InvariantChecker::end(int exit_code)
{
    finish_exchange();
    switch (step_) {
    case Step::tick:
        end_tick(exit_code);
        break;
    case Step::apply:
    case Step::close:
        if (writes_ != writes_allowed_) {
            fail(std::to_string(writes_) + " cmd_write_config requests where the state allows "
                 + std::to_string(writes_allowed_));
        }
        if (step_ == Step::close && !open_.empty())
            fail("the program ended and left its device handle open");
        break;
    case Step::hot_key: {
        // A hot key moves the manual level by one step, within its range,
        // and only while a controller is held that reported manual regulation.
        const int after = model_ ? model_->manual_level() : 0;
        const bool acts = held() && status_ && (*status_)[4] == 1;
        const int expected = acts ? std::clamp(level_before_ + hot_key_step_, 0, PWM_FULL_SCALE) : level_before_;
        if (after != expected) {
            fail("a hot key's step of " + std::to_string(hot_key_step_) + " moved the manual level from "
                 + std::to_string(level_before_) + " to " + std::to_string(after) + ", expected "
                 + std::to_string(expected));
        }
        break;
    }
    case Step::check:
    case Step::edit:
    case Step::bus:
        break;
    }
    if (step_ != Step::tick && exit_code != -1)
        fail("a step other than a tick asked the program to exit");
    if (model_)
        check_model();
}

void InvariantChecker::identification_failed(int version_found)
{
    ++stats_.identification_failures;
    ++failures_in_tick_;
    failure_version_ = version_found;
    if (step_ != Step::tick)
        fail("an identification failure outside a tick");
}

void InvariantChecker::end_tick(int exit_code)
{
    if (next_ == TickNext::complete)
        ++stats_.complete_passes;
    // A tick may stop early only when an exchange failed or its device
    // handle went away under it (a device check while an error box is open).
    const bool same_handle = tick_handle_ && held() == tick_handle_;
    const bool unfinished = next_ != TickNext::none && next_ != TickNext::complete
        && next_ != TickNext::stopped;
    if (unfinished && same_handle)
        fail("the tick ended before the exchanges its state requires were sent");

    // Identification: one failure exactly when the reply was missing or the
    // version not 1, with the version found and the matching exit code.
    int expected_version = -1;
    int expected_exit = -1;
    if (identify_ && !identify_->accepted) {
        expected_exit = 1;
    } else if (identify_ && identify_->reply[1] != CONTROLLER_VERSION) {
        expected_version = identify_->reply[1];
        expected_exit = 2;
    }
    if (failures_in_tick_ != (expected_exit == -1 ? 0 : 1))
        fail(std::to_string(failures_in_tick_) + " identification failures in a tick that identified "
             + (identify_ ? (identify_->accepted ? "version " + std::to_string(identify_->reply[1])
                                                 : std::string("without a valid reply"))
                          : std::string("nothing")));
    else if (expected_exit != -1 && failure_version_ != expected_version)
        fail("identification failure names version " + std::to_string(failure_version_));
    if (exit_code != expected_exit)
        fail("the tick asked for exit code " + std::to_string(exit_code) + ", expected "
             + std::to_string(expected_exit));

    if (!model_)
        return;
    if (!tick_handle_ && live())
        fail("the model is live after a tick with no controller held");
    if (!live_before_ && live() && next_ != TickNext::complete)
        fail("the model became live in a tick without a complete status pass");
    if (next_ == TickNext::complete && !live())
        fail("a complete status pass left the model not live");
}

// --- Exchanges ----------------------------------------------------------------

void InvariantChecker::check_request(const Exchange &exchange)
{
    const int command = exchange.command;
    const auto &payload = exchange.payload;
    if (command < cmd_identify || command > cmd_set_mode) {
        fail("request with unknown command " + std::to_string(command));
        return;
    }
    if (command == cmd_write_config) {
        check_config_write(exchange);
        return;
    }
    if (step_ != Step::tick) {
        fail("command " + std::to_string(command) + " sent outside the poll cycle");
        return;
    }
    if (command == cmd_set_pwm_width) {
        const int width = model_ ? model_->manual_level() : -1;
        if (payload[0] > PWM_FULL_SCALE / 4 || payload[1] > 3 || payload[0] * 4 + payload[1] != width)
            fail("cmd_set_pwm_width carries " + std::to_string(payload[0]) + ","
                 + std::to_string(payload[1]) + " for the manual level " + std::to_string(width));
    } else if (command == cmd_set_mode) {
        const int wanted = manual_chosen() ? 1 : 0;
        if (payload[0] != wanted)
            fail("cmd_set_mode carries " + std::to_string(payload[0]) + " while the model wants "
                 + std::to_string(wanted));
    }
}

void InvariantChecker::check_config_write(const Exchange &exchange)
{
    ++stats_.config_writes;
    ++writes_;
    if (step_ != Step::apply && step_ != Step::close) {
        fail("cmd_write_config sent by a " + step_name(step_));
        return;
    }
    if (writes_ > writes_allowed_) {
        fail("cmd_write_config to a controller not identified on this connection, or whose "
             "configuration no load or Apply on it filled");
        return;
    }
    const Connection *target = connection(exchange.handle);
    if (!target || !target->config) {
        fail("cmd_write_config to a connection without a configuration");
        return;
    }
    const Config sent = [&] {
        Config c{};
        std::copy_n(exchange.payload.begin() + 5, c.size(), c.begin());
        return c;
    }();
    if (sent != *target->config)
        fail("cmd_write_config carries configuration " + hex(sent) + ", loaded or applied was "
             + hex(*target->config));
    if (!status_ || !std::equal(status_->begin(), status_->end(), exchange.payload.begin()))
        fail("cmd_write_config carries status bytes "
             + hex(std::array<unsigned char, 5>{exchange.payload[0], exchange.payload[1],
                                                exchange.payload[2], exchange.payload[3],
                                                exchange.payload[4]})
             + ", the latest status read was " + (status_ ? hex(*status_) : std::string("none")));
}

void InvariantChecker::finish_exchange()
{
    if (!exchange_)
        return;
    const Exchange done = *exchange_;
    exchange_.reset();
    if (done.command == cmd_write_config && done.accepted)
        write_confirmed_ = true;
    if (step_ == Step::tick)
        tick_exchange(done);
}

// Follows the tick's road: identification (only on a connection that has not
// answered version 1), a load (then, or while no load or Apply has filled the
// connection's configuration), then the status pass with the mode switch and
// manual level it calls for. A failed exchange ends the tick; a failed
// identification does not, but after its load nothing more may come.
void InvariantChecker::tick_exchange(const Exchange &exchange)
{
    const auto expect = [&](int command) {
        if (exchange.command == command)
            return true;
        fail("the tick sent command " + std::to_string(exchange.command) + " where only "
             + std::to_string(command) + " may come");
        next_ = TickNext::stopped;
        return false;
    };
    Connection *target = connection(exchange.handle);
    const auto take_status = [&] {
        Status status;
        std::copy_n(exchange.reply.begin() + 1, status.size(), status.begin());
        status_ = status;
        if (target)
            target->status_read = true;
    };

    switch (next_) {
    case TickNext::none:
        fail("the tick sent command " + std::to_string(exchange.command) + " with no controller held");
        break;
    case TickNext::complete:
    case TickNext::stopped:
        fail("the tick sent command " + std::to_string(exchange.command)
             + " after it should have ended");
        break;
    case TickNext::identify:
        if (!expect(cmd_identify))
            break;
        identify_ = exchange;
        if (exchange.accepted && exchange.reply[1] == CONTROLLER_VERSION && target) {
            target->identified = true;
            ++stats_.identified;
        }
        next_ = TickNext::load;
        break;
    case TickNext::load:
        if (!expect(cmd_read_state))
            break;
        if (!exchange.accepted) {
            next_ = TickNext::stopped;
            break;
        }
        if (target) {
            Config config;
            std::copy_n(exchange.reply.begin() + 6, config.size(), config.begin());
            target->config = config;
        }
        take_status();
        ++stats_.loads;
        next_ = target && target->identified ? TickNext::status : TickNext::stopped;
        break;
    case TickNext::status: {
        if (!expect(cmd_read_state))
            break;
        if (!exchange.accepted) {
            next_ = TickNext::stopped;
            break;
        }
        take_status();
        const unsigned mode = exchange.reply[5];
        const bool manual = manual_chosen();
        if (manual)
            next_ = mode != 1 ? TickNext::mode : TickNext::width;
        else
            next_ = mode != 0 ? TickNext::mode : TickNext::complete;
        break;
    }
    case TickNext::mode:
        if (!expect(cmd_set_mode))
            break;
        next_ = !exchange.accepted ? TickNext::stopped
            : manual_chosen()      ? TickNext::width
                                   : TickNext::complete;
        break;
    case TickNext::width:
        if (!expect(cmd_set_pwm_width))
            break;
        next_ = exchange.accepted ? TickNext::complete : TickNext::stopped;
        break;
    }
}

// --- HidBackend, passed through ------------------------------------------------

std::vector<HidInterface> InvariantChecker::enumerate()
{
    return inner_.enumerate();
}

HidHandle *InvariantChecker::open(const std::string &path, HidOpenFailure *failure)
{
    HidHandle *handle = inner_.open(path, failure);
    if (!handle)
        return nullptr;
    if (!open_.empty())
        fail("a second device handle was opened while one is held");
    open_[handle] = Connection{};
    ++stats_.connections;
    return handle;
}

int InvariantChecker::write(HidHandle *handle, const unsigned char *data, size_t length)
{
    finish_exchange();
    if (!connection(handle))
        fail("write on a handle that is not open");
    Exchange exchange;
    exchange.handle = handle;
    if (length != size_t(HidReport().size()) || data[0] != 0) {
        fail("a request of " + std::to_string(length) + " bytes, report ID "
             + std::to_string(length ? data[0] : -1));
    } else {
        exchange.command = data[1];
        std::copy_n(data + 2, exchange.payload.size(), exchange.payload.begin());
        check_request(exchange);
    }
    const int result = inner_.write(handle, data, length);
    exchange.over = result < 0;
    exchange_ = exchange;
    return result;
}

int InvariantChecker::read(HidHandle *handle, unsigned char *data, size_t length, int timeout_ms)
{
    if (!connection(handle))
        fail("read on a handle that is not open");
    if (!exchange_ || exchange_->handle != handle || exchange_->over)
        fail("a read outside an exchange: before a request, or after its reply, time-out or error");
    if (timeout_ms < 0 || timeout_ms > HID_EXCHANGE_TIMEOUT_MS)
        fail("a read that may wait " + std::to_string(timeout_ms) + " ms");

    const int result = inner_.read(handle, data, length, timeout_ms);
    if (!exchange_)
        return result;
    Exchange &exchange = *exchange_;
    if (result == 0) {
        exchange.waited_ms += timeout_ms;
        exchange.over = true;
        if (exchange.waited_ms > HID_EXCHANGE_TIMEOUT_MS)
            fail("command " + std::to_string(exchange.command) + " waited "
                 + std::to_string(exchange.waited_ms) + " ms for its reply");
    } else if (result < 0) {
        exchange.over = true;
    } else if (result == HID_REPLY_SIZE && data[0] == exchange.command) {
        exchange.accepted = true;
        exchange.over = true;
        std::copy_n(data, exchange.reply.size(), exchange.reply.begin());
    }
    return result;
}

bool InvariantChecker::alive(HidHandle *handle)
{
    if (!connection(handle))
        fail("liveness test on a handle that is not open");
    return inner_.alive(handle);
}

void InvariantChecker::close(HidHandle *handle)
{
    finish_exchange();
    if (!connection(handle))
        fail("close of a handle that is not open");
    open_.erase(handle);
    inner_.close(handle);
}

// --- The model ---------------------------------------------------------------------

bool InvariantChecker::manual_chosen() const
{
    return model_ && model_->wanted_mode() == RegulationMode::manual;
}

bool InvariantChecker::live() const
{
    return model_ && model_->live();
}

void InvariantChecker::check_model()
{
    const int level = model_->manual_level();
    if (level < 0 || level > PWM_FULL_SCALE)
        fail("the manual level is " + std::to_string(level));
}
