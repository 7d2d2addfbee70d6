#pragma once

#include <functional>

class QWidget;

// Runs `then` once, from the event loop, after `window` has painted its
// first frame; at once from the event loop when the window is not shown (a
// background start), and after FIRST_FRAME_WAIT_MS at the latest. Start-up
// work the first frame does not need (the history's database) waits here.
void after_first_frame(QWidget &window, std::function<void()> then);
