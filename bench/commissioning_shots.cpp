// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures for the manual's commissioning sections, against simulated units:
// the start window scanning unit identifiers 1..10 behind one TCP port (units
// at 2 and 5 found, the scan still going), and the main window with the
// result of a write check that found two registers the unit did not keep.
// Usage: commissioning_shots OUTPUT-DIR   (run under a real X server; scripts/screenshots uses
// Xvfb)

#include "benchsupport.h"
#include "mainwindowdriver.h"
#include "moduleview.h"
#include "startwindow.h"
#include "foundunitstable.h"
#include "treepropertybrowser.h"
#include "unitsimfixture.h"

#include <browseritem.h>
#include <browserproperty.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QLineEdit>
#include <QMessageBox>
#include <QModbusTcpClient>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

// The screen under a window and whatever is on top of it (a message box).
bool saveScreen(QWidget *window, const QString &path)
{
    const QRect area = window->frameGeometry();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(),
                                                                      area.width(), area.height());
    const bool ok = shot.save(path);
    std::printf("%s %s\n", ok ? "Saved" : "Could not save", qPrintable(path));
    return ok;
}

bool gatewayScan(const QString &path)
{
    UnitSimFixture sim({UnitSimFixture::unit(2, {4, 0, 6, 0, 0, 1}),
                        UnitSimFixture::unit(5, {5, 4, 6, 7, 8, 1}, 21)});
    if (!sim.start())
        return false;
    StartWindow start;
    start.show();
    start.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    start.findChild<QLineEdit *>("leIp")->setText(sim.host());
    start.findChild<QLineEdit *>("lePort")->setText(QString::number(sim.port()));
    start.findChild<QPushButton *>("btnHideUnitId")->click();
    start.findChild<QSpinBox *>("leLastUnitId")->setValue(10);
    start.findChild<QPushButton *>("btnConnect")->click();
    auto *table = start.findChild<FoundUnitsTable *>("tableWidget");
    if (!QTest::qWaitFor([table] { return table->rowCount() == 2; }, 30000))
        return false;
    QTest::qWait(300);
    return BenchSupport::savePicture(&start, path);
}

bool writeCheck(const QString &path)
{
    UnitSimFixture sim;
    if (!sim.start())
        return false;
    QModbusTcpClient client;
    const std::unique_ptr<MainWindow> window = BenchSupport::openOnline(sim, &client);
    if (!window)
        return false;
    window->setGeometry(0, 0, 1280, 760);
    auto *output = window->findChild<QDockWidget *>("dockWidget_2");
    output->show();
    window->resizeDocks({output, window->findChild<QDockWidget *>("dockWidget_3")}, {760, 500},
                        Qt::Horizontal);

    // The second AI input's lower limit (812, 813) and the response delay; the
    // unit answers every write but keeps its old 813 and 2007.
    ModuleView *view = window->currentView();
    const QStringList ai = {"Субмодуль AI (Слот B)", "Аналоговый вход 2 "};
    BrowserItem *limit = itemAt(view, ai + QStringList{"Нижний предел"});
    BrowserItem *delay
        = itemAt(view, {"Параметры модуля", "Параметры связи", "Задержка ответа, мс"});
    if (!limit || !delay)
        return false;
    auto *browser = view->findChild<TreePropertyBrowser *>();
    browser->setExpanded(itemAt(view, {"Субмодуль AI (Слот B)"}), true);
    browser->setExpanded(itemAt(view, ai), true);
    browser->setExpanded(itemAt(view, {"Параметры модуля"}), true);
    browser->setExpanded(itemAt(view, {"Параметры модуля", "Параметры связи"}), true);
    limit->property()->setValue(12.3);
    delay->property()->setValue(25);
    SimFaults faults;
    faults.ignoreWrite = {813, 2007};
    sim.setFaults(faults);

    window->findChild<QAction *>("actionVerifyWrite")->setChecked(true);
    bool ok = false;
    bool shot = false;
    whenModal<QMessageBox>([&](QMessageBox *box) {
        shot = true;
        QTimer::singleShot(300, box, [&, box] {
            ok = saveScreen(window.get(), path);
            box->accept();
        });
    });
    window->findChild<QAction *>("actionWriteEditable")->trigger();
    if (!QTest::qWaitFor([&] { return shot && !QApplication::activeModalWidget(); }, 10000))
        return false;
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    BenchSupport::Application app(argc, argv);
    if (argc < 2)
        return 2;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = gatewayScan(out.filePath("gatewayscan.png"));
    ok &= writeCheck(out.filePath("writecheck.png"));
    return ok ? 0 : 1;
}
