// The two live read-outs of the window: light reading and brightness.

#include "app/widget.h"

#include "commands.h"
#include "pwm_percent.h"
#include "ui_widget.h"

#include <QDebug>

namespace {

// Read-outs refresh every 50 ms with mostly unchanged values; leave an
// unchanged text alone rather than re-layouting and repainting it.
void set_text(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

void Widget::show_light_reading()
{
    const unsigned reading = stored_config.light_adc();
    set_text(ui->vAKB_lineEdit, QString::number(reading));
    // The sensor's scale ends at 1023; a larger value is shown as it came.
    if (reading > unsigned(LIGHT_FULL_SCALE))
        qDebug().nospace() << "ADC = " << ' ' << reading << ' ';
}

void Widget::show_brightness(int width)
{
    set_text(ui->brightness_lineEdit, pwm_percent_text(width));
}
