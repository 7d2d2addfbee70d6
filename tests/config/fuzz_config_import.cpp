// libFuzzer entry: configuration documents for the import parser. Aborts on
// the first broken import rule, so that libFuzzer keeps the input as a crash.

#include "import_invariant.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString violation =
        check_import_invariant(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!violation.isEmpty()) {
        std::fprintf(stderr, "import rule broken: %s\n", qPrintable(violation));
        std::abort();
    }
    return 0;
}
