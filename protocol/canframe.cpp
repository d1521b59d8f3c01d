#include "canframe.h"

void CanFrameInfo::parse(const QByteArray &canFrame)
{
    const int size = canFrame.size();
    const quint8 info = size > 0 ? static_cast<quint8>(canFrame.at(CanFrame::InfoOffset)) : 0;
    m_remote = info & CanFrame::CANFRAME_REMOTE;
    m_extended = info & CanFrame::CANFRAME_EXTENDED;
    m_dlc = info & CanFrame::DlcMask;

    m_id = 0;
    if (size >= CanFrame::DataOffset) {
        for (int i = 3; i >= 0; --i)
            m_id = (m_id << 8) | static_cast<quint8>(canFrame.at(CanFrame::IdOffset + i));
    }

    data = QByteArray(m_dlc, '\0');
    const int available = qBound(0, size - CanFrame::DataOffset, int(m_dlc));
    for (int i = 0; i < available; ++i)
        data[i] = canFrame.at(CanFrame::DataOffset + i);
}
