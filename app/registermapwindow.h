// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef RIGESTERSMAPWINDOW_H
#define RIGESTERSMAPWINDOW_H

#include "registermap.h"

#include <QDialog>
#include <QList>
#include <QVector>

#include <memory>

class Module;
class QHBoxLayout;
class QVBoxLayout;
class RegisterMapExport;
class RegisterTabWidget;

namespace Ui {
class RigestersMapWindow;
}

// Read-only map of the unit's live-value registers: one titled table per
// channel kind, built once from the channels' value parameters.
class RegisterMapWindow : public QDialog
{
    Q_OBJECT

public:
    explicit RegisterMapWindow(Module *module, QWidget *parent = nullptr);
    ~RegisterMapWindow() override;

    // The eight tables in their fixed order, hidden ones included.
    QList<RegisterTabWidget *> tables() const { return m_tables; }

    static constexpr int BaseHeight = 36;
    static constexpr int MaxHeight = 800;
    // Layout margins, the scroll area's frame and its scroll bar beside the tables.
    static constexpr int WidthAroundTables = 78;

    // What "Экспорт в CSV…" and "Печать…" hand on: the rows shown here.
    RegisterMapExport exporter() const;

private:
    void createTables();
    void createExportButtons();
    void fillFromModule();
    void fitSize();
    void exportCsv();
    void print();

    std::unique_ptr<Ui::RigestersMapWindow> ui;
    Module *m_module; // not owned
    QVBoxLayout *m_contentLayout = nullptr;
    QList<RegisterTabWidget *> m_tables;
    QVector<RegisterMapRow> m_rows;
    QHBoxLayout *m_buttons = nullptr; // owned by the form's layout
};

#endif // RIGESTERSMAPWINDOW_H
