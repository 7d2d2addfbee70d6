#include "unapplied_edits_prompt.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

UnappliedEditsAnswer ask_about_unapplied_edits(QWidget *window)
{
    QMessageBox box(window);
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(window->windowTitle());
    box.setText(QCoreApplication::translate("UnappliedEditsPrompt", "Изменения настроек не применены."));
    box.setInformativeText(QCoreApplication::translate("UnappliedEditsPrompt", "Применить их перед закрытием?"));
    box.setStandardButtons(QMessageBox::Apply | QMessageBox::Discard | QMessageBox::Cancel);
    // Qt's own button texts would stay English under the Russian source.
    box.button(QMessageBox::Apply)->setText(QCoreApplication::translate("UnappliedEditsPrompt", "&Применить"));
    box.button(QMessageBox::Discard)
        ->setText(QCoreApplication::translate("UnappliedEditsPrompt", "&Не применять"));
    box.button(QMessageBox::Cancel)->setText(QCoreApplication::translate("UnappliedEditsPrompt", "&Отмена"));
    box.setDefaultButton(QMessageBox::Apply);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Apply:
        return UnappliedEditsAnswer::apply;
    case QMessageBox::Discard:
        return UnappliedEditsAnswer::discard;
    default:
        return UnappliedEditsAnswer::cancel;
    }
}
