#include "app/widgets/rborderwidget.h"

#include "app/rcanresources.h"

#include <QPainter>

RborderWidget::RborderWidget(QWidget *parent)
    : QWidget(parent)
{
    rcanInitResources();
    setWindowFlags(windowFlags() | Qt::Tool | Qt::FramelessWindowHint);
    setWindowModality(Qt::ApplicationModal);
}

void RborderWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setPen(QPen(QColor(0, 66, 99), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width() - 1, height() - 1);
    painter.fillRect(QRect(1, 1, width() - 2, height() - 2), Qt::white);
}
