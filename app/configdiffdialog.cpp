// SPDX-License-Identifier: GPL-3.0-or-later
#include "configdiffdialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

ConfigDiffDialog::ConfigDiffDialog(const QVector<ConfigDiff::Difference> &differences,
                                   QWidget *parent)
    : QDialog(parent)
    , m_table(new QTableWidget(differences.size(), 3, this))
{
    setWindowTitle(QStringLiteral("Сравнение файла с модулем"));
    resize(760, 420);

    m_text = new QLabel(
        QStringLiteral("Файл изменит в модуле параметры: %1. После загрузки они отмечены как "
                       "измененные, их записывает \"Записать измененные параметры\".")
            .arg(differences.size()),
        this);
    m_text->setWordWrap(true);

    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("Параметр"), QStringLiteral("В модуле"), QStringLiteral("В файле")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    for (int row = 0; row < differences.size(); ++row) {
        const ConfigDiff::Difference &d = differences.at(row);
        m_table->setItem(row, 0, new QTableWidgetItem(d.path));
        m_table->setItem(row, 1, new QTableWidgetItem(d.left));
        m_table->setItem(row, 2, new QTableWidgetItem(d.right));
    }

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
    m_text->setText(QStringLiteral("Различаются параметры: %1").arg(m_table->rowCount()));
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
