#include "tablewidget.h"

#include <QDebug>

TableWidget::TableWidget(QWidget *parent)
    : QTableWidget(parent)
{}

TableWidget::~TableWidget()
{
    qDebug() << "~TableWidget()";
}

void TableWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    Q_UNUSED(event)
    emit itemClick();
}
