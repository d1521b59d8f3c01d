#include "adaptersession.h"

#include "link/serialcontrol.h"
#include "protocol/bittiming.h"
#include "protocol/contextprotocol.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

namespace {
QByteArray littleEndian(quint32 code)
{
    QByteArray value;
    Wire::appendU32(value, code);
    return value;
}
} // namespace

AdapterSession::AdapterSession(QObject *parent)
    : QObject(parent)
{
    contextProtocol *codec = contextProtocol::instance();
    connect(codec, &contextProtocol::signal_RSP_DeviceOpen, this,
            [this](uchar, uchar channelNums, const QString &) {
                if (m_pending != Pending::Open)
                    return;
                m_reportedChannels = channelNums;
                // A device of another kind is an answer too: refused at once, not at the time-out.
                m_accepted = channelNums == 2;
                answered();
            });
    connect(codec, &contextProtocol::signal_RSP_BaudRateConfig, this,
            [this](uchar channel, bool state) {
                if (m_pending != Pending::BaudConfig || channel != m_pendingChannel)
                    return;
                m_accepted = state;
                answered();
            });
    connect(codec, &contextProtocol::signal_RSP_DeviceClose, this, [this] {
        if (m_pending == Pending::Close)
            answered();
    });
}

AdapterSession::~AdapterSession()
{
    close();
}

void AdapterSession::send(const QByteArray &command)
{
    SerialControl *serial = SerialControl::instance();
    QMetaObject::invokeMethod(serial, [serial, command] { serial->serialSocketSend(command); });
}

bool AdapterSession::waitForAnswer(int timeoutMs)
{
    if (!m_waiting)
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    // The answers arrive as queued calls on this thread and end the wait themselves.
    m_loop = &loop;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_loop = nullptr;
    return !m_waiting;
}

void AdapterSession::answered()
{
    m_waiting = false;
    if (m_loop)
        m_loop->quit();
}

bool AdapterSession::open(const QString &port, QString *error)
{
    if (m_open)
        close();
    SerialControl *serial = SerialControl::instance();
    bool opened = false;
    QMetaObject::invokeMethod(
        serial, [serial, port, &opened] { opened = serial->serialSocketOpen(port); },
        Qt::BlockingQueuedConnection);
    if (!opened) {
        QString reason;
        serial->lastOpenError(&reason);
        if (error)
            *error = QStringLiteral("cannot open serial port %1: %2").arg(port, reason);
        return false;
    }

    m_pending = Pending::Open;
    m_accepted = false;
    m_reportedChannels = 0;
    m_waiting = true;
    send(contextProtocol::buildDeviceOpen());
    waitForAnswer(ResponseTimeoutMs);
    m_pending = Pending::None;
    m_waiting = false;
    if (!m_accepted) {
        QMetaObject::invokeMethod(
            serial, [serial] { serial->serialSocketClose(); }, Qt::BlockingQueuedConnection);
        if (error)
            *error = m_reportedChannels != 0
                ? QStringLiteral(
                      "the device on %1 reports %2 channels; only the two-channel RCAN-U01 is "
                      "supported")
                      .arg(port)
                      .arg(int(m_reportedChannels))
                : QStringLiteral("the device on %1 did not answer the open command").arg(port);
        return false;
    }
    m_open = true;
    return true;
}

bool AdapterSession::startChannel(uchar channel, quint32 timingCode, QString *error)
{
    if (!m_open || (channel != 1 && channel != 2) || timingCode == 0) {
        if (error)
            *error = QStringLiteral("channel %1 cannot be started").arg(int(channel));
        return false;
    }
    m_pending = Pending::BaudConfig;
    m_pendingChannel = channel;
    m_accepted = false;
    m_waiting = true;
    send(contextProtocol::buildBaudRateConfig(channel, littleEndian(timingCode)));
    const bool answered = waitForAnswer(ResponseTimeoutMs);
    m_pending = Pending::None;
    m_waiting = false;
    if (answered && m_accepted) {
        m_running[channel - 1] = true;
        return true;
    }
    if (error)
        *error = answered ? QStringLiteral("channel %1 refused the bit rate").arg(int(channel))
                          : QStringLiteral("the adapter did not answer the bit rate of channel %1")
                                .arg(int(channel));
    return false;
}

void AdapterSession::close(int budgetMs)
{
    if (!m_open)
        return;
    const QDeadlineTimer deadline(budgetMs);
    for (uchar channel : { uchar(1), uchar(2) }) {
        if (m_running[channel - 1])
            send(contextProtocol::buildBaudRateConfig(channel, littleEndian(0)));
        m_running[channel - 1] = false;
    }
    // The adapter handles commands in order: once the close is answered, the stops are done.
    m_pending = Pending::Close;
    m_waiting = true;
    for (int attempt = 0; attempt < CloseTries && m_waiting && !deadline.hasExpired(); ++attempt) {
        send(contextProtocol::buildDeviceClose());
        waitForAnswer(int(qMin<qint64>(CloseRetryMs, deadline.remainingTime())));
    }
    m_pending = Pending::None;
    m_waiting = false;
    SerialControl *serial = SerialControl::instance();
    QMetaObject::invokeMethod(
        serial, [serial] { serial->serialSocketClose(); }, Qt::BlockingQueuedConnection);
    m_open = false;
}

bool AdapterSession::timingCodeFor(const QString &rate, quint32 *code)
{
    QString text = rate.trimmed().toLower();
    if (text.startsWith(QLatin1String("0x"))) {
        bool ok = false;
        const quint32 raw = text.mid(2).toUInt(&ok, 16);
        if (!ok || raw == 0)
            return false;
        *code = raw;
        return true;
    }
    int scale = 1;
    if (text.endsWith(QLatin1String("kbps")))
        text.chop(4);
    else if (text.endsWith(QLatin1Char('k')))
        text.chop(1);
    else if (text.endsWith(QLatin1Char('m'))) {
        text.chop(1);
        scale = 1000;
    }
    bool ok = false;
    const int kbps = text.toInt(&ok) * scale;
    if (!ok || kbps <= 0)
        return false;
    for (const BitTiming::StandardRate &standard : BitTiming::StandardRates) {
        if (standard.kbps == kbps) {
            *code = standard.code;
            return true;
        }
    }
    const quint32 calculated = calculatedTimingCode(kbps);
    if (calculated == 0)
        return false;
    *code = calculated;
    return true;
}

quint32 AdapterSession::calculatedTimingCode(int kbps)
{
    const QVector<BitTiming::Candidate> candidates = BitTiming::candidatesFor(kbps);
    return candidates.isEmpty() ? 0 : candidates.constFirst().regsCode();
}
