// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes as a register image (layout in fuzzpaths.h).
#include "fuzzpaths.h"

#include <cstdio>
#include <cstdlib>

namespace {
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString fault
        = FuzzPaths::runTables(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    if (!fault.isEmpty()) {
        std::fprintf(stderr, "fuzz_tables: %s\n", qPrintable(fault));
        std::abort();
    }
    return 0;
}
