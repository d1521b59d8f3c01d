#pragma once

// One frame as numbers: what the adapter reported, and the host time it was handled at. The log
// formats that carry numbers rather than the table's texts are written from it, and every log
// reader yields it.

#include <QByteArray>
#include <QtGlobal>

struct LogFrame
{
    static constexpr quint8 Extended = 0x80;
    static constexpr quint8 Remote = 0x40;
    static constexpr quint8 DlcMask = 0x0F;

    qint64 hostTimeUs = 0; // host clock, microseconds since the epoch
    quint32 timeStamp = 0; // device clock, 0.1 ms, wraps at 32 bits
    quint32 id = 0;
    quint8 info = 0; // flags and DLC, as in the adapter's frame record
    quint8 channel = 0;
    quint8 dir = 0; // 0 received, 1 sent
    quint8 data[8] = {};

    bool isExtended() const { return info & Extended; }
    bool isRemote() const { return info & Remote; }
    int dlc() const { return info & DlcMask; }
    // Data bytes a log line carries: none for a remote frame, at most eight.
    int dataCount() const { return isRemote() ? 0 : qMin(dlc(), 8); }

    // Reads the adapter's 13-byte frame record; missing bytes are 0.
    static LogFrame fromDevice(
        uchar channel, const QByteArray &CanFrame, uint TimeStamp, uint dir, qint64 hostTimeUs);
    // The 13-byte frame record the receive path formats.
    QByteArray toDeviceFrame() const;
};
Q_DECLARE_TYPEINFO(LogFrame, Q_PRIMITIVE_TYPE);
