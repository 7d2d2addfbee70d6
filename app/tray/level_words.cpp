#include "level_words.h"

#include "protocol/pwm_percent.h"

#include <QCoreApplication>

namespace {

// The words' translation context, "LevelWords", which lupdate extracts.
struct LevelWords
{
    Q_DECLARE_TR_FUNCTIONS(LevelWords)
};

} // namespace

QString mode_level_words(RegulationMode mode, int percent)
{
    return (mode == RegulationMode::manual ? LevelWords::tr("Яркость %1 % (ручная)")
                                           : LevelWords::tr("Яркость %1 % (автоматическая)"))
        .arg(percent);
}

bool controller_ready(const ControllerStatus &status)
{
    return status.connected && status.loaded && status.live && status.answering;
}

int level_percent(const ControllerStatus &status)
{
    // The manual level is what the user asked for; the read-out catches up
    // one status pass later.
    return pwm_percent(status.wanted_mode == RegulationMode::manual ? status.manual_level
                                                                    : status.brightness_width);
}

QString level_words(const ControllerStatus &status)
{
    if (!status.answering)
        return LevelWords::tr("Контроллер не отвечает");
    if (!controller_ready(status))
        return LevelWords::tr("Контроллер не подключен");
    return mode_level_words(status.wanted_mode, level_percent(status));
}

QString tray_tool_tip(const ControllerStatus &status, bool hot_keys_missing)
{
    QStringList lines{QStringLiteral("Morvane PWM")};
    if (!status.answering) {
        const QString since = status.silent_since.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
        lines << LevelWords::tr("Контроллер не отвечает с %1").arg(since);
        if (status.loaded)
            lines << LevelWords::tr("Последние показания: освещенность %1, %2")
                         .arg(status.light)
                         .arg(mode_level_words(status.wanted_mode, level_percent(status)));
    } else if (controller_ready(status)) {
        lines << LevelWords::tr("Освещенность %1").arg(status.light) << mode_level_words(status.wanted_mode, level_percent(status));
    } else {
        lines << level_words(status);
    }
    if (hot_keys_missing)
        lines << LevelWords::tr("Горячие клавиши не работают");
    return lines.join(QLatin1Char('\n'));
}
