#include "serialcontrol.h"

#include "portwatcher.h"
#include "protocol/contextprotocol.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QMetaObject>
#include <QMutexLocker>
#include <QSerialPortInfo>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
constexpr qint64 ReadBufferSize = 20000000;
constexpr int ReadChunk = 64 * 1024;
// A streaming adapter delivers bytes every millisecond or so; this long without any, the framer
// decides on what it held back waiting for the bytes after it.
constexpr int QuietMs = 10;
// A trickle of records (a slow or lightly loaded link) is read in fewer, larger pieces: after a
// small read the thread waits this long before it looks again, so it wakes a few hundred times a
// second instead of once per arriving record. Only while the link carries less than
// GatherBelowRate bytes a second: fast traffic is read as soon as it arrives, whatever the size of
// one read. Nor shortly after a command went out, whose answer someone waits for. The port holds
// far more than what arrives meanwhile.
constexpr qint64 GatherBelowBytes = 1024;
constexpr qint64 GatherBelowRate = 200 * 1024;
constexpr int GatherMs = 10;
constexpr int CommandAnswerMs = 200;
constexpr int RateWindowMs = 250;

// Length of the whole command starting at `at`, or 0 when none starts there.
int commandLengthAt(const QByteArray &bytes, int at)
{
    if (quint8(bytes.at(at)) != Wire::CommandMark || at + 1 >= bytes.size())
        return 0;
    int length = 0;
    switch (quint8(bytes.at(at + 1))) {
    case Wire::DeviceOpen:
        length = Wire::DeviceOpenLength;
        break;
    case Wire::BaudRateConfig:
        length = Wire::BaudRateConfigLength;
        break;
    case Wire::DeviceClose:
        length = Wire::DeviceCloseLength;
        break;
    case Wire::CANSend:
        return at + Wire::CANSendLength <= bytes.size() ? Wire::CANSendLength : 0;
    default:
        return 0;
    }
    const bool terminated = at + length <= bytes.size() && bytes.at(at + length - 2) == '\r'
        && bytes.at(at + length - 1) == '\n';
    return terminated ? length : 0;
}
} // namespace

SerialControl *SerialControl::instance()
{
    static SerialControl *serial = new SerialControl;
    return serial;
}

SerialControl::SerialControl()
    : QObject(nullptr)
{
    qRegisterMetaType<QList<QString> *>("QList<QString>*");

    m_port = new QSerialPort;
    m_port->setReadBufferSize(ReadBufferSize);
    qDebug() << "BufferSize:" << m_port->readBufferSize();

    m_quietTimer = new QTimer(this);
    m_quietTimer->setSingleShot(true);
    m_quietTimer->setInterval(QuietMs);
    connect(m_quietTimer, &QTimer::timeout, this, &SerialControl::decideHeldBytes);

    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("serial worker"));
    m_port->moveToThread(m_thread);
    moveToThread(m_thread);
    m_thread->start(QThread::InheritPriority);

    connect(m_port, &QSerialPort::readyRead, this, &SerialControl::On_SerialPort_ReadyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialControl::onPortError);

    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        m_watcher = new PortWatcher(this);
    }
}

bool SerialControl::serialSocketOpen(QString name)
{
    qDebug() << "SerialControl>>Thread-ID:" << QThread::currentThreadId();
    m_framer.clear();
    m_port->setPortName(name);
    m_port->setBaudRate(BaudRate, QSerialPort::AllDirections);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    const bool opened = m_port->open(QIODevice::ReadWrite);
    m_open = opened;
    QMutexLocker lock(&m_configMutex);
    m_openError = opened ? QSerialPort::NoError : m_port->error();
    m_openErrorText = opened ? QString() : m_port->errorString();
    return opened;
}

QSerialPort::SerialPortError SerialControl::lastOpenError(QString *reason) const
{
    QMutexLocker lock(&m_configMutex);
    if (reason)
        *reason = m_openErrorText;
    return m_openError;
}

void SerialControl::serialSocketClose()
{
    if (!m_port->isOpen())
        return;
    // Close runs on the reading thread, so this never actually waits.
    while (busyReading)
        QThread::yieldCurrentThread();
    // Commands written just before (a close at exit) would otherwise be dropped unsent.
    m_port->flush();
    m_port->close();
    m_open = false;
    // Record boundaries count afresh from the first byte after the next open.
    m_framer.clear();
    m_quietTimer->stop();
    emit signal_portClosed();
}

void SerialControl::serialSocketSend(QByteArray message)
{
    if (!m_port->isOpen())
        return;
    m_port->write(message);
    m_sinceCommand.start();
    // Their answers may come out of place in a streaming adapter's records; the framer looks
    // for them.
    for (int at = 0; at + 1 < message.size();) {
        const int length = commandLengthAt(message, at);
        if (length == 0) {
            ++at;
            continue;
        }
        m_framer.expectAnswer(quint8(message.at(at + 1)));
        at += length;
    }
    qDebug().noquote() << QStringLiteral("[SerialSocket:BytesSend]")
            + QString::fromLatin1(message.toHex(' ').toUpper());
}

