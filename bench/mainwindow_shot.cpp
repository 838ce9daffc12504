// SPDX-License-Identifier: GPL-3.0-or-later
// The configurator with a six-board configuration open, as a user gets there:
// start window, "Создать конфигурацию оффлайн", File > Open. Prints the peak
// resident memory of the process and, given a file name, saves a picture of
// the main window with part of the tree expanded and one edited row.
// Run it under a real X server (scripts/screenshots uses Xvfb).

#include "benchsupport.h"
#include "browseritem.h"
#include "browserproperty.h"
#include "mainwindowdriver.h"
#include "moduleview.h"
#include "startwindow.h"
#include "treepropertybrowser.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// AIO, AI, DI, TMP, DO6, DO4 in slots A to F; the channels keep the values
// of new boards.
const char SixBoards[] = R"({"module": {"DEV_TYPE": "1", "SF_REV": "2.2", "DEV_ADDR": "1",
    "PORT_CFG": "10", "WDT": "1.5", "IP_1": "49320", "IP_2": "355", "MASK_1": "65535",
    "MASK_2": "65280", "GATE_1": "49320", "GATE_2": "257"},
  "submodules": [{"TYPE_SUBMODULE": "5", "POSITION_SUBMODULE": "0"},
    {"TYPE_SUBMODULE": "4", "POSITION_SUBMODULE": "1"},
    {"TYPE_SUBMODULE": "6", "POSITION_SUBMODULE": "2"},
    {"TYPE_SUBMODULE": "7", "POSITION_SUBMODULE": "3"},
    {"TYPE_SUBMODULE": "8", "POSITION_SUBMODULE": "4"},
    {"TYPE_SUBMODULE": "1", "POSITION_SUBMODULE": "5"}]})";

long peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("VmHWM:\\s*(\\d+)"))
                                              .match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

BrowserItem *child(BrowserItem *item, const QString &name)
{
    for (BrowserItem *c : item->children()) {
        if (c->property()->propertyName() == name)
            return c;
    }
    return nullptr;
}

// Expands the module parameters and the first board down to one channel,
// and edits that channel's upper limit.
bool prepareTree(ModuleView *view)
{
    auto *browser = view->findChild<TreePropertyBrowser *>();
    BrowserItem *top = browser->topItem();
    BrowserItem *params = child(top, QStringLiteral("Параметры модуля"));
    BrowserItem *board = child(top, QStringLiteral("Субмодуль AIO (Слот A)"));
    BrowserItem *channel = board ? child(board, QStringLiteral("Аналоговый вход 1 ")) : nullptr;
    BrowserItem *limit = channel ? child(channel, QStringLiteral("Верхний предел")) : nullptr;
    if (!params || !limit)
        return false;
    browser->setExpanded(params, true);
    browser->setExpanded(board, true);
    browser->setExpanded(channel, true);
    auto *editor = qobject_cast<QDoubleSpinBox *>(browser->openEditor(limit));
    if (!editor)
        return false;
    editor->setValue(20.5);
    browser->setCurrentItem(child(channel, QStringLiteral("Тип сигнала")));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    BenchSupport::Application app(argc, argv);
    const QString picture = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("six-boards.brcf"));
    QFile file(fileName);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(SixBoards) < 0)
        return 1;
    file.close();

    StartWindow start;
    start.show();
    whenModal<QDialog>([](QDialog *dialog) {
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    start.findChild<QPushButton *>(QStringLiteral("btnOffline"))->click();
    MainWindow *window = shownMainWindow();
    if (!window)
        return 1;

    chooseFile(fileName);
    window->findChild<QAction *>(QStringLiteral("actionOpen"))->trigger();
    const QList<QMdiSubWindow *> windows
        = window->findChild<QMdiArea *>()->subWindowList(QMdiArea::CreationOrder);
    if (windows.size() != 2)
        return 1;
    // The empty configuration made on the way is not needed; the help pane
    // needs a few lines only, and the tree gets the rest.
    windows.first()->close();
    if (auto *help = window->findChild<QDockWidget *>(QStringLiteral("dockWidget_3")))
        window->resizeDocks({help}, {90}, Qt::Vertical);
    QApplication::processEvents();
    const QSize area = window->findChild<QMdiArea *>()->viewport()->size();
    windows.last()->setGeometry(8, 8, 820, area.height() - 16);
    auto *view = qobject_cast<ModuleView *>(windows.last()->widget());
    if (!view || !prepareTree(view))
        return 1;

    int status = 0;
    QTimer::singleShot(1500, &app, [&]() {
        std::printf("peak resident memory (VmHWM) with a six-board module open: %ld kB\n",
                    peakResidentKb());
        if (!picture.isEmpty() && !window->grab().save(picture)) {
            std::fprintf(stderr, "could not save %s\n", qPrintable(picture));
            status = 1;
        }
        // Not closed: with an edited row, closing would ask about the changes.
        app.quit();
    });
    app.exec();
    return status;
}
