#include "level_words.h"

#include "protocol/pwm_percent.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("LevelWords", text);
}

} // namespace

bool controller_ready(const ControllerStatus &status)
{
    return status.connected && status.loaded && status.live;
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
    if (!controller_ready(status))
        return tr("Контроллер не подключен");
    return (status.wanted_mode == RegulationMode::manual ? tr("Яркость %1 % (ручная)")
                                                          : tr("Яркость %1 % (автоматическая)"))
        .arg(level_percent(status));
}

QString refusal_words(Refusal why)
{
    switch (why) {
    case Refusal::none:
        break;
    case Refusal::not_connected:
        return tr("Контроллер не подключен");
    case Refusal::loading:
        return tr("Настройки контроллера ещё загружаются");
    case Refusal::not_identified:
        return tr("Контроллер не опознан");
    case Refusal::not_manual:
        return tr("Яркость меняется вручную только в ручной регулировке");
    case Refusal::out_of_range:
        return tr("Такой яркости нет");
    case Refusal::edits_pending:
        return tr("В окне есть непримененные изменения");
    case Refusal::held_elsewhere:
        return tr("Контроллер занят другой программой");
    }
    return {};
}

QString tray_tool_tip(const ControllerStatus &status, bool hot_keys_missing)
{
    QStringList lines{QStringLiteral("Morvane PWM")};
    if (controller_ready(status))
        lines << tr("Освещенность %1").arg(status.light);
    lines << level_words(status);
    if (hot_keys_missing)
        lines << tr("Горячие клавиши не работают");
    return lines.join(QLatin1Char('\n'));
}
