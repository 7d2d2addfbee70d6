// libFuzzer entry: the program's model over a simulated controller whose replies,
// reply lengths, time-outs, unplugs and open failures come from the input,
// interleaved with the user's actions. Aborts on the first broken invariant,
// so that libFuzzer keeps the input as a crash.

#include "model_session.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt gets arguments of its own: it would take libFuzzer's for its own
    // options. The object lives until the process exits, like the tool's.
    static int qt_argc = 1;
    static char name[] = "fuzz_window";
    static char *qt_argv[] = {name, nullptr};
    new QCoreApplication(qt_argc, qt_argv);
    quiet_debug_output();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const SessionReport report = run_model_session(data, size);
    if (!report.violation.empty()) {
        std::fprintf(stderr, "invariant broken: %s\n", report.violation.c_str());
        std::abort();
    }
    return 0;
}
