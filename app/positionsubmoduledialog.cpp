// SPDX-License-Identifier: GPL-3.0-or-later
#include "positionsubmoduledialog.h"
#include "ui_positionsubmoduledialog.h"

#include "codes.h"
#include "module.h"
#include "submodule.h"

#include <QFontMetrics>
#include <QStandardItemModel>

PositionSubmoduleDialog::PositionSubmoduleDialog(Module *module, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::PositionSubmoduleDialog)
{
    ui->setupUi(this);
    // The window manager draws the title in a bold face beside an icon and
    // the close button; a narrower dialog cuts it.
    QFont titleFont = font();
    titleFont.setBold(true);
    const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + TitleBarExtra;
    setFixedSize(qMax(width(), titleWidth), height());
    const QStringList &letters = slotLetterList();
    for (int slot = 0; slot < letters.size(); ++slot)
        ui->comboBox->addItem(letters.at(slot), slot);
    ui->comboBox->setCurrentIndex(-1);

    const auto *items = qobject_cast<QStandardItemModel *>(ui->comboBox->model());
    if (module && items) {
        const auto children = module->children();
        for (const QObject *child : children) {
            const auto *submodule = qobject_cast<const Submodule *>(child);
            if (!submodule)
                continue;
            // A slot value outside A … F names no item.
            if (QStandardItem *item = items->item(submodule->value(SubmoduleParam::Slot).toInt()))
                item->setEnabled(false);
        }
    }
    connect(ui->comboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &PositionSubmoduleDialog::setPosition);
}

PositionSubmoduleDialog::~PositionSubmoduleDialog() = default;

void PositionSubmoduleDialog::setPosition(int position)
{
    m_position = position;
}
