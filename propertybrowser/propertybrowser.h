// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PROPERTYBROWSER_H
#define PROPERTYBROWSER_H

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <memory>
#include <vector>

class BrowserItem;
class BrowserProperty;
class PropertyEditorDelegate;
class PropertyEditorFactory;
class PropertyManager;
class PropertyTreeWidget;
class QModelIndex;
class QTreeWidgetItem;

// A tree of rows in two columns, name and value. It shows rows of any
// number of managers and follows them: values, attributes, names and
// sub-rows that change appear at once, and rows that are deleted vanish
// with their items. Only rows of a manager that has a factory here get an
// editor. The browser owns its items; it owns no row.
class PropertyBrowser : public QWidget
{
    Q_OBJECT

public:
    explicit PropertyBrowser(QWidget *parent = nullptr);
    ~PropertyBrowser() override;

    // Appends a top-level row with all its sub-rows, shown expanded. Null
    // when the row is null or already a top-level row here.
    BrowserItem *addProperty(BrowserProperty *property);
    // Inserts after `after`: at the front when it is null, at the end when
    // it is not a top-level row here.
    BrowserItem *insertProperty(BrowserProperty *property, BrowserProperty *after);
    void removeProperty(BrowserProperty *property);
    // Removes every item. The rows stay with their managers.
    void clear();

    QList<BrowserProperty *> properties() const;
    QList<BrowserItem *> topLevelItems() const;
    BrowserItem *topLevelItem(BrowserProperty *property) const;
    // Every place where the row is shown.
    QList<BrowserItem *> items(BrowserProperty *property) const;

    BrowserItem *currentItem() const { return m_current; }
    void setCurrentItem(BrowserItem *item);

    // An invalid colour gives the item back the tree's own background.
    void setBackgroundColor(BrowserItem *item, const QColor &color);
    // The value column's tooltip; empty: the value's text.
    void setValueToolTip(BrowserItem *item, const QString &text);
    QColor backgroundColor(BrowserItem *item) const;

    void setExpanded(BrowserItem *item, bool expanded);
    bool isExpanded(BrowserItem *item) const;

    void setHeaderVisible(bool visible);
    bool isHeaderVisible() const;

    // The factory is not owned; a deleted factory simply gives no editors.
    void setFactoryForManager(PropertyManager *manager, PropertyEditorFactory *factory);
    void unsetFactoryForManager(PropertyManager *manager);
    PropertyEditorFactory *factoryForManager(const PropertyManager *manager) const;

    // Opens the value editor of the item, as a click on its value does.
    // Null when the row takes no editor.
    QWidget *openEditor(BrowserItem *item);

signals:
    // Also emitted with null when the current item goes away.
    void currentItemChanged(BrowserItem *item);

protected:
    // Right clicks on the tree arrive here after the clicked row became the
    // current item. Subclasses override this to offer a menu; here it is
    // passed on to the parent.
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    friend class PropertyEditorDelegate;

    BrowserItem *itemFromIndex(const QModelIndex &index) const;

    void watchManager(PropertyManager *manager);
    std::unique_ptr<BrowserItem> createItem(BrowserProperty *property, BrowserItem *parent);
    void expandSubtree(BrowserItem *item);
    void refreshTexts(BrowserItem *item);
    void forgetSubtree(BrowserItem *item);
    void removeItem(BrowserItem *item);
    BrowserItem *insertItem(BrowserProperty *property, BrowserItem *parent, int position);
    void syncCurrent();

    void onValueChanged(BrowserProperty *property);
    void onInserted(BrowserProperty *property, BrowserProperty *parent, BrowserProperty *after);
    void onRemoved(BrowserProperty *property, BrowserProperty *parent);
    void onDestroyed(BrowserProperty *property);

    PropertyTreeWidget *m_tree;         // child widget
    PropertyEditorDelegate *m_delegate; // child object
    std::vector<std::unique_ptr<BrowserItem>> m_topItems;
    QHash<const QTreeWidgetItem *, BrowserItem *> m_itemByTreeItem;
    QHash<const BrowserProperty *, QList<BrowserItem *>> m_itemsByProperty;
    QHash<const PropertyManager *, QPointer<PropertyEditorFactory>> m_factories;
    QSet<const PropertyManager *> m_watchedManagers;
    BrowserItem *m_current = nullptr; // not owned
    bool m_currentLost = false;       // m_current was removed, not yet announced
    int m_restructuring = 0;          // current-item news waits while > 0
};

#endif // PROPERTYBROWSER_H
