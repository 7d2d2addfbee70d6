#include "reversal_counter.h"

#include "protocol/commands.h"

#include <cstdlib>

bool ReversalCounter::moved_enough(int from, int to) const
{
    return std::abs(to - from) * 100 >= TURN_PERCENT * PWM_FULL_SCALE;
}

void ReversalCounter::note(int width, bool automatic)
{
    if (!automatic) {
        started_ = false;
        direction_ = Direction::none;
        return;
    }
    if (!started_) {
        started_ = true;
        extreme_ = width;
        return;
    }
    const bool rising = width > extreme_;
    switch (direction_) {
    case Direction::none:
        if (moved_enough(extreme_, width)) {
            direction_ = rising ? Direction::up : Direction::down;
            extreme_ = width;
        }
        return;
    case Direction::up:
    case Direction::down:
        if (rising == (direction_ == Direction::up)) {
            extreme_ = width; // further the same way (or level)
            return;
        }
        if (moved_enough(extreme_, width)) {
            ++count_;
            direction_ = rising ? Direction::up : Direction::down;
            extreme_ = width;
        }
        return;
    }
}
