#pragma once

#include "invariant_checker.h"

#include <QTimer>

#include <functional>
#include <memory>

class Widget;

// Drives the main window the way its timers and its user would, one step at
// a time, and tells the InvariantChecker (which is also the window's HID
// backend) where each step begins and ends. The window's own timers are kept
// stopped: ticks and device checks happen only when asked for. User actions
// go through the controls and, like the user, leave disabled controls alone.
class WindowDriver
{
public:
    explicit WindowDriver(InvariantChecker &checker);
    ~WindowDriver();

    WindowDriver(const WindowDriver &) = delete;
    WindowDriver &operator=(const WindowDriver &) = delete;

    // A new window, as at start-up; the old one, if any, is closed first.
    void open_window();
    // Destroys the window, as when the application ends: its write-back runs.
    void close_window();
    Widget *window() const { return window_.get(); }

    // One poll tick; returns the exit code it asked the application for, or
    // -1. An identification error box is closed as soon as it is open.
    int tick();
    void check();
    void click_apply();
    void toggle_manual();
    void set_manual_level(int level);
    void set_curve_point(int point, int level, int light);
    // field 0: switching delay, 1: transition delay, 2: samples, 3: smoothing
    void set_setting(int field, int value);
    void hot_key(int id);

    // Runs while an identification error box is open, before it is closed:
    // the device check keeps running under a modal box.
    std::function<void()> while_box_open;
    // The device check alone, for use while a box is open.
    void run_device_check();

private:
    void stop_timers();
    template<typename Action>
    void edit(Action action);

    InvariantChecker &checker_;
    std::unique_ptr<Widget> window_;
    QTimer box_closer_;
};

// Runs `action` inside the application's event loop (as the window's timer
// slots run) and returns the exit code it asked QCoreApplication::exit() for,
// or -1 when it asked for none.
int run_in_event_loop(const std::function<void()> &action);
