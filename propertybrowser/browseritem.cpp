// SPDX-License-Identifier: GPL-3.0-or-later
#include "browseritem.h"

BrowserItem::BrowserItem(PropertyBrowser *browser, BrowserProperty *property, BrowserItem *parent,
                         QTreeWidgetItem *treeItem)
    : m_browser(browser)
    , m_property(property)
    , m_parent(parent)
    , m_treeItem(treeItem)
{}

QList<BrowserItem *> BrowserItem::children() const
{
    QList<BrowserItem *> result;
    result.reserve(int(m_children.size()));
    for (const auto &child : m_children)
        result.append(child.get());
    return result;
}
