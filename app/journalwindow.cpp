// SPDX-License-Identifier: GPL-3.0-or-later
#include "journalwindow.h"

#include <journal.h>

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QStringList Columns{QStringLiteral("Время"),    QStringLiteral("Кто"),
                          QStringLiteral("Модуль"),   QStringLiteral("Цель"),
                          QStringLiteral("Действие"), QStringLiteral("Итог"),
                          QStringLiteral("Изменения")};

QStringList rowOf(const JournalEntry &entry)
{
    QStringList changes;
    for (const JournalEntry::Change &change : entry.changes)
        changes << QStringLiteral("%1: %2 → %3").arg(change.path, change.before, change.after);
    return {entry.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            QStringLiteral("%1@%2").arg(entry.user, entry.computer),
            entry.unit,
            entry.target,
            entry.action,
            JournalEntry::outcomeText(entry.outcome),
            changes.join(QLatin1Char('\n'))};
}

} // namespace

JournalWindow::JournalWindow(const QString &path, const QStringList &units, QWidget *parent)
    : QDialog(parent)
    , m_path(path)
    , m_unit(new QComboBox(this))
    , m_from(new QDateEdit(QDate::currentDate().addMonths(-1), this))
    , m_to(new QDateEdit(QDate::currentDate(), this))
    , m_table(new QTableWidget(this))
    , m_note(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Журнал изменений"));
    m_unit->addItem(QStringLiteral("Все модули"), QString());
    for (const QString &unit : units)
        m_unit->addItem(unit, unit);
    for (QDateEdit *edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        connect(edit, &QDateEdit::dateChanged, this, &JournalWindow::refill);
    }
    connect(m_unit, qOverload<int>(&QComboBox::currentIndexChanged), this, &JournalWindow::refill);
    auto *filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("Модуль:"), this));
    filters->addWidget(m_unit, 1);
    filters->addWidget(new QLabel(QStringLiteral("с"), this));
    filters->addWidget(m_from);
    filters->addWidget(new QLabel(QStringLiteral("по"), this));
    filters->addWidget(m_to);
    m_table->setColumnCount(Columns.size());
    m_table->setHorizontalHeaderLabels(Columns);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_table);
    layout->addWidget(m_note);
    resize(960, 480);
    refill();
}

void JournalWindow::setUnit(const QString &unit)
{
    m_unit->setCurrentIndex(qMax(0, m_unit->findData(unit)));
}

void JournalWindow::setPeriod(const QDate &from, const QDate &to)
{
    m_from->setDate(from);
    m_to->setDate(to);
}

void JournalWindow::refill()
{
    Journal::Filter filter;
    filter.unit = m_unit->currentData().toString();
    filter.since = m_from->date().startOfDay();
    const QDateTime until = m_to->date().addDays(1).startOfDay();
    const Journal::Read read = Journal::read(m_path, filter);
    m_table->setRowCount(0);
    for (auto entry = read.entries.crbegin(); entry != read.entries.crend(); ++entry) {
        if (entry->time >= until)
            continue;
        const QStringList fields = rowOf(*entry);
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        for (int column = 0; column < fields.size(); ++column)
            m_table->setItem(row, column, new QTableWidgetItem(fields.at(column)));
    }
    m_table->resizeRowsToContents();
    if (!read.error.isEmpty())
        m_note->setText(QStringLiteral("Журнал не читается: %1").arg(read.error));
    else if (read.skipped > 0)
        m_note->setText(
            QStringLiteral("Пропущено строк, которые не читаются: %1").arg(read.skipped));
    else
        m_note->clear();
}
