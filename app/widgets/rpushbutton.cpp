#include "app/widgets/rpushbutton.h"

RPushButton::RPushButton(QWidget *parent)
    : QPushButton(parent)
{
    setMinimumHeight(20);
    setMinimumWidth(90);
    setStyleSheet(QStringLiteral(
        "QPushButton{background-color:#ffffff;border:1px solid #6495ED;border-top-left-radius:5px;"
        "border-radius:3px}"
        "QPushButton:hover{background-color:#87CEFA;border:1px solid #6495ED;border-radius:3px;}"
        "QPushButton:pressed{background-color:#4169E1;border:1px solid #6495ED;border-radius:3px;}"
        "QPushButton:disabled{background-color:#dddddd;border:1px solid "
        "#dddddd;border-radius:3px;}"));
}
