#include "canrecordbuffer.h"

void CanRecordBuffer::append(const CanRecord &record)
{
    if (m_blocks.isEmpty() || m_blocks.constLast().size() >= BlockSize) {
        CanRecordList block;
        block.reserve(BlockSize);
        m_blocks.append(block);
    }
    m_blocks.last().append(record);
    ++m_size;
}

void CanRecordBuffer::appendBlock(const CanRecordList &records)
{
    if (records.size() == BlockSize
        && (m_blocks.isEmpty() || m_blocks.constLast().size() >= BlockSize)) {
        m_blocks.append(records);
        m_size += records.size();
        return;
    }
    for (const CanRecord &record : records)
        append(record);
}

void CanRecordBuffer::removeFirst(int count)
{
    count = qMin(count, m_size);
    while (count > 0) {
        const int front = m_blocks.constFirst().size();
        if (count >= front) {
            m_blocks.removeFirst();
            m_size -= front;
            count -= front;
        } else {
            CanRecordList &block = m_blocks.first();
            block.erase(block.begin(), block.begin() + count);
            m_size -= count;
            count = 0;
        }
    }
}

void CanRecordBuffer::clear()
{
    m_blocks.clear();
    m_size = 0;
}

const CanRecord &CanRecordBuffer::at(int index) const
{
    Q_ASSERT(index >= 0 && index < m_size);
    for (const CanRecordList &block : m_blocks) {
        if (index < block.size())
            return block.at(index);
        index -= block.size();
    }
    Q_UNREACHABLE();
    return m_blocks.constFirst().constFirst();
}
