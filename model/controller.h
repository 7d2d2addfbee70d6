#pragma once

#include "device/hid_device.h"
#include "protocol/commands.h"
#include "protocol/config_block.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

class DeviceLock;
class QTimer;

// The controller as the program knows it, apart from any window: owns the
// HidDevice, the stored ConfigBlock and the two single-shot timers (500 ms
// device check, 50 ms poll), and runs the poll cycle (identify, load, status
// pass, mode and manual level). Views read its state and call its actions;
// every signal is emitted on change only.
class Controller : public QObject
{
    Q_OBJECT

public:
    static constexpr int DEVICE_CHECK_MS = 500;
    static constexpr int POLL_MS = 50;
    static constexpr int HOTKEY_PWM_UP = 101;   // Ctrl+Alt+P
    static constexpr int HOTKEY_PWM_DOWN = 102; // Ctrl+Alt+M
    static constexpr int HOTKEY_PWM_STEP = 17;  // one hot-key step, 3 % of PWM_FULL_SCALE

    // What became of an apply_config call.
    enum class ApplyResult {
        written,       // the controller confirmed the write
        not_confirmed, // sent, but the controller did not confirm it
        not_sent,      // no controller identified and read on this connection
    };

    explicit Controller(HidBackend &backend, QObject *parent = nullptr);
    ~Controller() override; // writes nothing: write_back() is the caller's choice

    // Starts both timers (the program); tests and one-shot clients drive
    // check_hid_device() and form_update() themselves.
    void start();
    void stop();
    // Shares the controller with other processes (the command-line client):
    // the device check opens it only while holding `lock`, and lets go once
    // it is closed. Without a lock nothing is coordinated.
    void set_device_lock(DeviceLock *lock) { device_lock_ = lock; }

    // --- State --------------------------------------------------------------
    bool connected() const;
    bool identified() const;    // answered version 1 on this connection
    bool config_loaded() const; // bytes 5..36 come from a load or an Apply on this connection
    const ConfigBlock &stored_config() const { return stored_config_; }
    unsigned light_reading() const { return stored_config_.light_adc(); }
    unsigned pwm_width() const { return stored_config_.pwm_width(); }
    // As the last status reported it: manual exactly when byte 4 is 1.
    RegulationMode controller_mode() const;
    // The width the brightness read-out shows: the manual level once a status
    // pass has sent it with command 57, otherwise the width last reported.
    int brightness_width() const { return brightness_width_; }
    // The last poll tick that found the controller completed a whole status
    // pass; cleared by the first tick that finds no controller. The form can
    // be edited exactly while this holds.
    bool live() const { return live_; }
    RegulationMode wanted_mode() const { return wanted_mode_; }
    int manual_level() const { return manual_level_; } // 0..PWM_FULL_SCALE
    // Matching interfaces the last device search could not open, as
    // "path: reason" lines, and as the device reports them.
    QStringList open_failures() const;
    const std::vector<HidOpenFailure> &open_failure_details() const
    {
        return hid_device_.open_failures();
    }
    // The window holds edits it has not applied (set by the window; other
    // clients read it before they replace the configuration).
    bool edits_pending() const { return edits_pending_; }

    // --- Actions ------------------------------------------------------------
    // Writes bytes 5..36 of `config` (bytes 0..4 go out as last reported).
    ApplyResult apply_config(const ConfigBlock &config);
    void set_wanted_mode(RegulationMode mode);
    void set_manual_level(int level); // clamped to 0..PWM_FULL_SCALE
    // The hot keys' step: acts only while connected, not loading, and the
    // controller itself reports manual regulation. Returns whether it acted.
    bool pwm_width_step(int step);
    // A system-wide hot key by its id: HOTKEY_PWM_UP steps up, HOTKEY_PWM_DOWN
    // down, any other id does nothing.
    void hot_key_pressed(int id);
    // The write-back on close: command 56 with the stored configuration, only
    // to a controller identified on this connection and only with bytes 5..36
    // that a load from it or an Apply on it filled. True when confirmed.
    bool write_back();
    void set_edits_pending(bool pending);
    // While held, status passes only read: neither the wanted mode nor the
    // manual level goes to the controller (a client that came to read).
    void hold_regulation(bool held) { regulation_held_ = held; }

public slots:
    void check_hid_device(); // one device check
    void form_update();    // one poll tick

signals:
    void connected_changed(bool connected);
    void identified_changed(bool identified);
    // A load filled bytes 5..36, or an apply from any client changed them:
    // views show them. Every load emits it, changed or not.
    void configuration_loaded();
    // Light reading, width, controller mode or brightness_width changed.
    void status_changed();
    void live_changed(bool live);
    void wanted_mode_changed(RegulationMode mode);
    void manual_level_changed(int level);
    void open_failures_changed(const QStringList &failures);
    void edits_pending_changed(bool pending);
    // The controller did not identify as version 1 (version_found, or -1 when
    // it did not answer): the program ends with exit_code after telling the
    // user `reason`. Until then it gets nothing but the load's read.
    void identification_failed(const QString &reason, int exit_code, int version_found);

private:
    // Poll cycle steps; those returning bool return false when an exchange failed.
    void identify();
    bool load_config();
    bool status_pass();
    bool carry_regulation();
    bool send_mode(RegulationMode mode);
    void note_light_reading() const;
    void announce_status();
    void announce_link(bool was_connected, bool was_identified);
    void set_live(bool live);
    bool config_write_allowed() const;
    bool send_config_block();

    HidDevice hid_device_;
    ConfigBlock stored_config_;
    std::array<unsigned char, HID_REPLY_SIZE> reply_buffer_{};
    std::array<unsigned char, HID_REPLY_SIZE> payload_buffer_{};
    RegulationMode wanted_mode_ = RegulationMode::automatic;
    int manual_level_ = 0;
    bool edits_pending_ = false;
    bool regulation_held_ = false;
    int brightness_width_ = 0;
    bool live_ = false;
    // Set while a load announces itself: the hot keys' step waits.
    bool loading_ = false;
    // The status last announced with status_changed (none before the first).
    bool status_announced_ = false;
    std::array<unsigned char, ConfigBlock::STATUS_SIZE> announced_status_{};
    int announced_brightness_ = 0;
    QStringList announced_open_failures_;
    // Connection whose configuration bytes 5..36 of stored_config_ hold (from
    // a load or an Apply on it); 0 while they hold nothing written to or read
    // from the connected controller. Guards command 56.
    unsigned config_connection_ = 0;
    // Connection on which bytes 0..4 were last read (a load or a status
    // pass); 0 before the first read.
    unsigned status_connection_ = 0;
    bool timers_running_ = false;
    DeviceLock *device_lock_ = nullptr;
    QTimer *poll_timer_ = nullptr;
    QTimer *check_timer_ = nullptr;
};
