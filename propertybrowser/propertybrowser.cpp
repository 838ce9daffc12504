// SPDX-License-Identifier: GPL-3.0-or-later
#include "propertybrowser.h"

#include "browseritem.h"
#include "browserproperty.h"
#include "propertyeditordelegate.h"
#include "propertyeditorfactory.h"
#include "propertymanager.h"
#include "propertytreewidget.h"

#include <QContextMenuEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

template<typename Container>
int positionOf(const Container &items, const BrowserItem *item)
{
    const auto found = std::find_if(items.cbegin(), items.cend(),
                                    [item](const auto &own) { return own.get() == item; });
    return found == items.cend() ? -1 : int(found - items.cbegin());
}

} // namespace

PropertyBrowser::PropertyBrowser(QWidget *parent)
    : QWidget(parent)
    , m_tree(new PropertyTreeWidget(this))
    , m_delegate(new PropertyEditorDelegate(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tree);
    m_tree->setItemDelegate(m_delegate);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &PropertyBrowser::syncCurrent);
}

PropertyBrowser::~PropertyBrowser()
{
    // The tree dies after our members; an open editor that loses its focus
    // then must not reach them or the half-destroyed view.
    disconnect(m_delegate, nullptr, m_tree, nullptr);
    m_tree->disconnect(this);
}

BrowserItem *PropertyBrowser::addProperty(BrowserProperty *property)
{
    return insertProperty(property, m_topItems.empty() ? nullptr : m_topItems.back()->property());
}

BrowserItem *PropertyBrowser::insertProperty(BrowserProperty *property, BrowserProperty *after)
{
    if (!property || topLevelItem(property))
        return nullptr;
    int position = 0;
    if (after) {
        position = positionOf(m_topItems, topLevelItem(after)) + 1;
        if (position == 0)
            position = int(m_topItems.size());
    }
    return insertItem(property, nullptr, position);
}

void PropertyBrowser::removeProperty(BrowserProperty *property)
{
    if (BrowserItem *item = topLevelItem(property))
        removeItem(item);
}

void PropertyBrowser::clear()
{
    ++m_restructuring;
    if (m_current) {
        m_current = nullptr;
        m_currentLost = true;
    }
    m_itemByTreeItem.clear();
    m_itemsByProperty.clear();
    m_tree->clear();
    m_topItems.clear();
    --m_restructuring;
    syncCurrent();
}

QList<BrowserProperty *> PropertyBrowser::properties() const
{
    QList<BrowserProperty *> result;
    for (const auto &item : m_topItems)
        result.append(item->property());
    return result;
}

QList<BrowserItem *> PropertyBrowser::topLevelItems() const
{
    QList<BrowserItem *> result;
    for (const auto &item : m_topItems)
        result.append(item.get());
    return result;
}

BrowserItem *PropertyBrowser::topLevelItem(BrowserProperty *property) const
{
    for (const auto &item : m_topItems) {
        if (item->property() == property)
            return item.get();
    }
    return nullptr;
}

QList<BrowserItem *> PropertyBrowser::items(BrowserProperty *property) const
{
    return m_itemsByProperty.value(property);
}

void PropertyBrowser::setCurrentItem(BrowserItem *item)
{
    if (item && item->browser() != this)
        return;
    m_tree->setCurrentItem(item ? item->m_treeItem : nullptr);
}

void PropertyBrowser::setBackgroundColor(BrowserItem *item, const QColor &color)
{
    if (!item || item->browser() != this)
        return;
    item->m_background = color;
    for (int column = 0; column < m_tree->columnCount(); ++column) {
        if (color.isValid())
            item->m_treeItem->setBackground(column, color);
        else
            item->m_treeItem->setData(column, Qt::BackgroundRole, QVariant());
    }
}

QColor PropertyBrowser::backgroundColor(BrowserItem *item) const
{
    return item ? item->m_background : QColor();
}

void PropertyBrowser::setExpanded(BrowserItem *item, bool expanded)
{
    if (item && item->browser() == this)
        item->m_treeItem->setExpanded(expanded);
}

