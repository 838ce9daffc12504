// SPDX-License-Identifier: GPL-3.0-or-later
#include "plantwindow.h"

#include "configdiffdialog.h"
#include "journalwindow.h"
#include "plantunitsmodel.h"
#include "recentfiles.h"

#include <backuparchive.h>
#include <configfile.h>
#include <csvwriter.h>
#include <journal.h>
#include <module.h>
#include <plantrunner.h>
#include <reportprinter.h>

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

#include <utility>

namespace {

const QString PlantFilter = QStringLiteral("Объект БРК-40 (*.brplant)");
// TCP units and serial lines served at once.
constexpr int Jobs = 8;

QPointer<PlantWindow> currentWindow;

} // namespace

PlantWindow::PlantWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_model(new PlantUnitsModel(this))
    , m_table(new QTableView(this))
    , m_progress(new QProgressBar(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Объект"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    setCentralWidget(m_table);
    m_progress->setRange(0, 1000);
    m_progress->hide();
    statusBar()->addPermanentWidget(m_progress);
    setUpActions();
    resize(960, 480);
}

PlantWindow::~PlantWindow()
{
    delete m_fleet; // its sessions report into the model
}

void PlantWindow::setUpActions()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("Файл"));
    addMenuEntry(file, this);
    file->addAction(QStringLiteral("Экспорт в CSV…"), this, &PlantWindow::onExport);
    file->addAction(QStringLiteral("Журнал изменений…"), this, &PlantWindow::showJournal);
    m_runActions << file->addAction(QStringLiteral("Отчёт по объекту…"), this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Отчёт по объекту"),
                                                          QFileInfo(m_path).absolutePath(),
                                                          QStringLiteral("PDF (*.pdf)"));
        if (!path.isEmpty())
            report(path);
    });
    QToolBar *bar = addToolBar(QStringLiteral("Действия"));
    bar->setObjectName(QStringLiteral("plantActions"));
    m_runActions << bar->addAction(QStringLiteral("Проверить"), this, &PlantWindow::check)
                 << bar->addAction(QStringLiteral("Сделать копию"), this, &PlantWindow::backUp)
                 << bar->addAction(QStringLiteral("Записать файлы"), this, [this] {
                        if (QMessageBox::question(
                                this, windowTitle(),
                                QStringLiteral("Записать в выбранные модули их файлы? Параметры "
                                               "связи модулей останутся прежними."))
                            == QMessageBox::Yes)
                            writeFiles();
                    });
    bar->addAction(QStringLiteral("История модуля…"), this, &PlantWindow::showHistory);
    m_cancel = bar->addAction(QStringLiteral("Отмена"), this, &PlantWindow::cancel);
    m_cancel->setEnabled(false);
}

void PlantWindow::addMenuEntry(QMenu *fileMenu, QWidget *parent)
{
    QAction *open = fileMenu->addAction(QStringLiteral("Открыть объект…"));
    QObject::connect(open, &QAction::triggered, parent, [parent] {
        const QString path = QFileDialog::getOpenFileName(parent, QStringLiteral("Открыть объект"),
                                                          RecentFiles::lastFolder(), PlantFilter);
        if (!path.isEmpty())
            openPlant(path, parent);
    });
    QAction *create = fileMenu->addAction(QStringLiteral("Создать объект…"));
    QObject::connect(create, &QAction::triggered, parent, [parent] {
        const QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Создать объект"),
                                                          RecentFiles::lastFolder(), PlantFilter);
        if (path.isEmpty())
            return;
        Plant plant;
        plant.setName(QFileInfo(path).completeBaseName());
        QString error;
        if (plant.save(path, &error))
            openPlant(path, parent);
        else
            QMessageBox::warning(parent, QStringLiteral("Объект"),
                                 QStringLiteral("Объект не создан: %1").arg(error));
    });
}

bool PlantWindow::isPlantFile(const QString &path)
{
    return path.endsWith(QLatin1String(".brplant"), Qt::CaseInsensitive);
}

PlantWindow *PlantWindow::openPlant(const QString &path, QWidget *parent)
{
    auto *window = new PlantWindow(parent);
    window->setWindowFlag(Qt::Window);
    QString error;
    if (!window->load(path, &error)) {
        QMessageBox::warning(parent, QStringLiteral("Объект"),
                             QStringLiteral("Объект не открыт: %1").arg(error));
        delete window;
        return nullptr;
    }
    RecentFiles::add(path);
    currentWindow = window;
    window->show();
    return window;
}

