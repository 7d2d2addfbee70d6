#pragma once

#include "byte_source.h"
#include "tools/sim/sim_backend.h"

// Sits between the HidDevice side and the simulated bus. Before each request
// reaches the controller, one byte of the input decides what goes wrong with
// it: most bytes let it through untouched; the rest make the write fail, the
// controller stay silent, echo another code, answer short or late, flood the
// queue, vanish mid-exchange, make the read fail, or garble the reply.
class FaultInjector : public HidBackend
{
public:
    FaultInjector(SimBackend &sim, int controller, ByteSource &input);

    std::vector<HidInterface> enumerate() override { return sim_.enumerate(); }
    HidHandle *open(const std::string &path, HidOpenFailure *failure) override
    {
        return sim_.open(path, failure);
    }
    int write(HidHandle *handle, const unsigned char *data, size_t length) override;
    int read(HidHandle *handle, unsigned char *data, size_t length, int timeout_ms) override;
    bool alive(HidHandle *handle) override { return sim_.alive(handle); }
    void close(HidHandle *handle) override { sim_.close(handle); }

private:
    void plan(int command);

    SimBackend &sim_;
    const int controller_;
    ByteSource &input_;
    bool fail_next_read_ = false;
    bool garble_next_reply_ = false;
};
