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

    auto *text = new QLabel(
        QStringLiteral("Файл изменит в модуле параметры: %1. После загрузки они отмечены как "
                       "измененные, их записывает \"Записать измененные параметры\".")
            .arg(differences.size()),
        this);
    text->setWordWrap(true);

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

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Загрузить"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
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
