// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TRAFFICDOCK_H
#define TRAFFICDOCK_H

#include <QDockWidget>
#include <QPointer>

class QMainWindow;
class QTableView;
class TrafficFilterModel;
class TrafficModel;
class TrafficRecorder;

// "Обмен с модулем": the requests a traffic recorder keeps and their
// outcomes, with filters (unit, function, errors only), pause, clear and an
// export of the rows shown to CSV. It only shows the recorder; closing the
// dock does not stop the recording.
class TrafficDock : public QDockWidget
{
    Q_OBJECT

public:
    explicit TrafficDock(TrafficRecorder *recorder, QWidget *parent = nullptr);
    // Shows another recorder (not owned; null: nothing).
    void setRecorder(TrafficRecorder *recorder);

    // Writes the rows shown (as filtered) to a CSV file; false when the file
    // could not be written.
    bool exportCsv(const QString &fileName) const;

    // Rows a dock shows when it opens, where its window has the room.
    static constexpr int OpenRows = 10;

private:
    QWidget *buildFilters();
    void chooseExportFile();
    void followNewRows();
    void openAtUsefulHeight();
    // Rows short of OpenRows, in pixels, as the window lays the dock out now.
    int missingHeight(QMainWindow *window) const;
    void growBy(QMainWindow *window, int missing);
    void floatBeside(QMainWindow *window, int dockHeight);

    QPointer<TrafficRecorder> m_recorder; // not owned
    TrafficModel *m_model;
    TrafficFilterModel *m_filter;
    QTableView *m_table;
    bool m_atBottom = true;
};

#endif // TRAFFICDOCK_H
