// The poll cycle: every 50 ms, identify a newly opened controller, load its
// configuration into the form, then read its live state and carry the chosen
// regulation mode and manual level to it.

#include "app/widget.h"

#include "commands.h"
#include "pwm_percent.h"
#include "ui_widget.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

void Widget::form_update()
{
    poll_tick();
    poll_timer->start();
}

void Widget::poll_tick()
{
    if (!hid_device.connected()) {
        set_frame_enabled(false);
        return;
    }
    // A controller that has just been opened is identified and loaded in the
    // same tick. A load that failed after the version was accepted is tried
    // again on the following ticks: until it succeeds the form does not show
    // this controller's settings, and an Apply would overwrite them.
    const bool identifying = hid_device.identify_pending();
    if (identifying)
        identify();
    const bool loaded = config_connection == hid_device.connection_serial();
    if ((identifying || !loaded) && !load_config())
        return;
    status_pass();
}

void Widget::identify()
{
    if (!hid_device.exchange(cmd_identify, reply_buffer.data(), nullptr)) {
        show_identify_error(tr("Не удалось опознать устройство!"), 1);
        return;
    }
    // Reply payload byte 0 is the firmware version.
    if (reply_buffer[1] == CONTROLLER_VERSION) {
        hid_device.clear_identify_pending();
        return;
    }
    show_identify_error(tr("Неверная версия устройства!"), 2);
}

// The only failure the user hears of: a modal box, then the event loop ends
// with exit_code once the current tick has returned to it.
void Widget::show_identify_error(const QString &reason, int exit_code)
{
    QMessageBox box;
    box.setText(tr("Ошибка!"));
    box.setInformativeText(reason);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    QCoreApplication::exit(exit_code);
}

bool Widget::load_config()
{
    if (!hid_device.exchange(cmd_read_state, reply_buffer.data(), nullptr))
        return false;
    std::copy_n(reply_buffer.begin() + 1, ConfigBlock::SIZE, stored_config.bytes.begin());
    config_connection = hid_device.connection_serial();
    fill_form();
    return true;
}

// Setting a control runs its change handler at once; filling_form tells the
// handlers that this is a load, not the user's editing.
void Widget::fill_form()
{
    filling_form = true;
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        const CurvePoint &point = curve_point(n);
        point.slider->setValue(int(stored_config.auto_pwm(n)));
        point.light->setValue(int(stored_config.auto_light(n)));
        // The label shows the level as the slider holds it, after its own limit.
        point.label->setText(pwm_percent_text(point.slider->value()));
    }
    ui->pwm_step_delay_spinBox->setValue(int(stored_config.pwm_step_delay()));
    ui->pwm_slide_delay_spinBox->setValue(int(stored_config.pwm_slide_delay()));
    ui->avrg_light_num_spinBox->setValue(int(stored_config.avrg_light_num()));
    ui->pwm_smooth_alg_checkBox->setChecked(stored_config.pwm_smooth_alg() != 0);
    ui->groupBox_5->setChecked(stored_config.regulation_mode() == 1);
    show_light_reading();
    ui->apply_pushButton->setEnabled(false);
    filling_form = false;
}

bool Widget::status_pass()
{
    if (!hid_device.exchange(cmd_read_state, reply_buffer.data(), nullptr))
        return false;
    // Only the live state is taken; the configuration bytes of this reply are not used.
    std::copy_n(reply_buffer.begin() + 1, ConfigBlock::STATUS_SIZE, stored_config.bytes.begin());
    show_light_reading();
    show_brightness(int(stored_config.pwm_width()));

    const unsigned mode = stored_config.regulation_mode();
    if (ui->groupBox_5->isChecked()) {
        if (mode != 1 && !send_mode(1))
            return false;
        // Command 57 splits the width into width div 4 and width mod 4.
        const int width = ui->pwm_width_horizontalSlider->value();
        payload_buffer[0] = static_cast<unsigned char>(width >> 2);
        payload_buffer[1] = static_cast<unsigned char>(width & 3);
        if (!hid_device.exchange(cmd_set_pwm_width, nullptr, payload_buffer.data()))
            return false;
        show_brightness(width);
    } else if (mode != 0 && !send_mode(0)) {
        return false;
    }
    set_frame_enabled(true);
    return true;
}

bool Widget::send_mode(int manual)
{
    payload_buffer[0] = static_cast<unsigned char>(manual);
    return hid_device.exchange(cmd_set_mode, nullptr, payload_buffer.data());
}

void Widget::set_frame_enabled(bool enabled)
{
    if (ui->configuration_frame->isEnabled() != enabled)
        ui->configuration_frame->setEnabled(enabled);
}
