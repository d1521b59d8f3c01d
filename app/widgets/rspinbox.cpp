#include "app/widgets/rspinbox.h"

RSpinBox::RSpinBox(QWidget *parent)
    : QSpinBox(parent)
{
    // A style sheet border makes Qt draw the buttons from the sheet too, which leaves them
    // blank unless the sheet also gives their arrows a picture.
    setStyleSheet(QStringLiteral(
        "QSpinBox{border:1px solid #ADD8E6}"
        "QSpinBox::up-button,QSpinBox::down-button{width:16px;background-color:#ffffff;"
        "border-left:1px solid #ADD8E6}"
        "QSpinBox::up-button{subcontrol-position:top right}"
        "QSpinBox::down-button{subcontrol-position:bottom right}"
        "QSpinBox::up-button:hover,QSpinBox::down-button:hover{background-color:#87CEFA}"
        "QSpinBox::up-button:pressed,QSpinBox::down-button:pressed{background-color:#4169E1}"
        "QSpinBox::up-arrow{image:url(:/images2/spin_up.png);width:9px;height:5px}"
        "QSpinBox::down-arrow{image:url(:/images2/spin_down.png);width:9px;height:5px}"
        "QSpinBox::up-arrow:disabled,QSpinBox::up-arrow:off"
        "{image:url(:/images2/spin_up_off.png)}"
        "QSpinBox::down-arrow:disabled,QSpinBox::down-arrow:off"
        "{image:url(:/images2/spin_down_off.png)}"));
}
