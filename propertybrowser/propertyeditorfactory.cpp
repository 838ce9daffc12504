// SPDX-License-Identifier: GPL-3.0-or-later
#include "propertyeditorfactory.h"

#include "browserproperty.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpinBox>

#include <memory>

namespace {

void replaceValidator(QLineEdit *edit, QValidator *validator)
{
    // Every validator here is made by us as a child of the edit.
    const std::unique_ptr<const QValidator> old(edit->validator());
    edit->setValidator(validator);
}

// Replaces the line edit's validator only when the expression changed, so
// that refreshing an open editor does not pile up validators.
void applyExpression(QLineEdit *edit, const QVariant &expression)
{
    const QValidator *current = edit->validator();
    const QRegularExpression wanted = expression.toRegularExpression();
    const auto *same = qobject_cast<const QRegularExpressionValidator *>(current);
    if ((same && same->regularExpression() == wanted) || (!current && wanted.pattern().isEmpty()))
        return;
    replaceValidator(
        edit, wanted.pattern().isEmpty() ? nullptr : new QRegularExpressionValidator(wanted, edit));
}

} // namespace

PropertyEditorFactory::PropertyEditorFactory(QObject *parent)
    : QObject(parent)
{}

QWidget *PropertyEditorFactory::createEditor(const BrowserProperty *property, QWidget *parent)
{
    if (!property || !property->isEditable())
        return nullptr;
    QWidget *editor = nullptr;
    switch (property->type()) {
    case BrowserProperty::Integer: {
        auto *spin = new QSpinBox(parent);
        // Commit whole numbers only, not every digit on the way.
        spin->setKeyboardTracking(false);
        connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), this,
                [this, spin] { emit editorValueChanged(spin); });
        editor = spin;
        break;
    }
    case BrowserProperty::Real: {
        auto *spin = new QDoubleSpinBox(parent);
        spin->setKeyboardTracking(false);
        connect(spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                [this, spin] { emit editorValueChanged(spin); });
        editor = spin;
        break;
    }
    case BrowserProperty::Enumeration: {
        auto *combo = new QComboBox(parent);
        connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, combo] { emit editorValueChanged(combo); });
        editor = combo;
        break;
    }
    case BrowserProperty::Text: {
        auto *edit = new QLineEdit(parent);
        // Emitted only for text the validator accepts whole.
        connect(edit, &QLineEdit::editingFinished, this,
                [this, edit] { emit editorValueChanged(edit); });
        editor = edit;
        break;
    }
    case BrowserProperty::ReadOnlyText:
    case BrowserProperty::Group:
        return nullptr;
    }
    editor->setAutoFillBackground(true);
    setEditorData(editor, property);
    return editor;
}

void PropertyEditorFactory::setEditorData(QWidget *editor, const BrowserProperty *property) const
{
    if (!editor || !property)
        return;
    const QSignalBlocker blocker(editor);
    if (auto *spin = qobject_cast<QSpinBox *>(editor)) {
        spin->setRange(property->attributeValue(PropertyAttribute::Minimum).toInt(),
                       property->attributeValue(PropertyAttribute::Maximum).toInt());
        spin->setSingleStep(property->attributeValue(PropertyAttribute::SingleStep).toInt());
        spin->setValue(property->value().toInt());
    } else if (auto *spin = qobject_cast<QDoubleSpinBox *>(editor)) {
        // Decimals first: the range and the value are rounded to them.
        spin->setDecimals(property->attributeValue(PropertyAttribute::Decimals).toInt());
        spin->setRange(property->attributeValue(PropertyAttribute::Minimum).toDouble(),
                       property->attributeValue(PropertyAttribute::Maximum).toDouble());
        spin->setSingleStep(property->attributeValue(PropertyAttribute::SingleStep).toDouble());
        spin->setValue(property->value().toDouble());
    } else if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        const QStringList names
            = property->attributeValue(PropertyAttribute::EnumNames).toStringList();
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i)
            shown.append(combo->itemText(i));
        if (shown != names) {
            combo->clear();
            combo->addItems(names);
        }
        combo->setCurrentIndex(property->value().toInt());
    } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
        applyExpression(edit, property->attributeValue(PropertyAttribute::RegExp));
        if (edit->text() != property->value().toString())
            edit->setText(property->value().toString());
    }
}

QVariant PropertyEditorFactory::editorValue(QWidget *editor) const
{
    if (auto *spin = qobject_cast<QSpinBox *>(editor))
        return spin->value();
    if (auto *spin = qobject_cast<QDoubleSpinBox *>(editor))
        return spin->value();
    if (auto *combo = qobject_cast<QComboBox *>(editor))
        return combo->currentIndex();
    if (auto *edit = qobject_cast<QLineEdit *>(editor))
        return edit->text();
    return QVariant();
}
