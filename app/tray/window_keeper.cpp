#include "window_keeper.h"

#include <QEvent>
#include <QWidget>

WindowKeeper::WindowKeeper(QWidget &window, QObject *parent)
    : QObject(parent), window_(window)
{
    window_.installEventFilter(this);
}

void WindowKeeper::show()
{
    window_.showNormal();
    window_.activateWindow();
    window_.raise();
}

void WindowKeeper::toggle()
{
    if (window_.isVisible() && !window_.isMinimized())
        window_.hide();
    else
        show();
}

void WindowKeeper::quit()
{
    quitting_ = true;
    window_.close();
    quitting_ = false;
}

bool WindowKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &window_)
        return false;
    // Minimising hides the window from the window system only (a
    // spontaneous hide): it stays shown.
    if (event->type() == QEvent::Show || (event->type() == QEvent::Hide && !event->spontaneous()))
        emit shown_changed(event->type() == QEvent::Show);
    if (event->type() != QEvent::Close || quitting_)
        return false;
    if (hide_on_close_ && hide_on_close_()) {
        window_.hide();
        event->ignore();
        return true;
    }
    // The window's own close handler decides (it may ask, or wait for a
    // write) and says when it closed for good.
    return false;
}
