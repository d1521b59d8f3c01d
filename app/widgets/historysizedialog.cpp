#include "app/widgets/historysizedialog.h"

#include "app/historysetting.h"
#include "app/systemmemory.h"
#include "app/widgets/rframelesswidget.h"
#include "app/widgets/rpushbutton.h"
#include "app/widgets/rspinbox.h"
#include "display/candatadisplaysupport.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int FramesStep = 1000000;

// Steps land on whole millions: from the smallest size one step up is 1,000,000, not 1,010,000.
class FramesSpinBox : public RSpinBox
{
public:
    using RSpinBox::RSpinBox;

    void stepBy(int steps) override
    {
        const qint64 current = value();
        qint64 next;
        if (steps > 0) {
            next = (current / FramesStep + steps) * FramesStep;
        } else {
            const qint64 atOrAbove = (current + FramesStep - 1) / FramesStep;
            next = (atOrAbove + steps) * FramesStep;
        }
        setValue(int(qBound<qint64>(minimum(), next, maximum())));
        selectAll();
    }
};

} // namespace

HistorySizeDialog::HistorySizeDialog(CAN_DataDisplaySupport *display, QWidget *parent)
    : RborderWidget(parent)
    , m_display(display)
    , m_physicalMemory(SystemMemory::physicalBytes())
{
    setObjectName(QStringLiteral("historySizeDialog"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    m_title = new rFrameLessWidget(this, tr(" 历史记录容量"), 8, QColor(0, 66, 99));
    m_title->setMaximumHeight(35);
    layout->addWidget(m_title);
    connect(m_title, &rFrameLessWidget::Signal_Close, this, &HistorySizeDialog::reject);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(20, 16, 20, 16);
    body->setSpacing(12);
    layout->addLayout(body);

    auto *form = new QGridLayout;
    form->setHorizontalSpacing(10);
    form->setVerticalSpacing(10);
    m_frames = new FramesSpinBox(this);
    m_frames->setObjectName(QStringLiteral("historyFrames"));
    m_frames->setRange(CAN_DataDisplaySupport::MinBuffSize, CAN_DataDisplaySupport::MaxBuffSize);
    m_frames->setSingleStep(FramesStep);
    m_frames->setGroupSeparatorShown(true);
    // A number typed below the smallest size becomes the smallest, not the size shown before.
    m_frames->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    m_frames->setSuffix(tr(" 帧"));
    m_frames->setMinimumWidth(170);
    m_frames->setMinimumHeight(24);
    auto *framesCaption = new QLabel(tr("保存的帧数："), this);
    framesCaption->setBuddy(m_frames);
    form->addWidget(framesCaption, 0, 0);
    form->addWidget(m_frames, 0, 1);
    m_memory = new QLabel(this);
    m_memory->setObjectName(QStringLiteral("historyMemory"));
    form->addWidget(new QLabel(tr("占用内存："), this), 1, 0);
    form->addWidget(m_memory, 1, 1);
    form->setColumnStretch(2, 1);
    body->addLayout(form);

    auto *note = new QLabel(tr("更改立即生效。改小容量时，会丢弃最早的帧。"), this);
    note->setObjectName(QStringLiteral("historyNote"));
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("color:#5a5a5a"));
    body->addWidget(note);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    m_ok = new RPushButton(this);
    m_ok->setObjectName(QStringLiteral("historyOk"));
    m_ok->setText(tr("确定"));
    m_ok->setMinimumHeight(26);
    m_cancel = new RPushButton(this);
    m_cancel->setObjectName(QStringLiteral("historyCancel"));
    m_cancel->setText(tr("取消"));
    m_cancel->setMinimumHeight(26);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    body->addLayout(buttons);

    connect(m_frames, qOverload<int>(&QSpinBox::valueChanged), this,
            &HistorySizeDialog::showMemory);
    connect(m_ok, &QPushButton::clicked, this, &HistorySizeDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &HistorySizeDialog::reject);

    resize(420, sizeHint().height());
    showMemory(m_frames->value());
}

void HistorySizeDialog::showForCurrentSize()
{
    m_frames->setValue(m_display->maxBuffSize());
    showMemory(m_frames->value());
    QRect over;
    if (parentWidget() && parentWidget()->window()->isVisible())
        over = parentWidget()->window()->frameGeometry();
    else if (QScreen *screen = QGuiApplication::primaryScreen())
        over = screen->availableGeometry();
    QRect area = frameGeometry();
    area.moveCenter(over.center());
    move(area.topLeft());
    show();
    activateWindow();
    m_frames->setFocus();
    m_frames->selectAll();
}

void HistorySizeDialog::accept()
{
    // The box may still hold typed text that has not become its value.
    m_frames->interpretText();
    const int frames = m_frames->value();
    HistorySetting::store(frames);
    m_display->setMaxBuffSize(frames);
    hide();
}

void HistorySizeDialog::reject()
{
    hide();
}

void HistorySizeDialog::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        break;
    case Qt::Key_Escape:
        reject();
        break;
    default:
        RborderWidget::keyPressEvent(event);
    }
}

void HistorySizeDialog::setPhysicalMemory(qint64 bytes)
{
    m_physicalMemory = bytes;
    showMemory(m_frames->value());
}

void HistorySizeDialog::showMemory(int frames)
{
    const double bytes = double(CAN_DataDisplaySupport::historyBytes(frames));
    constexpr double MB = 1e6;
    constexpr double GB = 1e9;
    // Tenths of a megabyte for the smallest sizes, so that none shows as 0 MB; whole megabytes
    // up to a gigabyte, then gigabytes to one decimal.
    QString text;
    if (bytes < 10 * MB)
        text = tr("约 %1 MB").arg(locale().toString(bytes / MB, 'f', 1));
    else if (bytes < GB)
        text = tr("约 %1 MB").arg(locale().toString(qRound64(bytes / MB)));
    else
        text = tr("约 %1 GB").arg(locale().toString(bytes / GB, 'f', 1));
    // A history that fills more than half the machine leaves too little for the rest of it: the
    // system ends the program, history and all, once it is full.
    const bool tooLarge = m_physicalMemory > 0 && bytes > m_physicalMemory / 2.0;
    if (tooLarge)
        text += tr("，超过本机内存的一半");
    m_memory->setText(text);
    m_memory->setStyleSheet(tooLarge ? QStringLiteral("color:#c00000") : QString());
}
