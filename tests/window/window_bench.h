#pragma once

#include "bench.h"
#include "ui/widget.h"

// The program with its window attached to the model.
struct WindowBench : Bench
{
    explicit WindowBench(const ControllerState &controller = ControllerState())
        : Bench(controller, View::attached)
    {
    }
};
