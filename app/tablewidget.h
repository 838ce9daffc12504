#ifndef TABLEWIDGET_H
#define TABLEWIDGET_H

#include <QTableWidget>

// List of found units: a double click anywhere asks to open the chosen unit
// instead of starting an edit.
class TableWidget : public QTableWidget
{
    Q_OBJECT

public:
    explicit TableWidget(QWidget *parent = nullptr);
    ~TableWidget() override;

signals:
    void itemClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

#endif // TABLEWIDGET_H
