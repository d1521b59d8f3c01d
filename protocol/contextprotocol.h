#pragma once

// The adapter's wire format in both directions: static builders for host commands and the
// decoder that turns whole 20-byte device records into one typed signal each. Lives on the
// serial worker thread; holds no state of its own.

#include <QByteArray>
#include <QObject>
#include <QString>

namespace Wire {
constexpr int RecordSize = 20;
constexpr quint8 CommandMark = 0xF0;
constexpr quint8 RecordMark = 0xFF;

enum Code : quint8 {
    DeviceOpen = 0x01,
    BaudRateConfig = 0x02,
    DeviceStates = 0x03,
    CANFrame = 0x04,
    CANSend = 0x05,
    DeviceClose = 0x0F,
};

constexpr int DeviceOpenLength = 4;
constexpr int BaudRateConfigLength = 9;
constexpr int CANSendLength = 20;
constexpr int DeviceCloseLength = 4;

inline bool isRecordCode(quint8 code)
{
    return (code >= DeviceOpen && code <= CANSend) || code == DeviceClose;
}

inline quint32 readU32(const char *p)
{
    return quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16
           | quint32(quint8(p[3])) << 24;
}

inline quint16 readU16(const char *p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}

inline void appendU32(QByteArray &out, quint32 v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
    out.append(char((v >> 16) & 0xFF));
    out.append(char((v >> 24) & 0xFF));
}
} // namespace Wire

class contextProtocol : public QObject
{
    Q_OBJECT
public:
    static contextProtocol *instance();

    static QByteArray buildDeviceOpen();
    static QByteArray buildBaudRateConfig(uchar channel, QByteArray value);
    static QByteArray buildCanSend(uchar channel, QByteArray frame, quint32 rank);
    static QByteArray buildDeviceClose();
    static QByteArray buildCanFrame(int format, int type, int dlc, quint32 id, QByteArray data8);

signals:
    void signal_RSP_DeviceOpen(uchar deviceType, uchar channelNums, QString deviceMode);
    void signal_RSP_BaudRateConfig(uchar channel, bool state);
    void signal_REP_DeviceStates(uchar channel, ushort frameSpeed, float prct);
    void signal_REP_ErroCount(uchar channel, uint count);
    void signal_REP_CANFrame(uchar channel, QByteArray CanFrame, uint TimeStamp, uint dir);
    void signal_RSP_CANSend(uchar channel, uchar state, uint Rank, uint TimeStamp);
    void signal_RSP_DeviceClose();

public slots:
    // Decodes every whole record of the batch, in order; trailing bytes are ignored.
    void On_SerialSocket_BytesRecved_Hander(QByteArray &message);

private:
    contextProtocol();
    void decodeRecord(const char *r);
};
