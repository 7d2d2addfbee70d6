#include "curve_window.h"

#include "curve_view.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

CurveWindow::CurveWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), view_(new CurveView(this)), legend_(new QLabel(this))
{
    legend_->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(legend_);
    show_texts();
    parent->installEventFilter(this);
}

void CurveWindow::show_texts()
{
    setWindowTitle(tr("Кривая яркости"));
    legend_->setText(tr("Точки 1–7 перетаскиваются мышью; выбранная точка движется стрелками (с Shift по 10). "
                        "Оранжевый круг показывает, где контроллер сейчас, бледнеющие точки за ним — его путь "
                        "за последние три минуты."));
}

void CurveWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        show_texts();
    QWidget::changeEvent(event);
}

void CurveWindow::open()
{
    open_ = true;
    show_where_it_was();
    raise();
    activateWindow();
}

void CurveWindow::show_where_it_was()
{
    if (!saved_geometry_.isEmpty())
        restoreGeometry(saved_geometry_);
    show();
}

void CurveWindow::closeEvent(QCloseEvent *event)
{
    open_ = false;
    QWidget::closeEvent(event);
}

void CurveWindow::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        saved_geometry_ = saveGeometry();
    QWidget::hideEvent(event);
}

// Follows the main window: hidden with it, back with it when the user had it
// open. Minimising is left to the window manager (some take a window's
// transient windows along): a window hidden and shown again behind its back
// loses the place the user gave it.
bool CurveWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && !event->spontaneous()) {
        if (event->type() == QEvent::Hide && isVisible())
            hide();
        else if (event->type() == QEvent::Show && open_ && !isVisible())
            show_where_it_was();
    }
    return QWidget::eventFilter(watched, event);
}
