// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PROPERTYEDITORFACTORY_H
#define PROPERTYEDITORFACTORY_H

#include <QObject>
#include <QVariant>

class BrowserProperty;
class QWidget;

// Makes the in-place editor of a row and keeps it in step with the row's
// attributes: a spin box for integers, a double spin box for reals, a combo
// box for enumerations, a line edit checked by "regExp" for text. Rows that
// cannot be edited (groups, read-only rows) get none. A browser gives
// editors only to the rows of managers it has a factory for.
class PropertyEditorFactory : public QObject
{
    Q_OBJECT

public:
    explicit PropertyEditorFactory(QObject *parent = nullptr);

    // Null when the row takes no editor. The editor belongs to `parent`.
    QWidget *createEditor(const BrowserProperty *property, QWidget *parent);
    // Applies the row's attributes and value without emitting anything.
    void setEditorData(QWidget *editor, const BrowserProperty *property) const;
    // What the editor holds, in the form the manager takes.
    QVariant editorValue(QWidget *editor) const;

signals:
    // The user finished a change in the editor (an arrow step, Enter, a
    // chosen entry, leaving the field); the value is ready to be committed.
    void editorValueChanged(QWidget *editor);
};

#endif // PROPERTYEDITORFACTORY_H
