#include "app/widgets/rgroupbox.h"

RGroupBox::RGroupBox(QWidget *parent)
    : QGroupBox(parent)
{
}
