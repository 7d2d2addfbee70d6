#pragma once

#include <cstddef>
#include <cstdint>

// Hands out the bytes of a fuzz input (or of a seeded random stream) one
// decision at a time. An exhausted source answers 0, which every consumer
// reads as "the ordinary thing happens", so a session always ends calmly.
class ByteSource
{
public:
    ByteSource(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    bool exhausted() const { return at_ >= size_; }

    unsigned byte() { return exhausted() ? 0u : data_[at_++]; }

    // Big-endian, like the controller's own 16-bit values.
    unsigned word()
    {
        const unsigned high = byte();
        return high * 256u + byte();
    }

private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};
