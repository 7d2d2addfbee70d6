#include "identification_error.h"

#include <QCoreApplication>
#include <QMessageBox>

void show_identification_error(const QString &reason, int exit_code)
{
    QMessageBox box;
    box.setText(QCoreApplication::translate("Widget", "Ошибка!"));
    box.setInformativeText(reason);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    QCoreApplication::exit(exit_code);
}
