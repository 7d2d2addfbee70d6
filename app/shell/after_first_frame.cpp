#include "after_first_frame.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

// A window manager that never shows the window does not hold the rest up for longer.
constexpr int FIRST_FRAME_WAIT_MS = 2000;

class FirstFrame : public QObject
{
public:
    FirstFrame(QWidget &window, std::function<void()> then)
        : QObject(&window)
        , then_(std::move(then))
    {
        window.installEventFilter(this);
        QTimer::singleShot(FIRST_FRAME_WAIT_MS, this, &FirstFrame::run);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        // Queued: the frame goes out to the display after its paint event.
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, this, &FirstFrame::run);
        return false;
    }

private:
    void run()
    {
        if (!then_)
            return;
        const std::function<void()> then = std::move(then_);
        then_ = nullptr;
        deleteLater();
        then();
    }

    std::function<void()> then_;
};

} // namespace

void after_first_frame(QWidget &window, std::function<void()> then)
{
    if (window.isVisible())
        new FirstFrame(window, std::move(then));
    else
        QTimer::singleShot(0, &window, std::move(then));
}
