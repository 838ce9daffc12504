// SPDX-License-Identifier: GPL-3.0-or-later
#include "registertabwidget.h"

#include "registermap.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidgetItem *makeCell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

RegisterTabWidget::RegisterTabWidget(const QString &title, QWidget *parent)
    : QWidget(parent)
    , m_label(new QLabel(title, this))
    , m_table(new QTableWidget(1, 4, this))
{
    m_table->setHorizontalHeaderLabels({QStringLiteral("Функция"), QStringLiteral("Регистр"),
                                        QStringLiteral("Описание"), QStringLiteral("Формат")});
    fitColumns();
    m_table->verticalHeader()->hide();
    // Rows, header and title take exactly the height the window sizes itself
    // by, so the table never needs scroll bars of its own.
    m_table->verticalHeader()->setMinimumSectionSize(RowHeight);
    m_table->verticalHeader()->setDefaultSectionSize(RowHeight);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->horizontalHeader()->setFixedHeight(HeaderHeight);
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_label->setFixedHeight(ExtraHeight - HeaderHeight - 2 * m_table->frameWidth());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_label);
    layout->addWidget(m_table);
}

QString RegisterTabWidget::title() const
{
    return m_label->text();
}

void RegisterTabWidget::addRow(const RegisterMapRow &row)
{
    // The table starts with one empty row, which the first entry fills.
    if (m_rows >= m_table->rowCount())
        m_table->insertRow(m_rows);
    m_table->setItem(m_rows, 0, makeCell(QString::number(row.function)));
    m_table->setItem(m_rows, 1, makeCell(QString::number(row.address)));
    m_table->setItem(m_rows, 2, makeCell(row.description));
    m_table->setItem(m_rows, 3, makeCell(row.format));
    ++m_rows;
    fitColumns();
    setMinimumHeight(m_rows * RowHeight + ExtraHeight);
    m_table->setFixedHeight(m_rows * RowHeight + HeaderHeight + 2 * m_table->frameWidth());
}

void RegisterTabWidget::fitColumns()
{
    m_table->resizeColumnsToContents();
    for (int column = 0; column < m_table->columnCount(); ++column) {
        if (m_table->columnWidth(column) < MinColumnWidths[column])
            m_table->setColumnWidth(column, MinColumnWidths[column]);
    }
    m_table->setFixedWidth(m_table->horizontalHeader()->length() + 2 * m_table->frameWidth());
}
