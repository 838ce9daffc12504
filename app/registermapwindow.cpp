// SPDX-License-Identifier: GPL-3.0-or-later
#include "registermapwindow.h"
#include "ui_registermapwindow.h"

#include "codes.h"
#include "csvwriter.h"
#include "module.h"
#include "registermap.h"
#include "registermapexport.h"
#include "registertabwidget.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

RegisterMapWindow::RegisterMapWindow(Module *module, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::RigestersMapWindow)
    , m_module(module)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Карта субмодулей"));
    createTables();
    createExportButtons();
    fillFromModule();
    fitSize();
}

RegisterMapWindow::~RegisterMapWindow() = default;

void RegisterMapWindow::createTables()
{
    m_contentLayout = new QVBoxLayout;
    // The window's height counts the tables and the form's spacing only.
    m_contentLayout->setContentsMargins(0, 0, 0, 0);
    m_contentLayout->setSpacing(qMax(0, ui->verticalLayout->spacing()));
    for (const QString &title : registerMapTitles()) {
        auto *table = new RegisterTabWidget(title);
        m_contentLayout->addWidget(table);
        m_tables.append(table);
    }

    auto *content = new QWidget;
    content->setLayout(m_contentLayout);
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    ui->gridLayout->addWidget(scroll, 1, 0);
}

void RegisterMapWindow::createExportButtons()
{
    auto *exportButton = new QPushButton(QStringLiteral("Экспорт в CSV…"), this);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    connect(exportButton, &QPushButton::clicked, this, &RegisterMapWindow::exportCsv);
    auto *printButton = new QPushButton(QStringLiteral("Печать…"), this);
    printButton->setObjectName(QStringLiteral("printButton"));
    connect(printButton, &QPushButton::clicked, this, &RegisterMapWindow::print);
    m_buttons = new QHBoxLayout;
    m_buttons->addStretch();
    m_buttons->addWidget(exportButton);
    m_buttons->addWidget(printButton);
    ui->gridLayout->addLayout(m_buttons, 2, 0);
}

void RegisterMapWindow::fillFromModule()
{
    if (!m_module)
        return;
    m_rows = registerMapRows(*m_module);
    for (const RegisterMapRow &row : qAsConst(m_rows))
        m_tables.at(row.table)->addRow(row);
}

RegisterMapExport RegisterMapWindow::exporter() const
{
    const QString type
        = m_module ? moduleTypeName(m_module->value(ModuleParam::Type).toInt()) : QString();
    return RegisterMapExport(m_rows, QStringLiteral("Карта регистров %1").arg(type).trimmed());
}

void RegisterMapWindow::exportCsv()
{
    const QString fileName = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт в CSV"),
                                                          QString(), QStringLiteral("CSV (*.csv)"));
    if (fileName.isEmpty())
        return;
    QString error;
    if (!writeFileAtomically(fileName, exporter().toCsv(), &error))
        QMessageBox::warning(this, QStringLiteral("Внимание"),
                             QStringLiteral("Не удалось записать файл %1: %2")
                                 .arg(QDir::toNativeSeparators(fileName), error));
}

void RegisterMapWindow::print()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        exporter().print(&printer);
}

void RegisterMapWindow::fitSize()
{
    const int spacing = qMax(0, ui->verticalLayout->spacing());
    // The export buttons sit below the tables.
    int height = BaseHeight + m_buttons->sizeHint().height() + ui->gridLayout->verticalSpacing();
    int width = 0;
    for (RegisterTabWidget *table : qAsConst(m_tables)) {
        if (table->rowCount() > 0) {
            height += table->minimumHeight() + spacing;
            width = qMax(width, table->table()->width());
        } else {
            table->hide();
        }
    }
    // As wide as the widest table, up to the screen; taller content scrolls,
    // and the user may resize or maximise the window.
    width += WidthAroundTables;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        width = qMin(width, screen->availableGeometry().width());
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(width, qMin(height, MaxHeight));
}
