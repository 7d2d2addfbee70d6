#pragma once

#include "device/hid_device.h"
#include "protocol/config_block.h"

#include <QWidget>

#include <array>
#include <memory>

class QLineEdit;
class QSlider;
class QSpinBox;
class QTimer;
class GlobalHotKeys;
class OpenFailureNotice;

namespace Ui {
class Widget;
}

// The program's only window. Owns the form, the link to the controller and
// the window's copy of the controller's ConfigBlock; a 500 ms timer keeps the
// device open (check_hid_device) and a 50 ms timer polls it (form_update).
class Widget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int DEVICE_CHECK_MS = 500;
    static constexpr int POLL_MS = 50;
    static constexpr int HOTKEY_PWM_UP = 101;
    static constexpr int HOTKEY_PWM_DOWN = 102;
    static constexpr int HOTKEY_PWM_STEP = 17;

    // The backend is the platform's HID access (hidapi in production).
    explicit Widget(HidBackend &backend, QWidget *parent = nullptr);
    ~Widget() override;

public slots:
    void message_arrived(const QString &message);

protected:
    void changeEvent(QEvent *event) override;

private slots:
    // Editing handlers; one implementation serves the seven curve points.
    void on_auto_1_light_spinBox_valueChanged(int) { mark_config_dirty(); }
    void on_auto_2_light_spinBox_valueChanged(int) { mark_config_dirty(); }
    void on_auto_3_light_spinBox_valueChanged(int) { mark_config_dirty(); }
    void on_auto_4_light_spinBox_valueChanged(int) { mark_config_dirty(); }
    void on_auto_5_light_spinBox_valueChanged(int) { mark_config_dirty(); }
    void on_auto_6_light_spinBox_valueChanged(int) { mark_config_dirty(); }
    void on_auto_7_light_spinBox_valueChanged(int) { mark_config_dirty(); }
    void on_auto_1_verticalSlider_valueChanged(int) { curve_slider_changed(1); }
    void on_auto_2_verticalSlider_valueChanged(int) { curve_slider_changed(2); }
    void on_auto_3_verticalSlider_valueChanged(int) { curve_slider_changed(3); }
    void on_auto_4_verticalSlider_valueChanged(int) { curve_slider_changed(4); }
    void on_auto_5_verticalSlider_valueChanged(int) { curve_slider_changed(5); }
    void on_auto_6_verticalSlider_valueChanged(int) { curve_slider_changed(6); }
    void on_auto_7_verticalSlider_valueChanged(int) { curve_slider_changed(7); }
    void on_pwm_step_delay_spinBox_valueChanged(int) { mark_config_dirty(); }
    void on_pwm_slide_delay_spinBox_valueChanged(int) { mark_config_dirty(); }
    void on_avrg_light_num_spinBox_valueChanged(int) { mark_config_dirty(); }
    void on_pwm_smooth_alg_checkBox_toggled(bool checked);
    void on_groupBox_5_toggled(bool checked);
    // The poll cycle carries the manual level to the controller.
    void on_pwm_width_horizontalSlider_valueChanged(int) {}
    void on_apply_pushButton_clicked();

    void check_hid_device();
    void form_update();
    void hot_key_pressed(int id);

private:
    // The three controls of one curve point, N = 1..7.
    struct CurvePoint
    {
        QSlider *slider;
        QSpinBox *light;
        QLineEdit *label;
    };
    const CurvePoint &curve_point(int n) const { return curve_points[n - 1]; }

    // True when the controller confirmed the write.
    bool send_config_block();
    bool config_write_allowed() const;
    void bring_to_front();
    void pwm_width_step(int step);
    void mark_config_dirty();
    void curve_slider_changed(int n);

    // Poll cycle steps; those returning bool return false when an exchange failed.
    void poll_tick();
    void identify();
    void show_identify_error(const QString &reason, int exit_code);
    bool load_config();
    void fill_form();
    bool status_pass();
    bool send_mode(int manual);
    void set_frame_enabled(bool enabled);

    void show_light_reading();
    void show_brightness(int width);

    Ui::Widget *ui;
    HidDevice hid_device;
    bool filling_form = false;
    std::array<unsigned char, HID_REPLY_SIZE> reply_buffer{};
    std::array<unsigned char, HID_REPLY_SIZE> payload_buffer{};
    QTimer *poll_timer = nullptr;
    QTimer *check_timer = nullptr;
    ConfigBlock stored_config;

    std::array<CurvePoint, ConfigBlock::CURVE_POINTS> curve_points{};
    // Connection whose configuration bytes 5..36 of stored_config hold (from
    // a load or an Apply on it); 0 while they hold nothing written to or
    // read from the connected controller.
    unsigned config_connection = 0;
    std::unique_ptr<GlobalHotKeys> hot_keys;
    std::unique_ptr<OpenFailureNotice> open_failure_notice;
};
