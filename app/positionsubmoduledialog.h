// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef POSITIONSUBMODULEDIALOG_H
#define POSITIONSUBMODULEDIALOG_H

#include <QDialog>

#include <memory>

namespace Ui {
class PositionSubmoduleDialog;
}

class Module;

// Asks for the slot of a board added by hand; slots already taken are
// shown greyed and cannot be chosen.
class PositionSubmoduleDialog : public QDialog
{
    Q_OBJECT

public:
    PositionSubmoduleDialog(Module *module, QWidget *parent = nullptr);
    ~PositionSubmoduleDialog() override;

    // The chosen slot index 0 … 5, or -1 while none is chosen.
    int position() const { return m_position; }

    static constexpr int TitleBarExtra = 120; // icon, buttons and margins of a title bar

private slots:
    void setPosition(int position);

private:
    std::unique_ptr<Ui::PositionSubmoduleDialog> ui;
    int m_position = -1;
};

#endif // POSITIONSUBMODULEDIALOG_H
