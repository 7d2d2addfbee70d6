#include "pwm_percent.h"

#include "commands.h"

QString pwm_percent_text(int width)
{
    const int percent = width * 100 / PWM_FULL_SCALE;
    return QString::number(double(percent), 'f', 0) + QLatin1Char('%');
}
