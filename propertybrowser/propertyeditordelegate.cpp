// SPDX-License-Identifier: GPL-3.0-or-later
#include "propertyeditordelegate.h"

#include "browseritem.h"
#include "browserproperty.h"
#include "propertybrowser.h"
#include "propertyeditorfactory.h"

PropertyEditorDelegate::PropertyEditorDelegate(PropertyBrowser *browser)
    : QStyledItemDelegate(browser)
    , m_browser(browser)
{}

QWidget *PropertyEditorDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                              const QModelIndex &index) const
{
    Q_UNUSED(option)
    const BrowserItem *item = m_browser->itemFromIndex(index);
    if (!item)
        return nullptr;
    PropertyEditorFactory *factory = m_browser->factoryForManager(item->property()->manager());
    if (!factory)
        return nullptr;
    QWidget *editor = factory->createEditor(item->property(), parent);
    if (!editor)
        return nullptr;
    // The editor is the context: the link goes when the editor closes.
    auto *self = const_cast<PropertyEditorDelegate *>(this);
    connect(factory, &PropertyEditorFactory::editorValueChanged, editor,
            [self, editor](QWidget *changed) {
                if (changed == editor)
                    emit self->commitData(editor);
            });
    return editor;
}

void PropertyEditorDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const BrowserItem *item = m_browser->itemFromIndex(index);
    PropertyEditorFactory *factory
        = item ? m_browser->factoryForManager(item->property()->manager()) : nullptr;
    if (factory)
        factory->setEditorData(editor, item->property());
}

void PropertyEditorDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                          const QModelIndex &index) const
{
    Q_UNUSED(model) // the manager holds the value; the tree only shows it
    const BrowserItem *item = m_browser->itemFromIndex(index);
    PropertyEditorFactory *factory
        = item ? m_browser->factoryForManager(item->property()->manager()) : nullptr;
    if (!factory)
        return;
    // Whoever listens to the manager may rebuild the tree: look again.
    const QPersistentModelIndex place(index);
    item->property()->setValue(factory->editorValue(editor));
    item = m_browser->itemFromIndex(place);
    // A value the manager clamped or refused must not stay in the editor.
    if (item && factory == m_browser->factoryForManager(item->property()->manager()))
        factory->setEditorData(editor, item->property());
}

void PropertyEditorDelegate::updateEditorGeometry(QWidget *editor,
                                                  const QStyleOptionViewItem &option,
                                                  const QModelIndex &index) const
{
    Q_UNUSED(index)
    editor->setGeometry(option.rect);
}

QSize PropertyEditorDelegate::sizeHint(const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const
{
    // Room for the frame of an open editor, and a gap between the columns.
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rheight() += 4;
    size.rwidth() += 8;
    return size;
}
