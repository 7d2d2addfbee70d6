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
    const bool closed_now = window_.close();
    quitting_ = false;
    if (closed_now)
        emit closed();
}

bool WindowKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &window_ || event->type() != QEvent::Close || quitting_)
        return false;
    if (hide_on_close_ && hide_on_close_()) {
        window_.hide();
        event->ignore();
        return true;
    }
    // The window's own close handler decides (it may ask); a window no
    // longer shown after it has closed for good.
    QMetaObject::invokeMethod(this, [this] {
        if (!window_.isVisible())
            emit closed();
    }, Qt::QueuedConnection);
    return false;
}
