#include "identification_error.h"

#include "protocol/commands.h"

#include <QCoreApplication>
#include <QMessageBox>

void show_identification_error(int version_found)
{
    const bool answered = version_found >= 0;
    QStringList lines{answered ? QCoreApplication::translate("Controller", "Неверная версия устройства!")
                               : QCoreApplication::translate("Controller", "Не удалось опознать устройство!")};
    if (version_found >= 0 && version_found != CONTROLLER_VERSION) {
        lines << QCoreApplication::translate("IdentificationError",
                                             "Контроллер сообщил версию %1, программа работает с версией %2.")
                     .arg(version_found)
                     .arg(CONTROLLER_VERSION);
    }
    lines << QCoreApplication::translate("IdentificationError", "Программа будет закрыта.");

    QMessageBox box;
    box.setIcon(QMessageBox::Critical);
    box.setWindowTitle(QStringLiteral("Morvane PWM"));
    box.setText(QCoreApplication::translate("Widget", "Ошибка!"));
    box.setInformativeText(lines.join(QLatin1Char('\n')));
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    QCoreApplication::exit(answered ? 2 : 1);
}
