#include "contextprotocol.h"

#include "canframe.h"
#include "link/serialcontrol.h"

#include <QDebug>
#include <cstring>

contextProtocol *contextProtocol::instance()
{
    static contextProtocol *codec = new contextProtocol;
    return codec;
}

contextProtocol::contextProtocol()
    : QObject(nullptr)
{
    SerialControl *serial = SerialControl::instance();
    moveToThread(serial->thread());
    connect(serial, &SerialControl::SerialSocket_BytesReceived,
            this, &contextProtocol::On_SerialSocket_BytesRecved_Hander);
}

QByteArray contextProtocol::buildDeviceOpen()
{
    return QByteArray::fromRawData("\xF0\x01\x0D\x0A", 4);
}

QByteArray contextProtocol::buildBaudRateConfig(uchar channel, QByteArray value)
{
    QByteArray out;
    out.reserve(5 + value.size());
    out.append(char(Wire::CommandMark));
    out.append(char(Wire::BaudRateConfig));
    out.append(char(channel));
    out.append(value);
    out.append("\r\n", 2);
    return out;
}

QByteArray contextProtocol::buildCanSend(uchar channel, QByteArray frame, quint32 rank)
{
    QByteArray out;
    out.reserve(Wire::CANSendLength);
    out.append(char(Wire::CommandMark));
    out.append(char(Wire::CANSend));
    out.append(char(channel));
    out.append(frame);
    Wire::appendU32(out, rank);
    return out;
}

QByteArray contextProtocol::buildDeviceClose()
{
    return QByteArray::fromRawData("\xF0\x0F\x0D\x0A", 4);
}

QByteArray contextProtocol::buildCanFrame(int format, int type, int dlc, quint32 id,
                                          QByteArray data8)
{
    QByteArray out;
    out.reserve(CanFrame::Size);
    out.append(char(quint8(type | dlc | format)));
    Wire::appendU32(out, id);
    out.append(data8);
    return out;
}

void contextProtocol::On_SerialSocket_BytesRecved_Hander(QByteArray &message)
{
    const int n = message.size() / Wire::RecordSize;
    const char *bytes = message.constData();
    for (int k = 0; k < n; ++k)
        decodeRecord(bytes + k * Wire::RecordSize);
}

void contextProtocol::decodeRecord(const char *r)
{
    if (quint8(r[0]) != Wire::RecordMark)
        return;
    const uchar channel = uchar(r[2]);
    switch (quint8(r[1])) {
    case Wire::DeviceOpen: {
        const char *name = r + 4;
        const int length = int(qstrnlen(name, 15));
        emit signal_RSP_DeviceOpen(uchar(r[2]), uchar(r[3]), QString::fromLatin1(name, length));
        break;
    }
    case Wire::BaudRateConfig:
        emit signal_RSP_BaudRateConfig(channel, Wire::readU32(r + 3) != 0);
        qDebug().noquote() << QStringLiteral("BaudRateConfig:")
                                  + QString::fromLatin1(
                                      QByteArray(r, Wire::RecordSize).toHex(' ').toUpper());
        break;
    case Wire::DeviceStates: {
        // The adapter sends a little-endian IEEE-754 single; read the bits, then reinterpret.
        const quint32 bits = Wire::readU32(r + 5);
        float load = 0.0f;
        std::memcpy(&load, &bits, sizeof load);
        emit signal_REP_DeviceStates(channel, Wire::readU16(r + 3), float(load * 100.0));
        emit signal_REP_ErroCount(channel, Wire::readU32(r + 9));
        break;
    }
    case Wire::CANFrame:
        emit signal_REP_CANFrame(channel, QByteArray(r + 3, CanFrame::Size),
                                 Wire::readU32(r + 16), 0);
        break;
    case Wire::CANSend:
        emit signal_RSP_CANSend(channel, uchar(r[3]), Wire::readU32(r + 4),
                                Wire::readU32(r + 8));
        break;
    case Wire::DeviceClose:
        emit signal_RSP_DeviceClose();
        break;
    default:
        break;
    }
}
