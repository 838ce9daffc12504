// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutdialog.h"

#include "applogging.h"
#include "ui_aboutdialog.h"

#include "documentlocator.h"

#include <QDesktopServices>
#include <QMessageBox>

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::Dialog>())
{
    ui->setupUi(this);
    ui->textEdit->setHtml(aboutHtml());
    connect(ui->textEdit, &QTextBrowser::anchorClicked, this, &AboutDialog::openLink);
}

AboutDialog::~AboutDialog() = default;

QString AboutDialog::aboutHtml()
{
    // Links are relative to the folder the documents are found in at run time.
    return QStringLiteral("<p style=\"font-size:16pt; font-weight:bold;\">Конфигуратор БРК</p>"
                          "<p></p>"
                          "<div style=\"font-size:12pt;\">"
                          "<p>Разработчик: группа разработки конфигуратора БРК-40</p>"
                          "<p></p>"
                          "<p>Версия программы: %1<br>Дата выпуска: 11.2023</p>"
                          "<p></p>"
                          "<p>О программе: <a href=\"docs/manual.html\">руководство "
                          "пользователя</a><br>"
                          "Описание модуля: <a href=\"docs/manual.html#unit\">БРК-40</a><br>"
                          "Работа без модуля: <a href=\"docs/manual.html#simulator\">имитатор"
                          "</a></p>"
                          "</div>")
        .arg(QStringLiteral(BRK_VERSION));
}

void AboutDialog::openLink(const QUrl &link)
{
    const QUrl url = DocumentLocator::resolve(link);
    if (!url.isValid()) {
        qCWarning(lcApp) << "AboutDialog: document not found:" << link.toString();
        QMessageBox::warning(this, QStringLiteral("Внимание"),
                             QStringLiteral("Документ не найден: %1").arg(link.path()));
        return;
    }
    if (!QDesktopServices::openUrl(url))
        qCWarning(lcApp) << "AboutDialog: cannot open" << url.toString();
}
