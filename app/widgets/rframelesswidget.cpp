#include "app/widgets/rframelesswidget.h"

#include "app/rcanresources.h"
#include "ui_rframelesswidget.h"

#include <QMouseEvent>

rFrameLessWidget::rFrameLessWidget(QWidget *parent,
                                   const QString &title,
                                   int flags,
                                   const QColor &background)
    : QWidget(parent)
    , m_target(parent)
    , m_drag(parent)
{
    rcanInitResources();
    ui = new Ui::rFrameLessWidget;
    ui->setupUi(this);
    ui->label->setText(title);

    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(background, Qt::SolidPattern));
    setAutoFillBackground(true);
    setPalette(pal);

    ui->help->hide();
    ui->minsize->setVisible(flags & 2);
    ui->maxsize->setVisible(flags & 4);
    ui->close->setVisible(flags & 8);
    ui->label->setStyleSheet(QStringLiteral("color:rgb(255,255,255)"));
}

rFrameLessWidget::~rFrameLessWidget()
{
    delete ui;
}

void rFrameLessWidget::setTitle(const QString &title)
{
    ui->label->setText(title);
}

void rFrameLessWidget::on_minsize_clicked()
{
    emit Signal_MinSize();
}

void rFrameLessWidget::on_maxsize_clicked()
{
    if (m_target && m_target->isMaximized())
        emit Signal_NormalSize();
    else
        emit Signal_MaxSize();
}

void rFrameLessWidget::on_close_clicked()
{
    emit Signal_Close();
}

void rFrameLessWidget::on_help_clicked()
{
    emit Signal_Help();
}

void rFrameLessWidget::mousePressEvent(QMouseEvent *event)
{
    m_drag.press(event);
}

void rFrameLessWidget::mouseMoveEvent(QMouseEvent *event)
{
    m_drag.move(event);
    event->ignore();
}

void rFrameLessWidget::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag.release(event);
    event->ignore();
}
