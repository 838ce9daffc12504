// SPDX-License-Identifier: GPL-3.0-or-later
#include "reportdialog.h"

#include <reportprinter.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

ReportDialog::ReportDialog(const Module *module, const QString &unitName, QWidget *parent)
    : QDialog(parent)
    , m_module(module)
    , m_unitName(unitName)
    , m_author(new QLineEdit(ReportInfo::userName(), this))
{
    setWindowTitle(QStringLiteral("Отчёт о настройке"));
    m_author->setObjectName(QStringLiteral("authorEdit"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Настройку выполнил:"), m_author);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *preview
        = buttons->addButton(QStringLiteral("Просмотр…"), QDialogButtonBox::ActionRole);
    preview->setObjectName(QStringLiteral("previewButton"));
    QPushButton *save
        = buttons->addButton(QStringLiteral("Сохранить PDF…"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("savePdfButton"));
    connect(preview, &QPushButton::clicked, this, &ReportDialog::preview);
    connect(save, &QPushButton::clicked, this, &ReportDialog::savePdf);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

Report ReportDialog::report() const
{
    ReportInfo info;
    info.author = m_author->text().trimmed();
    info.made = QDateTime::currentDateTime();
    info.version = QStringLiteral(BRK_VERSION);
    return unitReport(*m_module, m_unitName, info);
}

void ReportDialog::preview()
{
    QPrinter printer(QPrinter::HighResolution);
    ReportPrinter::setUpPage(&printer);
    const Report content = report();
    QPrintPreviewDialog dialog(&printer, this);
    dialog.setWindowTitle(content.title);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [&content](QPrinter *target) { ReportPrinter::print(content, target); });
    dialog.exec();
}

void ReportDialog::savePdf()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить отчёт"),
                                                      QString(), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!ReportPrinter::writePdf(report(), path, &error))
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Отчёт не сохранён: %1").arg(error));
}
