#include "display/framesignaldetail.h"

#include "display/signalhub.h"

FrameSignalDetail::FrameSignalDetail(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("frameSignalDetail"));
    setTextFormat(Qt::RichText);
    setWordWrap(true);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::TextSelectableByMouse);
    setContentsMargins(4, 2, 4, 2);
    setToolTip(tr("单击信号以绘制其曲线"));
    connect(this, &QLabel::linkActivated, this, &FrameSignalDetail::onLink);
    // A database added, reloaded or removed changes what the picked frame means.
    connect(SignalHub::instance()->databases(), &DatabaseSet::changed, this,
            &FrameSignalDetail::update);
    update();
}

void FrameSignalDetail::showFrame(const LogFrame &frame)
{
    m_frame = frame;
    m_picked = true;
    update();
}

void FrameSignalDetail::update()
{
    const QSharedPointer<const DatabaseSet::Snapshot> databases
        = SignalHub::instance()->databases()->snapshot();
    const bool inUse = databases && !databases->isEmpty();
    // Shown with the view it sits in; a detail not yet placed must not become a window.
    if (!inUse)
        hide();
    else if (parentWidget())
        show();
    m_signals = m_picked && inUse ? FrameSignalText::describe(*databases, m_frame) : FrameSignals();
    if (!m_picked)
        setText(tr("单击一行以查看其信号"));
    else if (m_signals.isEmpty())
        setText(tr("数据库中没有此帧的报文"));
    else
        setText(FrameSignalText::linkedSummary(m_signals));
}

void FrameSignalDetail::onLink(const QString &link)
{
    if (!link.startsWith(QLatin1String("plot:")))
        return;
    bool ok = false;
    const int index = link.mid(5).toInt(&ok);
    if (ok && index >= 0 && index < m_signals.lines.size())
        SignalHub::instance()->requestPlot({ m_signals.lines.at(index).key });
}