PlantWindow *PlantWindow::current()
{
    return currentWindow;
}

void PlantWindow::addFoundUnitsAction(QAbstractItemView *view,
                                      const std::function<QString(int)> &targetOf)
{
    auto *add = new QAction(QStringLiteral("Добавить в объект…"), view);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    view->addAction(add);
    QObject::connect(add, &QAction::triggered, view, [view, targetOf] {
        const int row = view->currentIndex().row();
        PlantWindow *plant = current();
        if (!plant || row < 0) {
            QMessageBox::information(view, QStringLiteral("Объект"),
                                     QStringLiteral("Сначала откройте объект и выберите модуль."));
            return;
        }
        const QString target = targetOf(row);
        bool ok = false;
        const QString name = QInputDialog::getText(view, QStringLiteral("Добавить в объект"),
                                                   QStringLiteral("Имя модуля в объекте:"),
                                                   QLineEdit::Normal, target, &ok);
        QString error;
        if (ok && !plant->addUnit({name.trimmed(), target, QString(), QString()}, &error))
            QMessageBox::warning(view, QStringLiteral("Объект"), error);
    });
}

bool PlantWindow::addUnit(const PlantUnit &unit, QString *error)
{
    if (unit.name.isEmpty() || !m_model->addUnit(unit)) {
        *error = QStringLiteral("Имя «%1» пустое или уже есть в объекте").arg(unit.name);
        return false;
    }
    QString reason;
    if (!m_model->plant().save(m_path, &reason)) {
        *error = QStringLiteral("Объект не сохранён: %1").arg(reason);
        return false;
    }
    return true;
}

bool PlantWindow::load(const QString &path, QString *error)
{
    Plant plant;
    QString reason;
    if (!Plant::load(path, &Target::check, &plant, &reason)) {
        *error = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), reason);
        return false;
    }
    m_path = path;
    m_model->setPlant(plant);
    setWindowTitle(QStringLiteral("Объект %1").arg(plant.name()));
    return true;
}

