// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TREEPROPERTYBROWSER_H
#define TREEPROPERTYBROWSER_H

#include "propertybrowser.h"

#include <QMap>
#include <QStringList>

class Property;
class Submodule;

// The module view's tree: remembers which model parameter each row shows,
// reports the parameter of the current row for its help text and offers
// to remove the board of the current row.
class TreePropertyBrowser : public PropertyBrowser
{
    Q_OBJECT

public:
    explicit TreePropertyBrowser(quint32 mode, QWidget *parent = nullptr);
    ~TreePropertyBrowser() override;

    using PropertyBrowser::insertProperty;
    // Associates a row with the parameter it shows; an existing row is
    // associated anew.
    void insertProperty(BrowserProperty *row, Property *parameter);
    Property *findProperty(BrowserProperty *row) const;
    // The rows that show a parameter.
    QList<BrowserProperty *> rowsOf(const Property *parameter) const;

    // Removes every item and every association: after this no pointer into
    // the previous model or rows is kept.
    void clear();

    BrowserItem *topItem() const { return m_topItem; }
    // The item at a path of row names below the top row ("Параметры модуля",
    // "Параметры связи", "IP-адрес"); null when there is none.
    BrowserItem *itemAt(const QStringList &path) const;
    void setTopItem(BrowserItem *item) { m_topItem = item; }

    // The board whose group row is `item`, or null when the row is not a
    // board group.
    Submodule *submoduleOf(BrowserItem *item) const;

signals:
    void removeSubmodule(Submodule *submodule);
    void getInfoProperty(const QString &nameProperty);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private slots:
    void onCurrentItemChanged(BrowserItem *item);

private:
    QMap<BrowserProperty *, Property *> m_properties; // neither side owned
    quint32 m_mode;
    BrowserItem *m_topItem = nullptr; // owned by the browser
};

#endif // TREEPROPERTYBROWSER_H
