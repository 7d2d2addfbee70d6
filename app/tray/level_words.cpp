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

namespace {

// What the tool tip says of one controller, a line each.
QStringList status_lines(const ControllerStatus &status)
{
    if (!status.answering) {
        const QString since = status.silent_since.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
        QStringList lines{LevelWords::tr("Контроллер не отвечает с %1").arg(since)};
        if (status.loaded)
            lines << LevelWords::tr("Последние показания: освещенность %1, %2")
                         .arg(status.light)
                         .arg(mode_level_words(status.wanted_mode, level_percent(status)));
        return lines;
    }
    if (controller_ready(status))
        return {LevelWords::tr("Освещенность %1").arg(status.light),
                mode_level_words(status.wanted_mode, level_percent(status))};
    return {level_words(status)};
}

} // namespace

QString controller_line(const ControllerStatus &status, const QString &words)
{
    return QStringLiteral("%1: %2").arg(status.identity, words);
}

QString tray_tool_tip(const QList<ControllerStatus> &controllers, bool hot_keys_missing)
{
    QStringList lines{QStringLiteral("Morvane PWM")};
    if (controllers.size() == 1) {
        lines << status_lines(controllers.first());
    } else {
        for (const ControllerStatus &status : controllers)
            lines << controller_line(status, status_lines(status).join(QStringLiteral("; ")));
    }
    if (hot_keys_missing)
        lines << LevelWords::tr("Горячие клавиши не работают");
    return lines.join(QLatin1Char('\n'));
}
