#include "filesave_widget.h"

#include "ui_filesave_widget.h"

#include "app/widgets/rframelesswidget.h"

FileSave_Widget::FileSave_Widget(QWidget *parent)
    : RborderWidget(parent)
    , ui(new Ui::FileSave_Widget)
{
    ui->setupUi(this);
    m_titleBar = new rFrameLessWidget(this, QString(), 0, QColor(0, 66, 99));
    retranslate();
    m_titleBar->setMaximumHeight(35);
    ui->horizontalLayout->addWidget(m_titleBar);
}

FileSave_Widget::~FileSave_Widget()
{
    delete ui;
}

void FileSave_Widget::setProgressValue(int value)
{
    ui->progressBar->setValue(value);
}

void FileSave_Widget::retranslate()
{
    m_titleBar->setTitle(tr(" CAN保存"));
}

int FileSave_Widget::progressValue() const
{
    return ui->progressBar->value();
}
