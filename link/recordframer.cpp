#include "recordframer.h"

#include "protocol/canframe.h"
#include "protocol/contextprotocol.h"

#include <cstring>

bool RecordFramer::isPlausibleRecord(const char *r)
{
    if (quint8(r[0]) != Wire::RecordMark)
        return false;
    const quint8 code = quint8(r[1]);
    const quint8 channel = quint8(r[2]);
    switch (code) {
    case Wire::DeviceOpen: {
        // The model name is printable ASCII padded with zeros.
        bool ended = false;
        for (int i = 4; i < 19; ++i) {
            const quint8 c = quint8(r[i]);
            if (c == 0)
                ended = true;
            else if (ended || c < 0x20 || c > 0x7E)
                return false;
        }
        return true;
    }
    case Wire::BaudRateConfig:
    case Wire::DeviceStates:
    case Wire::CANSend:
        return channel == 1 || channel == 2;
    case Wire::CANFrame: {
        const quint8 info = quint8(r[3]);
        return (channel == 1 || channel == 2) && (info & 0x30) == 0
               && (info & CanFrame::DlcMask) <= CanFrame::MaxDlc;
    }
    case Wire::DeviceClose:
        return true;
    default:
        return false;
    }
}

// Checks as much of a record header as has arrived at pos: the mark, a known key and, where
// the key has one, a valid channel and frame info byte.
bool RecordFramer::headerPlausibleAt(int pos) const
{
    const int available = m_buffer.size() - pos;
    if (available <= 0)
        return true;
    if (available >= Wire::RecordSize)
        return isPlausibleRecord(m_buffer.constData() + pos);
    char header[Wire::RecordSize] = {};
    std::memcpy(header, m_buffer.constData() + pos, size_t(available));
    // Bytes not yet received must not count against the header: fill them with neutral values.
    if (available < 3)
        header[2] = 1;
    if (available < 4)
        header[3] = 0;
    if (available < 2)
        header[1] = char(Wire::DeviceClose);
    for (int i = qMax(available, 4); i < 19; ++i)
        header[i] = 0;
    return isPlausibleRecord(header);
}

// An aligned block is passed on when the next block starts with the mark (or has not arrived).
// When it does not, either this block lost a byte (its last byte is then the next record's mark)
// or the damage lies after it; in the latter case a sane block is still good.
bool RecordFramer::blockIntact(int pos) const
{
    const int next = pos + Wire::RecordSize;
    if (next >= m_buffer.size() || quint8(m_buffer.at(next)) == Wire::RecordMark)
        return true;
    if (quint8(m_buffer.at(next - 1)) == Wire::RecordMark && headerPlausibleAt(next - 1))
        return false;
    return isPlausibleRecord(m_buffer.constData() + pos);
}

int RecordFramer::findResyncPoint(int from) const
{
    const char *data = m_buffer.constData();
    const int last = m_buffer.size() - Wire::RecordSize;
    for (int pos = from; pos <= last; ++pos) {
        if (quint8(data[pos]) == Wire::RecordMark && isPlausibleRecord(data + pos)
            && headerPlausibleAt(pos + Wire::RecordSize))
            return pos;
    }
    return -1;
}

int RecordFramer::feed(const char *bytes, int length, QByteArray &out)
{
    out.clear();
    if (length > 0)
        m_buffer.append(bytes, length);

    int records = 0;
    int pos = m_head;
    while (m_buffer.size() - pos >= Wire::RecordSize) {
        const char *block = m_buffer.constData() + pos;
        if (quint8(block[0]) == Wire::RecordMark && blockIntact(pos)) {
            out.append(block, Wire::RecordSize);
            pos += Wire::RecordSize;
            ++records;
            continue;
        }
        const int next = findResyncPoint(pos + 1);
        if (next < 0) {
            // Keep the tail that may still hold the start of a record.
            const int keep = Wire::RecordSize - 1;
            const int drop = m_buffer.size() - pos - keep;
            if (drop > 0) {
                m_discarded += drop;
                pos += drop;
            }
            break;
        }
        m_discarded += next - pos;
        pos = next;
    }
    m_head = pos;

    // Compact once the consumed prefix dominates, so appends stay amortised O(1).
    if (m_head == m_buffer.size()) {
        m_buffer.clear();
        m_head = 0;
    } else if (m_head > 4096 && m_head * 2 > m_buffer.size()) {
        m_buffer.remove(0, m_head);
        m_head = 0;
    }
    return records;
}

void RecordFramer::clear()
{
    m_buffer.clear();
    m_head = 0;
}
