#pragma once

#include <QString>

// A PWM width as the window shows it: pwm_percent with no decimals and "%"
// with no blank ("50%" for 282, "181%" for 1023).
QString pwm_percent_text(int width);
