#include "tablewidget.h"

#include "applogging.h"

TableWidget::TableWidget(QWidget *parent)
    : QTableWidget(parent)
{}

TableWidget::~TableWidget()
{
    qCDebug(lcApp) << "~TableWidget()";
}

void TableWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    Q_UNUSED(event)
    emit itemClick();
}
