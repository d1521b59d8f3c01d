#pragma once

// The 13-byte CAN frame record exchanged with the adapter and its parsed view.
// Every value here travels by copy in queued signals; nothing owns a resource.

#include <QByteArray>
#include <QtGlobal>

namespace CanFrame {
constexpr int Size = 13;           // info byte, 4 identifier bytes, 8 data bytes
constexpr int InfoOffset = 0;
constexpr int IdOffset = 1;
constexpr int DataOffset = 5;
constexpr int DataSize = 8;
constexpr quint8 CANFRAME_EXTENDED = 0x80;
constexpr quint8 CANFRAME_REMOTE = 0x40;
constexpr quint8 DlcMask = 0x0F;
constexpr int MaxDlc = 8;
constexpr int FrameTypeStandard = 0;
constexpr int FrameTypeExtended = 128;
constexpr int FrameFormatData = 0;
constexpr int FrameFormatRemote = 64;
constexpr quint32 MaxStandardId = 0x7FF;
constexpr quint32 MaxExtendedId = 0x1FFFFFFF;
} // namespace CanFrame

class CanFrameInfo
{
public:
    CanFrameInfo() = default;
    explicit CanFrameInfo(const QByteArray &canFrame) { parse(canFrame); }

    // Never fails: missing bytes read as zero, a DLC above 8 yields extra zero bytes.
    void parse(const QByteArray &canFrame);

    int remote() const { return m_remote; }
    int extended() const { return m_extended; }
    uchar dlc() const { return m_dlc; }
    quint32 id() const { return m_id; }

    QByteArray data;

private:
    int m_remote = 0;
    int m_extended = 0;
    uchar m_dlc = 0;
    quint32 m_id = 0;
};
