#include "app/widgets/rcombox.h"

Rcombox::Rcombox(QWidget *parent)
    : QComboBox(parent)
{
    setStyleSheet(QStringLiteral("border:1px solid #ADD8E6"));
}