bool PropertyBrowser::isExpanded(BrowserItem *item) const
{
    return item && item->browser() == this && item->m_treeItem->isExpanded();
}

void PropertyBrowser::setHeaderVisible(bool visible)
{
    m_tree->setHeaderHidden(!visible);
}

bool PropertyBrowser::isHeaderVisible() const
{
    return !m_tree->isHeaderHidden();
}

void PropertyBrowser::setFactoryForManager(PropertyManager *manager, PropertyEditorFactory *factory)
{
    if (!manager)
        return;
    watchManager(manager);
    m_factories.insert(manager, factory);
}

void PropertyBrowser::unsetFactoryForManager(PropertyManager *manager)
{
    m_factories.remove(manager);
}

PropertyEditorFactory *PropertyBrowser::factoryForManager(const PropertyManager *manager) const
{
    return m_factories.value(manager);
}

QWidget *PropertyBrowser::openEditor(BrowserItem *item)
{
    if (!item || item->browser() != this)
        return nullptr;
    m_tree->setCurrentItem(item->m_treeItem, PropertyTreeWidget::ValueColumn);
    const QModelIndex index = m_tree->currentIndex();
    m_tree->edit(index);
    return m_tree->indexWidget(index);
}

void PropertyBrowser::contextMenuEvent(QContextMenuEvent *event)
{
    QWidget::contextMenuEvent(event);
}

BrowserItem *PropertyBrowser::itemFromIndex(const QModelIndex &index) const
{
    return m_itemByTreeItem.value(m_tree->treeItemFromIndex(index));
}

void PropertyBrowser::watchManager(PropertyManager *manager)
{
    if (m_watchedManagers.contains(manager))
        return;
    m_watchedManagers.insert(manager);
    connect(manager, &PropertyManager::valueChanged, this, &PropertyBrowser::onValueChanged);
    connect(manager, &PropertyManager::attributeChanged, this, &PropertyBrowser::onValueChanged);
    connect(manager, &PropertyManager::propertyChanged, this, &PropertyBrowser::onValueChanged);
    connect(manager, &PropertyManager::propertyInserted, this, &PropertyBrowser::onInserted);
    connect(manager, &PropertyManager::propertyRemoved, this, &PropertyBrowser::onRemoved);
    connect(manager, &PropertyManager::propertyDestroyed, this, &PropertyBrowser::onDestroyed);
    // A later manager may get the same address.
    connect(manager, &QObject::destroyed, this, [this, manager] {
        m_watchedManagers.remove(manager);
        m_factories.remove(manager);
    });
}

std::unique_ptr<BrowserItem> PropertyBrowser::createItem(BrowserProperty *property,
                                                         BrowserItem *parent)
{
    watchManager(property->manager());
    auto *treeItem = new QTreeWidgetItem; // handed to the tree by the caller
    treeItem->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    std::unique_ptr<BrowserItem> item(new BrowserItem(this, property, parent, treeItem));
    m_itemByTreeItem.insert(treeItem, item.get());
    m_itemsByProperty[property].append(item.get());
    refreshTexts(item.get());
    const auto subProperties = property->subProperties();
    for (BrowserProperty *sub : subProperties) {
        std::unique_ptr<BrowserItem> child = createItem(sub, item.get());
        treeItem->addChild(child->m_treeItem);
        item->m_children.push_back(std::move(child));
    }
    return item;
}

BrowserItem *PropertyBrowser::insertItem(BrowserProperty *property, BrowserItem *parent,
                                         int position)
{
    std::unique_ptr<BrowserItem> item = createItem(property, parent);
    BrowserItem *raw = item.get();
    // The subtree is built off the tree and joins it in one step.
    if (parent) {
        parent->m_treeItem->insertChild(position, raw->m_treeItem);
        parent->m_children.insert(parent->m_children.begin() + position, std::move(item));
    } else {
        m_tree->insertTopLevelItem(position, raw->m_treeItem);
        m_topItems.insert(m_topItems.begin() + position, std::move(item));
    }
    expandSubtree(raw);
    return raw;
}

