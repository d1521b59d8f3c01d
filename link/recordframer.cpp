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

// Judges a record header of which only the first `available` bytes have arrived; bytes still to
// come are given values that cannot count against it.
static bool plausiblePrefix(const char *bytes, int available)
{
    if (available >= Wire::RecordSize)
        return RecordFramer::isPlausibleRecord(bytes);
    if (available <= 0)
        return true;
    char header[Wire::RecordSize] = {};
    std::memcpy(header, bytes, size_t(available));
    if (available < 2)
        header[1] = char(Wire::DeviceClose);
    if (available < 3)
        header[2] = 1;
    return RecordFramer::isPlausibleRecord(header);
}

bool RecordFramer::markOrEndAt(int pos) const
{
    return pos >= m_buffer.size() || quint8(m_buffer.at(pos)) == Wire::RecordMark;
}

// An aligned block is passed on when the next block starts with the mark (or has not arrived).
// Otherwise the block is kept only when the damage clearly lies after it: the next record lost
// just its mark, so a plausible key follows directly. Every other case (bytes lost or inserted
// inside this block) drops the block.
bool RecordFramer::blockIntact(int pos) const
{
    const int next = pos + Wire::RecordSize;
    if (markOrEndAt(next))
        return true;
    if (quint8(m_buffer.at(next - 1)) == Wire::RecordMark)
        return false;
    char header[Wire::RecordSize] = {};
    header[0] = char(Wire::RecordMark);
    const int available = qMin(Wire::RecordSize - 1, m_buffer.size() - next);
    std::memcpy(header + 1, m_buffer.constData() + next, size_t(available));
    return plausiblePrefix(header, available + 1)
           && isPlausibleRecord(m_buffer.constData() + pos);
}

// While searching, a position counts only if it holds a sane record and the next record boundary
// carries the mark too (or has not arrived yet); a stray "FF 04" in frame data rarely passes
// both. The record after may be one the decoder does not know: it is still aligned.
int RecordFramer::findResyncPoint(int from) const
{
    const char *data = m_buffer.constData();
    const int last = m_buffer.size() - Wire::RecordSize;
    for (int pos = from; pos <= last; ++pos) {
        if (quint8(data[pos]) == Wire::RecordMark && isPlausibleRecord(data + pos)
            && markOrEndAt(pos + Wire::RecordSize))
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
        if (m_synced) {
            const char *block = m_buffer.constData() + pos;
            if (quint8(block[0]) == Wire::RecordMark && blockIntact(pos)) {
                out.append(block, Wire::RecordSize);
                pos += Wire::RecordSize;
                ++records;
                continue;
            }
            m_synced = false;
            ++pos; // this block is damaged: look for the next record after its first byte
        }
        const int next = findResyncPoint(pos);
        if (next < 0) {
            // Keep only the tail that may still hold the start of a record.
            const int drop = m_buffer.size() - pos - (Wire::RecordSize - 1);
            if (drop > 0)
                pos += drop;
            break;
        }
        pos = next;
        m_synced = true;
    }
    m_discarded += qMax(0, pos - m_head - records * Wire::RecordSize);
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
    m_synced = false;
}
