// SPDX-License-Identifier: GPL-3.0-or-later
#include "configdiffdialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A spanned bold row that heads a section of the table.
void addHeading(QTableWidget *table, const QString &text)
{
    const int row = table->rowCount();
    table->insertRow(row);
    auto *item = new QTableWidgetItem(text);
    QFont font = item->font();
    font.setBold(true);
    item->setFont(font);
    table->setItem(row, 0, item);
    for (int column = 1; column < table->columnCount(); ++column)
        table->setItem(row, column, new QTableWidgetItem);
    table->setSpan(row, 0, 1, table->columnCount());
}

void addDifference(QTableWidget *table, const ConfigDiff::Difference &d)
{
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, 0, new QTableWidgetItem(d.path));
    table->setItem(row, 1, new QTableWidgetItem(d.left));
    table->setItem(row, 2, new QTableWidgetItem(d.right));
}

} // namespace

ConfigDiffDialog::ConfigDiffDialog(const QVector<ConfigDiff::Difference> &differences,
                                   QWidget *parent)
    : QDialog(parent)
    , m_table(new QTableWidget(0, 3, this))
{
    setWindowTitle(QStringLiteral("Сравнение файла с модулем"));
    resize(760, 420);

    m_text = new QLabel(
        QStringLiteral("Файл изменит в модуле параметры: %1. После загрузки они отмечены как "
                       "измененные, их записывает \"Записать измененные параметры\".")
            .arg(differences.size()),
        this);
    m_text->setWordWrap(true);
    if (std::any_of(differences.cbegin(), differences.cend(),
                    [](const ConfigDiff::Difference &d) { return d.link; }))
        m_text->setText(
            m_text->text()
            + QStringLiteral(
                " Параметры связи при записи останутся как в модуле, если не выбрать иное."));

    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("Параметр"), QStringLiteral("В модуле"), QStringLiteral("В файле")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    fillRows(differences);

    m_buttons = new QDialogButtonBox(this);
    m_buttons->addButton(QStringLiteral("Загрузить"), QDialogButtonBox::AcceptRole);
    m_buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_table);
    layout->addWidget(m_buttons);
}

void ConfigDiffDialog::showAsComparison(const QString &title, const QString &left,
                                        const QString &right)
{
    setWindowTitle(title);
    m_text->setText(QStringLiteral("Различаются параметры: %1").arg(m_count));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Параметр"), left, right});
    m_buttons->clear();
    m_buttons->addButton(QDialogButtonBox::Close);
}

QString ConfigDiffDialog::boardLines(const QVector<ConfigDiff::Difference> &differences)
{
    QStringList lines;
    for (const ConfigDiff::Difference &d : differences) {
        if (d.board)
            lines << QStringLiteral("%1: в модуле %2, в файле %3").arg(d.path, d.left, d.right);
    }
    return lines.join(QLatin1Char('\n'));
}

// How the unit is reached is listed apart: a write keeps it unless told otherwise.
void ConfigDiffDialog::fillRows(const QVector<ConfigDiff::Difference> &differences)
{
    m_count = differences.size();
    QVector<ConfigDiff::Difference> link;
    QVector<ConfigDiff::Difference> others;
    for (const ConfigDiff::Difference &d : differences)
        (d.link ? link : others).append(d);
    if (!link.isEmpty())
        addHeading(m_table, QStringLiteral("Параметры связи"));
    for (const ConfigDiff::Difference &d : link)
        addDifference(m_table, d);
    if (!link.isEmpty() && !others.isEmpty())
        addHeading(m_table, QStringLiteral("Остальные параметры"));
    for (const ConfigDiff::Difference &d : others)
        addDifference(m_table, d);
}
