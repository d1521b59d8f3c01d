#include "app/rivexabout.h"

#include "app/runtimefiles.h"
#include "app/widgets/rframelesswidget.h"
#include "ui_rivexabout.h"

#include <QPixmap>

RivexAbout::RivexAbout(QWidget *parent)
    : RborderWidget(parent)
{
    ui = new Ui::RivexAbout;
    ui->setupUi(this);
    // A missing logo file just leaves the label empty.
    ui->label->setPixmap(
        QPixmap(RuntimeFiles::locate(QStringLiteral("resource/images2/Rivex_LOGO.png"))));

    m_title = new rFrameLessWidget(this, tr(" 关于"), 8, QColor(0, 66, 99));
    ui->gridLayout_2->addWidget(m_title, 0, 0);
    connect(m_title, &rFrameLessWidget::Signal_Close, this, &RivexAbout::hide);
}

RivexAbout::~RivexAbout()
{
    delete ui;
}
