#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Decides what closing the main window means. While hide_on_close holds
// (the user keeps the program running in the background and a tray shows
// it), closing only hides the window; otherwise, and always for quit(), the window's own
// close runs (it may ask about unapplied edits, or wait for a write) and
// the window says itself when it closed for good. The application must not
// quit on its last window by itself: a hidden window and a closed message
// box would end it.
class WindowKeeper : public QObject
{
    Q_OBJECT

public:
    explicit WindowKeeper(QWidget &window, QObject *parent = nullptr);

    // Asked at each close: a tray can come and go while the program runs.
    void set_hide_on_close(std::function<bool()> hide) { hide_on_close_ = std::move(hide); }

    // Shows the window in front, or hides it when it is in view.
    void toggle();
    void show();
    // The window's closing, never to the tray: unapplied edits are asked
    // about, a write on its way is waited for.
    void quit();

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // The window was shown, or hidden (to the tray, or for good); a
    // minimised window is still shown.
    void shown_changed(bool shown);

private:
    QWidget &window_;
    std::function<bool()> hide_on_close_;
    bool quitting_ = false;
};
