// SPDX-License-Identifier: GPL-3.0-or-later
#include "treepropertybrowser.h"

#include "applogging.h"

#include "browseritem.h"
#include "browserproperty.h"
#include "modeflags.h"
#include "property.h"
#include "submodule.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>

TreePropertyBrowser::TreePropertyBrowser(quint32 mode, QWidget *parent)
    : PropertyBrowser(parent)
    , m_mode(mode)
{
    connect(this, &PropertyBrowser::currentItemChanged, this,
            &TreePropertyBrowser::onCurrentItemChanged);
}

TreePropertyBrowser::~TreePropertyBrowser()
{
    qCDebug(lcApp) << "~TreePropertyBrowser()";
}

void TreePropertyBrowser::insertProperty(BrowserProperty *row, Property *parameter)
{
    if (row)
        m_properties.insert(row, parameter);
}

Property *TreePropertyBrowser::findProperty(BrowserProperty *row) const
{
    return m_properties.value(row, nullptr);
}

QList<BrowserProperty *> TreePropertyBrowser::rowsOf(const Property *parameter) const
{
    return m_properties.keys(const_cast<Property *>(parameter));
}

void TreePropertyBrowser::clear()
{
    m_topItem = nullptr;
    PropertyBrowser::clear();
    m_properties.clear();
}

BrowserItem *TreePropertyBrowser::itemAt(const QStringList &path) const
{
    BrowserItem *at = m_topItem;
    for (const QString &name : path) {
        if (!at)
            return nullptr;
        BrowserItem *next = nullptr;
        const auto children = at->children();
        for (BrowserItem *child : children) {
            if (child->property()->propertyName() == name)
                next = child;
        }
        at = next;
    }
    return at;
}

Submodule *TreePropertyBrowser::submoduleOf(BrowserItem *item) const
{
    // Only board group rows carry a board; a board without channels (ENI2)
    // has a group without sub-rows and must still be removable.
    if (!item || !item->property())
        return nullptr;
    const Property *parameter = findProperty(item->property());
    return parameter ? qobject_cast<Submodule *>(parameter->device()) : nullptr;
}

void TreePropertyBrowser::contextMenuEvent(QContextMenuEvent *event)
{
    // Boards are never removed from a unit that is connected.
    if (m_mode & ModeOnline)
        return;
    // The menu runs its own event loop; the board may go meanwhile.
    const QPointer<Submodule> submodule = submoduleOf(currentItem());
    if (!submodule)
        return;
    QMenu menu(this);
    QAction *remove = menu.addAction(QStringLiteral("Удалить субмодуль"));
    remove->setShortcut(QKeySequence());
    if (menu.exec(event->globalPos()) == remove && submodule)
        emit removeSubmodule(submodule);
}

void TreePropertyBrowser::onCurrentItemChanged(BrowserItem *item)
{
    const Property *parameter = item ? findProperty(item->property()) : nullptr;
    emit getInfoProperty(parameter ? parameter->name() : QString());
}
