#include "signalrecorder.h"

#include "protocol/contextprotocol.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QThread>

namespace {
QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}
} // namespace

SignalRecorder::SignalRecorder(contextProtocol *codec, QObject *parent, Qt::ConnectionType type)
    : QObject(parent)
{
    connect(codec, &contextProtocol::signal_RSP_DeviceOpen, this,
            [this](uchar type, uchar channels, const QString &model) {
                add(QStringLiteral("open %1 %2 %3").arg(type).arg(channels).arg(model));
            }, type);
    connect(codec, &contextProtocol::signal_RSP_BaudRateConfig, this,
            [this](uchar channel, bool state) {
                add(QStringLiteral("baud %1 %2").arg(channel).arg(state ? QStringLiteral("true") : QStringLiteral("false")));
            }, type);
    connect(codec, &contextProtocol::signal_REP_DeviceStates, this,
            [this](uchar channel, ushort speed, float prct) {
                add(QStringLiteral("states %1 %2 %3").arg(channel).arg(speed).arg(double(prct)));
            }, type);
    connect(codec, &contextProtocol::signal_REP_ErroCount, this,
            [this](uchar channel, uint count) {
                add(QStringLiteral("errors %1 %2").arg(channel).arg(count));
            }, type);
    connect(codec, &contextProtocol::signal_REP_CANFrame, this,
            [this](uchar channel, const QByteArray &frame, uint stamp, uint dir) {
                add(QStringLiteral("frame %1 %2 %3 %4").arg(channel).arg(hex(frame)).arg(stamp).arg(dir));
            }, type);
    connect(codec, &contextProtocol::signal_RSP_CANSend, this,
            [this](uchar channel, uchar state, uint rank, uint stamp) {
                add(QStringLiteral("sent %1 %2 %3 %4").arg(channel).arg(state).arg(rank, 0, 16).arg(stamp));
            }, type);
    connect(codec, &contextProtocol::signal_RSP_DeviceClose, this,
            [this] { add(QStringLiteral("close")); }, type);
}

QStringList SignalRecorder::events() const
{
    QMutexLocker lock(&m_mutex);
    return m_events;
}

int SignalRecorder::count() const
{
    QMutexLocker lock(&m_mutex);
    return m_events.size();
}

void SignalRecorder::clear()
{
    QMutexLocker lock(&m_mutex);
    m_events.clear();
}

bool SignalRecorder::waitFor(int n, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (count() < n) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void SignalRecorder::add(const QString &event)
{
    QMutexLocker lock(&m_mutex);
    m_events.append(event);
}
