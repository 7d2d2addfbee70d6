#pragma once

// Counts the turns of the brightness the controller drives by itself: a
// turn is a change of direction once the brightness has moved at least
// TURN_PERCENT of full scale one way and then as much back from its peak.
// Smaller wobbles never count (hysteresis), nor does anything said while
// the regulation is not automatic: the owner's levels are no hunting.
class ReversalCounter
{
public:
    static constexpr int TURN_PERCENT = 2;

    // One status read: the width reported, and whether the controller
    // regulated by itself then. Anything else forgets the direction.
    void note(int width, bool automatic);
    // Turns since the start; a running count, read by differences.
    unsigned count() const { return count_; }

private:
    enum class Direction { none, up, down };
    bool moved_enough(int from, int to) const;

    Direction direction_ = Direction::none;
    bool started_ = false;
    int extreme_ = 0; // the peak (or trough) of the move under way; the start while none
    unsigned count_ = 0;
};