void PropertyBrowser::expandSubtree(BrowserItem *item)
{
    if (item->m_children.empty())
        return;
    item->m_treeItem->setExpanded(true);
    for (const auto &child : item->m_children)
        expandSubtree(child.get());
}

void PropertyBrowser::refreshTexts(BrowserItem *item)
{
    const BrowserProperty *property = item->property();
    const QString value = property->valueText();
    QTreeWidgetItem *treeItem = item->m_treeItem;
    treeItem->setText(PropertyTreeWidget::NameColumn, property->propertyName());
    treeItem->setToolTip(PropertyTreeWidget::NameColumn, property->propertyName());
    treeItem->setText(PropertyTreeWidget::ValueColumn, value);
    treeItem->setToolTip(PropertyTreeWidget::ValueColumn,
                         item->m_toolTip.isEmpty() ? value : item->m_toolTip);
}

void PropertyBrowser::setValueToolTip(BrowserItem *item, const QString &text)
{
    if (!item || item->browser() != this)
        return;
    item->m_toolTip = text;
    refreshTexts(item);
}

void PropertyBrowser::forgetSubtree(BrowserItem *item)
{
    for (const auto &child : item->m_children)
        forgetSubtree(child.get());
    m_itemByTreeItem.remove(item->m_treeItem);
    auto found = m_itemsByProperty.find(item->property());
    if (found != m_itemsByProperty.end()) {
        found->removeOne(item);
        if (found->isEmpty())
            m_itemsByProperty.erase(found);
    }
    if (item == m_current) {
        m_current = nullptr;
        m_currentLost = true;
    }
}

void PropertyBrowser::removeItem(BrowserItem *item)
{
    ++m_restructuring;
    forgetSubtree(item);
    BrowserItem *parent = item->parent();
    if (parent) {
        const int position = positionOf(parent->m_children, item);
        const std::unique_ptr<QTreeWidgetItem> treeItem(
            parent->m_treeItem->takeChild(parent->m_treeItem->indexOfChild(item->m_treeItem)));
        parent->m_children.erase(parent->m_children.begin() + position);
    } else {
        const int position = positionOf(m_topItems, item);
        const std::unique_ptr<QTreeWidgetItem> treeItem(
            m_tree->takeTopLevelItem(m_tree->indexOfTopLevelItem(item->m_treeItem)));
        m_topItems.erase(m_topItems.begin() + position);
    }
    --m_restructuring;
    syncCurrent();
}

void PropertyBrowser::syncCurrent()
{
    if (m_restructuring > 0)
        return;
    BrowserItem *now = m_itemByTreeItem.value(m_tree->currentItem());
    if (now == m_current && !m_currentLost)
        return;
    m_current = now;
    m_currentLost = false;
    emit currentItemChanged(now);
}

void PropertyBrowser::onValueChanged(BrowserProperty *property)
{
    const auto shown = m_itemsByProperty.value(property);
    for (BrowserItem *item : shown)
        refreshTexts(item);
}

void PropertyBrowser::onInserted(BrowserProperty *property, BrowserProperty *parent,
                                 BrowserProperty *after)
{
    const auto parents = m_itemsByProperty.value(parent);
    for (BrowserItem *parentItem : parents) {
        int position = 0;
        if (after) {
            const auto &children = parentItem->m_children;
            const auto found
                = std::find_if(children.cbegin(), children.cend(),
                               [after](const auto &child) { return child->property() == after; });
            position = found == children.cend() ? int(children.size())
                                                : int(found - children.cbegin()) + 1;
        }
        insertItem(property, parentItem, position);
    }
}

void PropertyBrowser::onRemoved(BrowserProperty *property, BrowserProperty *parent)
{
    const auto parents = m_itemsByProperty.value(parent);
    for (BrowserItem *parentItem : parents) {
        const auto children = parentItem->children();
        for (BrowserItem *child : children) {
            if (child->property() == property) {
                removeItem(child);
                break;
            }
        }
    }
}

void PropertyBrowser::onDestroyed(BrowserProperty *property)
{
    // Items of one row are never nested, so each removal leaves the others.
    while (m_itemsByProperty.contains(property))
        removeItem(m_itemsByProperty.value(property).constFirst());
}
