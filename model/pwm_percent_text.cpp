#include "pwm_percent_text.h"

#include "protocol/pwm_percent.h"

QString pwm_percent_text(int width)
{
    return QString::number(pwm_percent(width)) + QLatin1Char('%');
}
