// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef BROWSERITEM_H
#define BROWSERITEM_H

#include <QColor>
#include <QList>

#include <memory>
#include <vector>

class BrowserProperty;
class PropertyBrowser;
class QTreeWidgetItem;

// One place where a row is shown in a PropertyBrowser. A row shown under
// several parents has one item per place. Made and owned by the browser;
// an item dies when its row leaves the browser (removal, clear, deletion of
// the row), so keep no pointer to it across such a change.
class BrowserItem
{
public:
    BrowserItem(const BrowserItem &) = delete;
    BrowserItem &operator=(const BrowserItem &) = delete;

    BrowserProperty *property() const { return m_property; }
    BrowserItem *parent() const { return m_parent; }
    QList<BrowserItem *> children() const;
    PropertyBrowser *browser() const { return m_browser; }

private:
    friend class PropertyBrowser;
    friend struct std::default_delete<BrowserItem>;

    BrowserItem(PropertyBrowser *browser, BrowserProperty *property, BrowserItem *parent,
                QTreeWidgetItem *treeItem);
    ~BrowserItem() = default;

    PropertyBrowser *m_browser;  // not owned
    BrowserProperty *m_property; // not owned
    BrowserItem *m_parent;       // not owned
    QTreeWidgetItem *m_treeItem; // owned by the browser's tree widget
    std::vector<std::unique_ptr<BrowserItem>> m_children;
    QColor m_background; // invalid: the tree's own background
    QString m_toolTip;   // empty: the value's text
};

#endif // BROWSERITEM_H
