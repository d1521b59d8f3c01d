#include "app/widgets/rspinbox.h"

RSpinBox::RSpinBox(QWidget *parent)
    : QSpinBox(parent)
{
    setStyleSheet(QStringLiteral("border:1px solid #ADD8E6"));
}
