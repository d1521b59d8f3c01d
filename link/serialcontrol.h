#pragma once

// The program's one serial port to the adapter, run on a worker thread of its own. Opens and
// closes the port for the device panel, writes every command, frames the incoming bytes into
// whole records for the codec, and publishes the list of adapter ports on hot-plug.

#include "recordframer.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <QMutex>

#include <atomic>
#include <functional>

class QThread;
class QTimer;
class PortWatcher;

// What the port list needs to know of one serial port; lets tests inject ports.
struct SerialPortEntry
{
    QString portName;
    bool hasVendorIdentifier = false;
    quint16 productIdentifier = 0;
};

Q_DECLARE_METATYPE(SerialPortEntry)

class SerialControl : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    static constexpr quint16 AdapterProductId = 0x5722;
    static constexpr qint32 BaudRate = 460800;

    static SerialControl *instance();

    // The one place that builds the port list: adapters found by product identifier, then the
    // extra ports the user named whose device node still exists.
    QStringList availablePorts() const;
    static QStringList adapterPorts(const QList<SerialPortEntry> &ports);

    // Extra serial device paths without USB identifiers (a virtual adapter, --port PATH).
    void addExtraPort(const QString &path);
    void removeExtraPort(const QString &path);
    QStringList extraPorts() const;
    // True when a port may come or go unannounced by the hot-plug monitor: pseudo-terminals and
    // ports named by hand, or a port list supplied from outside.
    bool portsNeedPolling() const;
    bool hasPortSource() const;

    // Replaces the system's port enumeration; for tests without hardware.
    void setPortSource(std::function<QList<SerialPortEntry>()> source);

    // Rebuilds the member list and emits Signal_Host_SerialRefresh. GUI thread only.
    void refreshPortList();
    // Same, but emits only when the list differs from the last one published. GUI thread only.
    void refreshPortListIfChanged();

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

    // Read-only peeks for diagnostics and tests; safe from any thread.
    qint64 discardedBytes() const;
    bool isOpen() const;
    // Why the last serialSocketOpen failed (NoError once one succeeded), with the system's
    // text in `reason`; the device panel tells the user. Safe from any thread.
    QSerialPort::SerialPortError lastOpenError(QString *reason = nullptr) const;

signals:
    void SerialSocket_BytesReceived(QByteArray &message);
    void Signal_Host_SerialRefresh(QList<QString> *portList);
    // The port closed, by request or because the device went away; sends can no longer arrive.
    void signal_portClosed();

public slots:
    bool serialSocketOpen(QString name);
    void serialSocketClose();
    void serialSocketSend(QByteArray message);

private:
    SerialControl();
    void On_SerialPort_ReadyRead();
    void decideHeldBytes();
    void decode();
    void onPortError(QSerialPort::SerialPortError error);
    QList<SerialPortEntry> systemPorts() const;

    QThread *m_thread = nullptr;
    QSerialPort *m_port = nullptr;
    QList<QString> m_portList;
    bool busyReading = false;

    RecordFramer m_framer;
    QElapsedTimer m_sinceCommand; // since the last bytes written
    QElapsedTimer m_rateWindow; // bytes read in the current window, to tell a slow link
    qint64 m_windowBytes = 0;
    bool m_slowLink = false;
    QTimer *m_quietTimer = nullptr; // decides on bytes the framer held once the link goes quiet
    QByteArray m_readChunk;
    QByteArray m_records;
    std::atomic<qint64> m_discarded { 0 };
    std::atomic<bool> m_open { false };

    mutable QMutex m_configMutex; // guards the extra ports, the port source and the open error
    QStringList m_extraPorts;
    std::function<QList<SerialPortEntry>()> m_portSource;
    QSerialPort::SerialPortError m_openError = QSerialPort::NoError;
    QString m_openErrorText;

    PortWatcher *m_watcher = nullptr;
    void updatePortPolling();
};
