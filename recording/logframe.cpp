#include "logframe.h"

#include "protocol/canframe.h"

LogFrame LogFrame::fromDevice(
    uchar channel, const QByteArray &CanFrame, uint TimeStamp, uint dir, qint64 hostTimeUs)
{
    LogFrame frame;
    frame.hostTimeUs = hostTimeUs;
    frame.timeStamp = TimeStamp;
    frame.channel = channel;
    frame.dir = dir != 0 ? 1 : 0;
    const int size = CanFrame.size();
    const auto byteAt = [&](int i) { return i < size ? quint8(CanFrame.at(i)) : quint8(0); };
    frame.info = byteAt(CanFrame::InfoOffset);
    for (int i = 3; i >= 0; --i)
        frame.id = (frame.id << 8) | byteAt(CanFrame::IdOffset + i);
    for (int i = 0; i < 8; ++i)
        frame.data[i] = byteAt(CanFrame::DataOffset + i);
    return frame;
}

QByteArray LogFrame::toDeviceFrame() const
{
    QByteArray bytes(CanFrame::Size, '\0');
    bytes[CanFrame::InfoOffset] = char(info);
    for (int i = 0; i < 4; ++i)
        bytes[CanFrame::IdOffset + i] = char((id >> (8 * i)) & 0xFF);
    for (int i = 0; i < 8; ++i)
        bytes[CanFrame::DataOffset + i] = char(data[i]);
    return bytes;
}
