// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibrationdelegate.h"

#include "codes.h"
#include "ipv4address.h"
#include "calibrationitem.h"
#include "property.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <cmath>

namespace {

const Property *parameterOf(const QModelIndex &index)
{
    if (!index.isValid())
        return nullptr;
    return static_cast<const CalibrationItem *>(index.internalPointer())->parameter(index.column());
}

QDoubleSpinBox *numberEditor(int valueType, QWidget *parent)
{
    auto *box = new QDoubleSpinBox(parent);
    switch (valueType) {
    case ValueInt16:
        box->setDecimals(0);
        box->setRange(-32768, 32767);
        break;
    case ValueUInt16:
        box->setDecimals(0);
        box->setRange(0, 65535);
        break;
    default: // Float32: edits stay in the model, the unit is not written
        box->setMaximum(100000);
        break;
    }
    return box;
}

void setSwitchText(QCheckBox *box)
{
    box->setText(box->isChecked() ? QStringLiteral("Вкл") : QStringLiteral("Выкл"));
}

} // namespace

CalibrationDelegate::CalibrationDelegate(QObject *parent)
    : QItemDelegate(parent)
{}

QWidget *CalibrationDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                           const QModelIndex &index) const
{
    const Property *p = parameterOf(index);
    if (!p)
        return nullptr;
    switch (p->valueType()) {
    case ValueInt16:
    case ValueUInt16:
    case ValueFloat32:
        return numberEditor(p->valueType(), parent);
    case ValueText:
        return new QLineEdit(parent);
    case ValueBool: {
        auto *box = new QCheckBox(parent);
        box->setAutoFillBackground(true);
        connect(box, &QCheckBox::clicked, box, [box] { setSwitchText(box); });
        return box;
    }
    case ValueEnum: {
        auto *box = new QComboBox(parent);
        const QMap<int, QString> names = p->enumNames();
        for (auto it = names.constBegin(); it != names.constEnd(); ++it)
            box->addItem(it.value(), it.key());
        box->setCurrentIndex(-1);
        connect(box, &QComboBox::currentTextChanged, this, &CalibrationDelegate::onEditingFinished);
        return box;
    }
    case ValueIpAddress: {
        auto *edit = new QLineEdit(parent);
        edit->setValidator(new QRegularExpressionValidator(ipv4AddressExpression(), edit));
        return edit;
    }
    default:
        return nullptr; // Int32 and unknown types are not edited here
    }
}

void CalibrationDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const QVariant value = index.data(Qt::EditRole);
    if (auto *box = qobject_cast<QDoubleSpinBox *>(editor)) {
        box->setValue(std::trunc(value.toDouble()));
    } else if (auto *box = qobject_cast<QComboBox *>(editor)) {
        const int entry = box->findData(value.toInt());
        if (entry >= 0)
            box->setCurrentIndex(entry);
    } else if (auto *box = qobject_cast<QCheckBox *>(editor)) {
        box->setChecked(value.toBool());
        setSwitchText(box);
    } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
        edit->setText(value.toString());
    }
}

void CalibrationDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                       const QModelIndex &index) const
{
    if (auto *box = qobject_cast<QDoubleSpinBox *>(editor)) {
        box->interpretText();
        model->setData(index, box->value());
    } else if (auto *box = qobject_cast<QComboBox *>(editor)) {
        if (box->currentIndex() >= 0)
            model->setData(index, box->currentData().toInt());
    } else if (auto *box = qobject_cast<QCheckBox *>(editor)) {
        model->setData(index, box->isChecked());
    } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
        model->setData(index, edit->text());
    }
}

void CalibrationDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                               const QModelIndex &) const
{
    editor->setGeometry(option.rect);
}

void CalibrationDelegate::onEditingFinished()
{
    emit commitData(qobject_cast<QWidget *>(sender()));
}
