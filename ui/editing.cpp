// The form's editing handlers and Apply. The configuration counts as edited
// exactly while apply_pushButton is enabled; a load (filling_form) never
// counts as an edit.

#include "app/widget.h"

#include "protocol/pwm_percent.h"
#include "ui_widget.h"

void Widget::mark_config_dirty()
{
    if (!filling_form)
        ui->apply_pushButton->setEnabled(true);
}

// The load writes the labels itself, from the clamped slider values.
void Widget::curve_slider_changed(int n)
{
    if (filling_form)
        return;
    const CurvePoint &point = curve_point(n);
    point.label->setText(pwm_percent_text(point.slider->value()));
    ui->apply_pushButton->setEnabled(true);
}

// With linear interpolation the controller does not use the switching delay.
void Widget::on_pwm_smooth_alg_checkBox_toggled(bool checked)
{
    mark_config_dirty();
    ui->pwm_step_delay_spinBox->setEnabled(!checked);
}

// Switching the regulation mode is not a configuration edit. The manual
// slider starts at the brightness the controller drives now; the poll cycle
// switches the controller over on its next pass.
void Widget::on_groupBox_5_toggled(bool checked)
{
    ui->auto_groupBox->setEnabled(!checked);
    ui->pwm_width_horizontalSlider->setValue(int(stored_config.pwm_width()));
}

// Packs the form into the configuration bytes 5..36 and writes the whole
// block; bytes 0..4 go out as the controller last reported them. Disabled
// controls are read too.
void Widget::on_apply_pushButton_clicked()
{
    ui->apply_pushButton->setEnabled(false);
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        const CurvePoint &point = curve_point(n);
        stored_config.set_auto_light(n, unsigned(point.light->value()));
        stored_config.set_auto_pwm(n, unsigned(point.slider->value()));
    }
    stored_config.set_pwm_step_delay(unsigned(ui->pwm_step_delay_spinBox->value()));
    stored_config.set_pwm_slide_delay(unsigned(ui->pwm_slide_delay_spinBox->value()));
    stored_config.set_avrg_light_num(unsigned(ui->avrg_light_num_spinBox->value()));
    stored_config.set_pwm_smooth_alg(ui->pwm_smooth_alg_checkBox->isChecked());

    // The form now holds a whole configuration that the user chose for the
    // controller identified on this connection; a close writes it again.
    if (hid_device.connected() && !hid_device.identify_pending())
        config_connection = hid_device.connection_serial();
    // A write the controller did not confirm leaves the edits marked as
    // unapplied, so the user sees it did not go through and can press again.
    if (config_write_allowed() && !send_config_block())
        ui->apply_pushButton->setEnabled(true);
}
