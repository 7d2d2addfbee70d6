#include "form_setup.h"

#include "ui_widget.h"

#include "model/pwm_percent_text.h"
#include "protocol/commands.h"

#include <QEvent>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

// Qt's own inner margin on each side of a line edit's text.
constexpr int LINE_EDIT_MARGIN = 2;

// Keeps a read-only line edit at least as wide as `widest` needs, now and
// whenever its font or style changes (a desktop font or scale change).
class ReadOutWidth : public QObject
{
public:
    ReadOutWidth(QLineEdit *edit, const QString &widest, bool fixed)
        : QObject(edit)
        , edit(edit)
        , widest(widest)
        , fixed(fixed)
    {
        edit->installEventFilter(this);
        update();
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            update();
        return false;
    }

private:
    void update()
    {
        const QFontMetrics metrics = edit->fontMetrics();
        const QMargins text_margins = edit->textMargins();
        // The text, the cursor's column after it, and Qt's inner margins.
        const QSize text(metrics.horizontalAdvance(widest) + edit->style()->pixelMetric(QStyle::PM_TextCursorWidth)
                             + 1 + 2 * LINE_EDIT_MARGIN + text_margins.left() + text_margins.right(),
                         metrics.height());
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
        const int width = edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, edit).width();
        edit->setMinimumWidth(width);
        if (fixed)
            edit->setMaximumWidth(width);
    }

    QLineEdit *edit;
    QString widest;
    bool fixed;
};

} // namespace

void finish_form_setup(Ui::Widget &ui, QWidget *window)
{
    // Percentages go up to full scale, the light reading up to the sensor's.
    // The curve's read-outs share their columns with the sliders and spin boxes.
    const QString full_percent = pwm_percent_text(PWM_FULL_SCALE);
    for (QLineEdit *percent : {ui.auto_1_lineEdit, ui.auto_2_lineEdit, ui.auto_3_lineEdit, ui.auto_4_lineEdit,
                               ui.auto_5_lineEdit, ui.auto_6_lineEdit, ui.auto_7_lineEdit})
        new ReadOutWidth(percent, full_percent, false);
    new ReadOutWidth(ui.vAKB_lineEdit, QString::number(LIGHT_FULL_SCALE), true);
    new ReadOutWidth(ui.brightness_lineEdit, full_percent, true);

    // A disabled Apply ignores the click.
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto *shortcut = new QShortcut(QKeySequence(key), window);
        QObject::connect(shortcut, &QShortcut::activated, ui.apply_pushButton, &QPushButton::click);
    }
}
