#pragma once

#include <QString>

// A PWM width as the percentage of PWM_FULL_SCALE the window shows:
// truncated, no decimals, "%" with no blank ("50%" for 282, "181%" for 1023).
QString pwm_percent_text(int width);
