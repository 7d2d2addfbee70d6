#include "invariant_checker.h"

#include "app/widget.h"
#include "device/hid_device.h"
#include "protocol/commands.h"
#include "protocol/config_block.h"
#include "protocol/pwm_percent.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>

namespace {

const char *const BOX_TEXT = "Ошибка!";
const char *const NO_VALID_REPLY = "Не удалось опознать устройство!";
const char *const WRONG_VERSION = "Неверная версия устройства!";

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

void InvariantChecker::watch(QWidget *window)
{
    window_ = window;
    // A new window starts with an empty stored configuration.
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

// The handle the window's HidDevice holds, if any.
HidHandle *InvariantChecker::held() const
{
    return open_.empty() ? nullptr : open_.begin()->first;
}

// --- Steps ------------------------------------------------------------------

void InvariantChecker::begin(Step step, int hot_key_id)
{
    finish_exchange();
    ++stats_.steps;
    step_ = step;
    writes_ = 0;
    writes_allowed_ = 0;
    write_confirmed_ = false;
    apply_clicked_ = false;

    Connection *current = connection(held());
    switch (step) {
    case Step::tick:
        ++stats_.ticks;
        tick_handle_ = held();
        next_ = !current ? TickNext::none
            : !current->identified ? TickNext::identify
            : !current->config ? TickNext::load
                               : TickNext::status;
        frame_enabled_before_ = enabled("configuration_frame");
        loaded_in_tick_ = false;
        identify_.reset();
        box_text_.clear();
        box_informative_.clear();
        boxes_in_tick_ = 0;
        break;
    case Step::apply:
        // A disabled button cannot be clicked. A click on an identified
        // connection makes the form's values its configuration.
        apply_clicked_ = enabled("apply_pushButton");
        if (apply_clicked_ && current && current->identified) {
            current->config = packed_form();
            writes_allowed_ = 1;
        }
        break;
    case Step::close:
        writes_allowed_ = current && current->identified && current->config ? 1 : 0;
        break;
    case Step::hot_key:
        hot_key_id_ = hot_key_id;
        slider_before_ = control("pwm_width_horizontalSlider");
        break;
    case Step::check:
    case Step::edit:
    case Step::bus:
        break;
    }
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
            fail("the window went away and left its device handle open");
        // Apply stays pressable while its write is due and unconfirmed.
        if (apply_clicked_ && enabled("apply_pushButton") != (writes_allowed_ > 0 && !write_confirmed_))
            fail(std::string("apply_pushButton is ") + (enabled("apply_pushButton") ? "enabled" : "disabled")
                 + " after an Apply whose write was " + (write_confirmed_ ? "confirmed" : "not confirmed"));
        break;
    case Step::hot_key: {
        // A hot key moves the manual slider by one step, within its range,
        // and only while a controller is held that reported manual regulation.
        const int after = control("pwm_width_horizontalSlider");
        const bool acts = held() && status_ && (*status_)[4] == 1;
        int expected = slider_before_;
        if (acts && hot_key_id_ == Widget::HOTKEY_PWM_UP)
            expected = std::min(slider_before_ + Widget::HOTKEY_PWM_STEP, PWM_FULL_SCALE);
        else if (acts && hot_key_id_ == Widget::HOTKEY_PWM_DOWN)
            expected = std::max(slider_before_ - Widget::HOTKEY_PWM_STEP, 0);
        if (after != expected) {
            fail("hot key " + std::to_string(hot_key_id_) + " moved the manual slider from "
                 + std::to_string(slider_before_) + " to " + std::to_string(after) + ", expected "
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
        fail("a step other than a tick asked the application to exit");
    if (window_)
        check_form();
}

void InvariantChecker::error_box(const QString &text, const QString &informative_text)
{
    ++stats_.error_boxes;
    ++boxes_in_tick_;
    box_text_ = text;
    box_informative_ = informative_text;
    if (step_ != Step::tick)
        fail("an error box outside a tick");
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

    // Identification: a box exactly when the reply was missing or the
    // version not 1, with the matching text and exit code.
    QString expected_reason;
    int expected_exit = -1;
    if (identify_ && !identify_->accepted) {
        expected_reason = QString::fromUtf8(NO_VALID_REPLY);
        expected_exit = 1;
    } else if (identify_ && identify_->reply[1] != CONTROLLER_VERSION) {
        expected_reason = QString::fromUtf8(WRONG_VERSION);
        expected_exit = 2;
    }
    if (boxes_in_tick_ != (expected_exit == -1 ? 0 : 1))
        fail(std::to_string(boxes_in_tick_) + " error boxes in a tick that identified "
             + (identify_ ? (identify_->accepted ? "version " + std::to_string(identify_->reply[1])
                                                 : std::string("without a valid reply"))
                          : std::string("nothing")));
    else if (expected_exit != -1
             && (box_text_ != QString::fromUtf8(BOX_TEXT) || box_informative_ != expected_reason))
        fail("error box reads \"" + box_text_.toStdString() + "\" / \""
             + box_informative_.toStdString() + "\"");
    if (exit_code != expected_exit)
        fail("the tick asked for exit code " + std::to_string(exit_code) + ", expected "
             + std::to_string(expected_exit));

    if (!window_)
        return;
    const bool frame_enabled = enabled("configuration_frame");
    if (!tick_handle_ && frame_enabled)
        fail("configuration_frame is enabled after a tick with no controller held");
    if (!frame_enabled_before_ && frame_enabled && next_ != TickNext::complete)
        fail("configuration_frame was enabled by a tick without a complete status pass");
    if (next_ == TickNext::complete && !frame_enabled)
        fail("a complete status pass left configuration_frame disabled");
    if (loaded_in_tick_ && enabled("apply_pushButton"))
        fail("apply_pushButton is enabled right after a load");
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
        const int width = control("pwm_width_horizontalSlider");
        if (payload[0] > PWM_FULL_SCALE / 4 || payload[1] > 3 || payload[0] * 4 + payload[1] != width)
            fail("cmd_set_pwm_width carries " + std::to_string(payload[0]) + ","
                 + std::to_string(payload[1]) + " for the manual level " + std::to_string(width));
    } else if (command == cmd_set_mode) {
        const int wanted = manual_chosen() ? 1 : 0;
        if (payload[0] != wanted)
            fail("cmd_set_mode carries " + std::to_string(payload[0]) + " while the window asks for "
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
// identification does not.
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
    const auto take_status = [&] {
        Status status;
        std::copy_n(exchange.reply.begin() + 1, status.size(), status.begin());
        status_ = status;
    };
    Connection *target = connection(exchange.handle);

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
        loaded_in_tick_ = true;
        ++stats_.loads;
        next_ = TickNext::status;
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

HidHandle *InvariantChecker::open(const std::string &path, std::string *error)
{
    HidHandle *handle = inner_.open(path, error);
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

// --- The form ---------------------------------------------------------------------

int InvariantChecker::control(const char *name) const
{
    QObject *object = window_ ? window_->findChild<QObject *>(QLatin1String(name)) : nullptr;
    if (auto *slider = qobject_cast<QAbstractSlider *>(object))
        return slider->value();
    if (auto *spin = qobject_cast<QSpinBox *>(object))
        return spin->value();
    if (auto *button = qobject_cast<QAbstractButton *>(object))
        return button->isChecked() ? 1 : 0;
    return -1;
}

bool InvariantChecker::manual_chosen() const
{
    const auto *group = window_ ? window_->findChild<QGroupBox *>(QStringLiteral("groupBox_5")) : nullptr;
    return group && group->isChecked();
}

bool InvariantChecker::enabled(const char *name) const
{
    const auto *widget = window_ ? window_->findChild<QWidget *>(QLatin1String(name)) : nullptr;
    return widget && widget->isEnabled();
}

// The configuration bytes as Apply packs the form.
InvariantChecker::Config InvariantChecker::packed_form() const
{
    ConfigBlock block;
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        const std::string point = "auto_" + std::to_string(n);
        block.set_auto_light(n, unsigned(control((point + "_light_spinBox").c_str())));
        block.set_auto_pwm(n, unsigned(control((point + "_verticalSlider").c_str())));
    }
    block.set_pwm_step_delay(unsigned(control("pwm_step_delay_spinBox")));
    block.set_pwm_slide_delay(unsigned(control("pwm_slide_delay_spinBox")));
    block.set_avrg_light_num(unsigned(control("avrg_light_num_spinBox")));
    block.set_pwm_smooth_alg(control("pwm_smooth_alg_checkBox") == 1);
    Config config;
    std::copy_n(block.bytes.begin() + ConfigBlock::STATUS_SIZE, config.size(), config.begin());
    return config;
}

void InvariantChecker::check_form()
{
    struct Range
    {
        std::string name;
        int low;
        int high;
    };
    std::vector<Range> ranges = {
        {"pwm_step_delay_spinBox", 0, 255},
        {"pwm_slide_delay_spinBox", 0, 255},
        {"avrg_light_num_spinBox", 1, 50},
        {"pwm_width_horizontalSlider", 0, PWM_FULL_SCALE},
    };
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        const std::string point = "auto_" + std::to_string(n);
        ranges.push_back({point + "_verticalSlider", 0, PWM_FULL_SCALE});
        ranges.push_back({point + "_light_spinBox", 0, LIGHT_FULL_SCALE});
        // A curve label is empty until the first load, then shows its slider.
        const auto *label = window_->findChild<QLineEdit *>(QString::fromStdString(point + "_lineEdit"));
        const int level = control((point + "_verticalSlider").c_str());
        if (!label || (!label->text().isEmpty() && label->text() != pwm_percent_text(level)))
            fail(point + "_lineEdit reads \"" + (label ? label->text().toStdString() : "") + "\" for level "
                 + std::to_string(level));
    }
    for (const Range &range : ranges) {
        const int value = control(range.name.c_str());
        if (value < range.low || value > range.high)
            fail(range.name + " holds " + std::to_string(value));
    }
}
