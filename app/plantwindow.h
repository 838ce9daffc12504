// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PLANTWINDOW_H
#define PLANTWINDOW_H

#include <fleetrunner.h>
#include <plant.h>

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>

class PlantUnitsModel;
class QAbstractItemView;
class QAction;
class QMenu;
class QProgressBar;
class QTableView;

// "Объект": the units of a plant file in a table, and the runs over the
// selected units (or all): check against their files, back up, write their
// files. Runs go through the fleet runner's event-driven sessions, so the
// window keeps answering; a run can be cancelled between requests.
class PlantWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit PlantWindow(QWidget *parent = nullptr);
    ~PlantWindow() override;

    // Adds "Открыть объект…" and "Создать объект…" to a window's Файл menu.
    static void addMenuEntry(QMenu *fileMenu, QWidget *parent);
    static bool isPlantFile(const QString &path);
    // Opens the plant in a window of its own; false (and the user told) when it cannot be read.
    static PlantWindow *openPlant(const QString &path, QWidget *parent);

    // The plant window opened last, while it is open; null otherwise.
    static PlantWindow *current();
    // "Добавить в объект" on a table of found units; `targetOf` gives a row's target.
    static void addFoundUnitsAction(QAbstractItemView *view,
                                    const std::function<QString(int row)> &targetOf);

    bool load(const QString &path, QString *error);
    // Adds the unit and saves the plant file; false with the reason.
    bool addUnit(const PlantUnit &unit, QString *error);
    void check();
    void backUp();
    void writeFiles();
    // The report of the chosen units into a PDF: each as read, or its file when it does not answer.
    void report(const QString &path);
    void cancel();
    bool isRunning() const { return m_fleet != nullptr; }
    bool exportCsv(const QString &path, QString *error) const;

    PlantUnitsModel *model() const { return m_model; }
    QTableView *table() const { return m_table; }

signals:
    void runFinished();

private:
    using Script = std::function<void(UnitSession *, int row)>;

    void setUpActions();
    QVector<int> chosenRows() const;
    void run(const Script &script, bool checked, const std::function<void()> &done = nullptr);
    void writeReport(const QString &path, const QVector<int> &rows);
    void endRun();
    void onExport();
    void showJournal();
    void showHistory();

    PlantUnitsModel *m_model;      // child
    QTableView *m_table;           // child
    QProgressBar *m_progress;      // child
    QAction *m_cancel = nullptr;   // child
    QList<QAction *> m_runActions; // children
    QPointer<FleetRunner> m_fleet; // child while a run is under way
    QString m_path;
    QHash<int, UnitResult> m_results; // of the run under way, by row
    std::function<void()> m_done;     // once the run under way has ended, unless cancelled
};

#endif // PLANTWINDOW_H