void SerialControl::On_SerialPort_ReadyRead()
{
    // Take everything the port holds and let the framer hand back whole records only; a
    // partial record, or bytes it needs to see more of, stay with the framer.
    qint64 taken = 0;
    while (m_port->bytesAvailable() > 0) {
        m_readChunk.resize(int(qMin<qint64>(m_port->bytesAvailable(), ReadChunk)));
        const qint64 got = m_port->read(m_readChunk.data(), m_readChunk.size());
        if (got <= 0)
            break;
        taken += got;
        m_framer.feed(m_readChunk.constData(), int(got), m_records);
        decode();
    }
    m_windowBytes += taken;
    if (!m_rateWindow.isValid()) {
        m_rateWindow.start();
    } else if (m_rateWindow.hasExpired(RateWindowMs)) {
        m_slowLink = m_windowBytes * 1000 / m_rateWindow.restart() < GatherBelowRate;
        m_windowBytes = 0;
    }
    if (m_slowLink && taken > 0 && taken < GatherBelowBytes && m_port->isOpen()
        && (!m_sinceCommand.isValid() || m_sinceCommand.hasExpired(CommandAnswerMs)))
        QThread::msleep(GatherMs);
    // Quiet is counted from the last look at the port: bytes that came during the wait above are
    // read before held-back ones are decided on.
    if (m_framer.pendingBytes() >= Wire::RecordSize)
        m_quietTimer->start();
    else
        m_quietTimer->stop();
}

void SerialControl::decideHeldBytes()
{
    if (!m_port->isOpen())
        return;
    m_framer.flush(m_records);
    decode();
}

void SerialControl::decode()
{
    m_discarded = m_framer.discardedBytes();
    if (m_records.isEmpty())
        return;
    busyReading = true;
    contextProtocol::instance()->On_SerialSocket_BytesRecved_Hander(m_records);
    busyReading = false;
}

void SerialControl::onPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port->isOpen())
        return;
    // A vanished device keeps raising read errors in a busy loop while the port stays "open";
    // close it here and let the device panel learn from the port list that it is gone.
    qDebug() << "SerialControl: port error" << error << m_port->errorString();
    m_port->close();
    m_open = false;
    m_framer.clear();
    m_quietTimer->stop();
    emit signal_portClosed();
    if (m_watcher)
        QMetaObject::invokeMethod(m_watcher, &PortWatcher::rebuildNow, Qt::QueuedConnection);
}

QList<SerialPortEntry> SerialControl::systemPorts() const
{
    {
        QMutexLocker lock(&m_configMutex);
        if (m_portSource)
            return m_portSource();
    }
    QList<SerialPortEntry> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append({ info.portName(), info.hasVendorIdentifier(), info.productIdentifier() });
    return ports;
}

QStringList SerialControl::adapterPorts(const QList<SerialPortEntry> &ports)
{
    QStringList names;
    for (const SerialPortEntry &port : ports) {
#ifdef Q_OS_WIN
        if (!port.portName.startsWith(QLatin1Char('C')))
            continue;
#endif
        if (port.hasVendorIdentifier && port.productIdentifier == AdapterProductId)
            names.append(port.portName);
    }
    return names;
}

QStringList SerialControl::availablePorts() const
{
    QStringList names = adapterPorts(systemPorts());
    for (const QString &path : extraPorts()) {
        if (QFileInfo::exists(path) && !names.contains(path))
            names.append(path);
    }
    return names;
}

void SerialControl::addExtraPort(const QString &path)
{
    {
        QMutexLocker lock(&m_configMutex);
        if (!m_extraPorts.contains(path))
            m_extraPorts.append(path);
    }
    updatePortPolling();
}

void SerialControl::removeExtraPort(const QString &path)
{
    {
        QMutexLocker lock(&m_configMutex);
        m_extraPorts.removeAll(path);
    }
    updatePortPolling();
}

QStringList SerialControl::extraPorts() const
{
    QMutexLocker lock(&m_configMutex);
    return m_extraPorts;
}

void SerialControl::setPortSource(std::function<QList<SerialPortEntry>()> source)
{
    {
        QMutexLocker lock(&m_configMutex);
        m_portSource = std::move(source);
    }
    updatePortPolling();
}

bool SerialControl::hasPortSource() const
{
    QMutexLocker lock(&m_configMutex);
    return bool(m_portSource);
}

bool SerialControl::portsNeedPolling() const
{
    QMutexLocker lock(&m_configMutex);
    return !m_extraPorts.isEmpty() || m_portSource;
}

void SerialControl::updatePortPolling()
{
    if (m_watcher)
        QMetaObject::invokeMethod(m_watcher, &PortWatcher::updatePolling, Qt::QueuedConnection);
}

void SerialControl::refreshPortList()
{
    m_portList = availablePorts();
    emit Signal_Host_SerialRefresh(&m_portList);
}

void SerialControl::refreshPortListIfChanged()
{
    const QStringList current = availablePorts();
    if (current == m_portList)
        return;
    m_portList = current;
    emit Signal_Host_SerialRefresh(&m_portList);
}

bool SerialControl::nativeEventFilter(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(eventType)
    Q_UNUSED(result)
#ifdef Q_OS_WIN
    const MSG *msg = static_cast<const MSG *>(message);
    if (msg->message != WM_DEVICECHANGE || (msg->wParam & ~WPARAM(0x4)) != 0x8000)
        return false;
    refreshPortList();
#else
    Q_UNUSED(message)
#endif
    return false;
}

qint64 SerialControl::discardedBytes() const
{
    return m_discarded;
}

bool SerialControl::isOpen() const
{
    return m_open;
}