QVector<int> PlantWindow::chosenRows() const
{
    QVector<int> rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty()) {
        for (int row = 0; row < m_model->rowCount(); ++row)
            rows << row;
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void PlantWindow::check()
{
    const Plant &plant = m_model->plant();
    run(
        [&plant](UnitSession *session, int row) {
            const PlantUnit &unit = plant.units().at(row);
            const QString path = plant.filePath(unit);
            if (unit.file.isEmpty() || !QFileInfo(path).isFile())
                PlantRunner::readStatus(session);
            else
                PlantRunner::check(session, path, unit.name);
        },
        true);
}

void PlantWindow::backUp()
{
    const Plant &plant = m_model->plant();
    const QString root = BackupArchive::besidePlant(plant.folder());
    run([&plant, root](UnitSession *session,
                       int row) { PlantRunner::backUp(session, root, plant.units().at(row).name); },
        false);
}

void PlantWindow::writeFiles()
{
    const Plant &plant = m_model->plant();
    run(
        [&plant](UnitSession *session, int row) {
            const PlantUnit &unit = plant.units().at(row);
            if (unit.file.isEmpty())
                session->finish(StatusUsage, QStringLiteral("нет файла"));
            else
                PlantRunner::writeFile(session, plant, unit);
        },
        false);
}

void PlantWindow::report(const QString &path)
{
    const QVector<int> rows = chosenRows();
    run([](UnitSession *session, int) { PlantRunner::readConfiguration(session); }, false,
        [this, path, rows] { writeReport(path, rows); });
}

void PlantWindow::writeReport(const QString &path, const QVector<int> &rows)
{
    const Plant &plant = m_model->plant();
    std::vector<std::unique_ptr<Module>> modules;
    QVector<ReportUnit> units;
    for (int row : rows) {
        QString title;
        auto module
            = PlantRunner::reportModule(plant, plant.units().at(row), m_results.value(row), &title);
        if (!module)
            continue;
        units.append({title, module.get()});
        modules.push_back(std::move(module));
    }
    ReportInfo info;
    info.author = ReportInfo::userName();
    info.made = QDateTime::currentDateTime();
    info.version = QStringLiteral(BRK_VERSION);
    QString error;
    if (ReportPrinter::writePdf(plantReport(plant.name(), units, info), path, &error))
        statusBar()->showMessage(
            QStringLiteral("Отчёт сохранён: модулей %1 из %2").arg(units.size()).arg(rows.size()));
    else
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Отчёт не записан: %1").arg(error));
}

void PlantWindow::run(const Script &script, bool checked, const std::function<void()> &done)
{
    if (m_fleet)
        return;
    m_results.clear();
    m_done = done;
    m_fleet = new FleetRunner(LinkOptions(), Jobs, this);
    for (int row : chosenRows()) {
        Target target;
        QString error;
        Target::parse(m_model->plant().units().at(row).target, &target, &error);
        m_fleet->add(target, [this, script, row, checked](UnitSession *session) {
            connect(session, &UnitSession::finished, this, [this, session, row, checked] {
                m_results.insert(row, session->result());
                m_model->setResult(row, session->result(), checked);
            });
            script(session, row);
        });
    }
    connect(m_fleet, &FleetRunner::progress, this, [this](double done, int total) {
        m_progress->setValue(total > 0 ? int(1000 * done / total) : 0);
    });
    connect(m_fleet, &FleetRunner::finished, this, &PlantWindow::endRun);
    for (QAction *action : qAsConst(m_runActions))
        action->setEnabled(false);
    m_cancel->setEnabled(true);
    m_progress->setValue(0);
    m_progress->show();
    m_fleet->start();
}

void PlantWindow::cancel()
{
    if (!m_fleet)
        return;
    m_fleet->deleteLater(); // its sessions close with it; rows not reached keep their state
    m_fleet = nullptr;
    m_done = nullptr;
    statusBar()->showMessage(QStringLiteral("Отменено"));
    endRun();
}

void PlantWindow::endRun()
{
    if (m_fleet)
        m_fleet->deleteLater();
    m_fleet = nullptr;
    for (QAction *action : qAsConst(m_runActions))
        action->setEnabled(true);
    m_cancel->setEnabled(false);
    m_progress->hide();
    if (m_done)
        std::exchange(m_done, nullptr)();
    emit runFinished();
}

bool PlantWindow::exportCsv(const QString &path, QString *error) const
{
    return writeFileAtomically(path, m_model->csv(), error);
}

void PlantWindow::showJournal()
{
    QStringList names;
    for (const PlantUnit &unit : m_model->plant().units())
        names << unit.name;
    auto *journal = new JournalWindow(Journal::besidePlant(m_model->plant().folder()), names, this);
    journal->setAttribute(Qt::WA_DeleteOnClose);
    journal->show();
}

void PlantWindow::showHistory()
{
    const int row = m_table->currentIndex().row();
    if (row < 0)
        return;
    const Plant &plant = m_model->plant();
    const QString name = plant.units().at(row).name;
    const QStringList paths
        = BackupArchive(BackupArchive::besidePlant(plant.folder())).versions(name);
    QStringList versions;
    for (const QString &path : paths)
        versions << BackupArchive::versionName(path);
    if (versions.size() < 2) {
        QMessageBox::information(this, windowTitle(),
                                 QStringLiteral("У модуля «%1» меньше двух копий.").arg(name));
        return;
    }
    bool ok = false;
    const QString older = QInputDialog::getItem(this, name, QStringLiteral("Старая версия:"),
                                                versions, 1, false, &ok);
    const QString newer = ok ? QInputDialog::getItem(this, name, QStringLiteral("Новая версия:"),
                                                     versions, 0, false, &ok)
                             : QString();
    if (!ok)
        return;
    QString error;
    const auto left = loadModule(paths.at(versions.indexOf(older)), &error);
    const auto right = left ? loadModule(paths.at(versions.indexOf(newer)), &error) : nullptr;
    if (!right) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Копия не читается: %1").arg(error));
        return;
    }
    auto *dialog = new ConfigDiffDialog(ConfigDiff::compare(*left, *right), this);
    dialog->showAsComparison(QStringLiteral("История модуля %1").arg(name), older, newer);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void PlantWindow::onExport()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт в CSV"),
                                                      QFileInfo(m_path).absolutePath(),
                                                      QStringLiteral("CSV (*.csv)"));
    QString error;
    if (!path.isEmpty() && !exportCsv(path, &error))
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Файл не записан: %1").arg(error));
}
