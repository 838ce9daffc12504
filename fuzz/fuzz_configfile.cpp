// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes as a configuration file.
#include "fuzzpaths.h"

#include <QTemporaryDir>

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
    static QTemporaryDir dir;
    const QString fault = FuzzPaths::runConfigFile(
        QByteArray(reinterpret_cast<const char *>(data), int(size)), dir.path());
    if (!fault.isEmpty()) {
        std::fprintf(stderr, "fuzz_configfile: %s\n", qPrintable(fault));
        std::abort();
    }
    return 0;
}
