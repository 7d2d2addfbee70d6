#pragma once

#include "hid_backend.h"

// HidBackend on the system hidapi library (hidraw on Linux).
class HidapiBackend : public HidBackend
{
public:
    HidapiBackend();
    ~HidapiBackend() override;

    std::vector<HidInterface> enumerate() override;
    HidHandle *open(const std::string &path, std::string *error) override;
    int write(HidHandle *handle, const unsigned char *data, size_t length) override;
    int read(HidHandle *handle, unsigned char *data, size_t length, int timeout_ms) override;
    bool alive(HidHandle *handle) override;
    void close(HidHandle *handle) override;
};
