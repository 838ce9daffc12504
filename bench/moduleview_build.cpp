// SPDX-License-Identifier: GPL-3.0-or-later
// Builds the tree of a six-board module again and again and prints the
// median build time and the peak resident memory of the process.
#include "modeflags.h"
#include "module.h"
#include "moduleview.h"
#include "submodule.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 200;

// VmHWM of /proc/self/status in kB, or -1 where there is none.
long peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(status.readAll());
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("VmHWM:\\s*(\\d+)")).match(text);
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

Module *sixBoards()
{
    auto *module = new Module(1);
    // AIO, AI, DI, TMP, DO6, DO4 in slots A to F.
    const int types[] = {5, 4, 6, 7, 8, 1};
    for (int slot = 0; slot < 6; ++slot)
        module->createSubmodule(types[slot])->setValue(SubmoduleParam::Slot, slot);
    module->setChanged(false);
    return module;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Every destroyed parameter says so; that is not what is measured.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    Module *module = sixBoards();
    ModuleView view(ModeOffline, module);
    view.show();
    QApplication::processEvents();

    std::vector<double> times;
    times.reserve(kRuns);
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        const bool built = QMetaObject::invokeMethod(&view, "setModule", Qt::DirectConnection,
                                                     Q_ARG(Module *, module));
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (!built) {
            std::fprintf(stderr, "setModule could not be called\n");
            return 1;
        }
        QApplication::processEvents();
    }
    std::sort(times.begin(), times.end());
    std::printf("setModule, six boards: median %.3f ms over %d runs (min %.3f, max %.3f)\n",
                times[times.size() / 2], kRuns, times.front(), times.back());
    // So that an empty tree can never pass for a fast one.
    int rows = 0;
    for (QTreeWidgetItemIterator it(view.findChild<QTreeWidget *>()); *it; ++it)
        ++rows;
    std::printf("rows in the tree: %d\n", rows);
    std::printf("peak resident memory (VmHWM): %ld kB\n", peakResidentKb());
    return 0;
}
