#pragma once

#include "bench.h"
#include "invariant_checker.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The program's steps on a Bench, each one bracketed for the
// InvariantChecker, which sits in front of `inner` as the model's HID
// backend. Restarts keep the checker in front.
class CheckedRun
{
public:
    CheckedRun(Bench &bench, HidBackend &inner);

    InvariantChecker checker;

    // One poll tick; returns the exit code an identification failure asked
    // the program for, or -1.
    int tick();
    void check();
    Outcome apply(const ConfigBlock &config);
    void set_wanted_mode(RegulationMode mode);
    void set_manual_level(int level);
    // A hot key: the step it asks of the model (0: a key that steps nothing).
    void hot_key(int step);
    // The program ends (its write-back runs) and starts again.
    void restart();
    void close();

private:
    void watch();

    Bench &bench_;
    int exit_code_ = -1;
};

struct SessionReport
{
    std::string violation; // empty when every invariant held
    CheckerStats stats;
};

// One run of the model over a simulated controller (behind a few decoy
// interfaces), with every decision taken from `data`: which step comes next
// (poll tick, device check, Apply, the user's edits, hot keys, unplugging and
// replugging, stray reports, ending and restarting the program) and what goes
// wrong with each request. Stops at the first broken invariant. This is the
// fuzz target's body; the corpus replay and the random walk run it too.
SessionReport run_model_session(const uint8_t *data, size_t size);

// Quiets the model's debug line ("ADC = ...") that odd light readings print
// on nearly every tick of a long run.
void quiet_debug_output();
