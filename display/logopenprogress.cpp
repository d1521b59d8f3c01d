#include "logopenprogress.h"

#include "app/widgets/rframelesswidget.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

LogOpenProgress::LogOpenProgress(QWidget *parent)
    : RborderWidget(parent)
{
    resize(360, 160);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(8);
    m_titleBar = new rFrameLessWidget(this, tr(" 打开日志"), 0, QColor(0, 66, 99));
    m_titleBar->setMaximumHeight(35);
    layout->addWidget(m_titleBar);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(16, 4, 16, 12);
    m_file = new QLabel(this);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_cancel = new QPushButton(tr("取消"), this);
    m_cancel->setMinimumWidth(90);
    body->addWidget(m_file);
    body->addWidget(m_bar);
    body->addWidget(m_cancel, 0, Qt::AlignRight);
    layout->addLayout(body);
    connect(m_cancel, &QPushButton::clicked, this, &LogOpenProgress::cancelRequested);
}

void LogOpenProgress::start(const QString &fileName)
{
    m_file->setText(fontMetrics().elidedText(QFileInfo(fileName).fileName(), Qt::ElideMiddle, 320));
    m_bar->setValue(0);
    m_cancel->setEnabled(true);
}

void LogOpenProgress::showOver(QWidget *owner)
{
    QRect over = owner->window()->frameGeometry();
    if (!owner->window()->isVisible()) {
        if (QScreen *screen = QGuiApplication::primaryScreen())
            over = screen->availableGeometry();
    }
    QRect area = frameGeometry();
    area.moveCenter(over.center());
    move(area.topLeft());
    show();
}

void LogOpenProgress::setProgressValue(int percent)
{
    m_bar->setValue(percent);
}

int LogOpenProgress::progressValue() const
{
    return m_bar->value();
}
