// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef DIALOG_H
#define DIALOG_H

#include <QDialog>
#include <memory>

namespace Ui {
class Dialog;
}

// The "О программе" box: program name, version and links to the documents
// shipped with the program, opened in the system's browser.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
    ~AboutDialog() override;

    static QString aboutHtml();

private:
    void openLink(const QUrl &link);

    std::unique_ptr<Ui::Dialog> ui;
};

#endif // DIALOG_H
