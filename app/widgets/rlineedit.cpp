#include "app/widgets/rlineedit.h"

RLineEdit::RLineEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setStyleSheet(QStringLiteral("border:1px solid #ADD8E6"));
}
