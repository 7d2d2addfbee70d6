#pragma once

#include "invariant_checker.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct SessionReport
{
    std::string violation; // empty when every invariant held
    CheckerStats stats;
};

// One run of the main window over a simulated controller (behind a few decoy
// interfaces), with every decision taken from `data`: which step comes next
// (poll tick, device check, Apply, the user's edits, hot keys, unplugging and
// replugging, stray reports, closing and restarting the window) and what goes
// wrong with each request. Stops at the first broken invariant. This is the
// fuzz target's body; the corpus replay and the random walk run it too.
SessionReport run_window_session(const uint8_t *data, size_t size);

// Quiets the window's debug read-out ("ADC = ...") that odd light readings
// print on nearly every tick of a long run.
void quiet_debug_output();
