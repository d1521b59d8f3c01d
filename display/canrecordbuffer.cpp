#include "canrecordbuffer.h"

void CanRecordBuffer::append(const CanRecord &record)
{
    const int end = m_offset + m_size;
    if (end == m_blocks.size() * BlockSize)
        m_blocks.append(std::make_shared<Block>());
    // The last block is shared with copies only up to their own size, so writing past it in place
    // changes nothing they see.
    m_blocks.constLast()->records[std::size_t(end % BlockSize)] = record;
    ++m_size;
}

void CanRecordBuffer::appendBlock(const CanRecordList &records)
{
    for (const CanRecord &record : records)
        append(record);
}

void CanRecordBuffer::removeFirst(int count)
{
    count = qMin(count, m_size);
    if (count <= 0)
        return;
    m_size -= count;
    m_first += count;
    m_offset += count;
    const int whole = m_size == 0 ? m_blocks.size() : m_offset / BlockSize;
    if (whole > 0) {
        m_blocks.erase(m_blocks.begin(), m_blocks.begin() + whole);
        m_offset = m_size == 0 ? 0 : m_offset - whole * BlockSize;
    }
}

void CanRecordBuffer::clear()
{
    m_blocks.clear();
    m_first += m_size;
    m_offset = 0;
    m_size = 0;
}

CanRecordView::CanRecordView(const CanRecordList &newestFirst)
    : m_count(newestFirst.size())
{
    for (int i = newestFirst.size() - 1; i >= 0; --i)
        m_records.append(newestFirst.at(i));
}

CanRecordView::CanRecordView(const CanRecordBuffer &records, int count)
    : m_records(records)
    , m_count(qBound(0, count, records.size()))
{
}

CanRecordView::CanRecordView(const CanRecordBuffer &records,
                             std::shared_ptr<const std::vector<qint64>> numbers)
    : m_records(records)
    , m_numbers(std::move(numbers))
    , m_count(m_numbers ? int(m_numbers->size()) : 0)
{
}
