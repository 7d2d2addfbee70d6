#include "unapplied_edits_prompt.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

UnappliedEditsAnswer ask_about_unapplied_edits(QWidget *window)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("UnappliedEditsPrompt", text); };
    QMessageBox box(window);
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(window->windowTitle());
    box.setText(tr("Изменения настроек не применены."));
    box.setInformativeText(tr("Применить их перед закрытием?"));
    box.setStandardButtons(QMessageBox::Apply | QMessageBox::Discard | QMessageBox::Cancel);
    // Qt's own button texts would stay English under the Russian source.
    box.button(QMessageBox::Apply)->setText(tr("&Применить"));
    box.button(QMessageBox::Discard)->setText(tr("&Не применять"));
    box.button(QMessageBox::Cancel)->setText(tr("&Отмена"));
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
