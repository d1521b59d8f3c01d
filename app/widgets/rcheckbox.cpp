#include "app/widgets/rcheckbox.h"

#include "app/rcanresources.h"

RcHECKbOX::RcHECKbOX(QWidget *parent)
    : QCheckBox(parent)
{
    rcanInitResources();
    setStyleSheet(QStringLiteral("QCheckBox::indicator:unchecked{border:1px solid #ADD8E6}"
                                 "QCheckBox::indicator:checked{image:url(:/images2/check2.png);}"));
}
