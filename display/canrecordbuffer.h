#pragma once

// Every recorded frame, oldest first, kept in blocks of a fixed number of records. A block is
// allocated whole and only ever filled towards its end, so a copy of the buffer shares every block,
// including the one being filled: the copy sees the records it was taken with, the original keeps
// appending behind them, and neither copies a record. Dropping the oldest records only moves the
// start; a block is freed when no copy holds it any more.

#include "display/canrecord.h"

#include <QVector>

#include <memory>
#include <vector>

class CanRecordBuffer
{
public:
    static constexpr int BlockSize = 10000;

    int size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    void append(const CanRecord &record);
    void appendBlock(const CanRecordList &records);
    // Removes the `count` oldest records.
    void removeFirst(int count);
    void clear();
    const CanRecord &at(int index) const
    {
        Q_ASSERT(index >= 0 && index < m_size);
        const int i = index + m_offset;
        return m_blocks.at(i / BlockSize)->records[std::size_t(i % BlockSize)];
    }
    // Every record ever appended has a number, counted up across removals and clears; the oldest
    // record held has firstNumber().
    qint64 firstNumber() const { return m_first; }
    qint64 endNumber() const { return m_first + m_size; }
    const CanRecord &atNumber(qint64 number) const { return at(int(number - m_first)); }
    bool isSharedWith(const CanRecordBuffer &other) const
    {
        return m_blocks.isSharedWith(other.m_blocks) && m_size == other.m_size
            && m_offset == other.m_offset;
    }

    // Calls f(record) from the oldest record to the newest.
    template<typename F>
    void forEach(F f) const
    {
        for (int i = 0; i < m_size; ++i)
            f(at(i));
    }

    // Calls f(record) from the newest record backwards until it returns false.
    template<typename F>
    void forEachNewestFirst(F f) const
    {
        for (int i = m_size - 1; i >= 0; --i) {
            if (!f(at(i)))
                return;
        }
    }

private:
    struct Block
    {
        // Never resized once made: records already handed out never move.
        std::vector<CanRecord> records = std::vector<CanRecord>(BlockSize);
    };

    QVector<std::shared_ptr<Block>> m_blocks;
    // Index of the oldest record in the first block.
    int m_offset = 0;
    int m_size = 0;
    qint64 m_first = 0;
};

// The rows the table shows, newest first: either the newest records of a buffer copy, or the
// numbers of the records a filter let through. Copying it costs a few reference counts.
class CanRecordView
{
public:
    CanRecordView() = default;
    // All records of `list`, which is newest first; for building a view by hand.
    CanRecordView(const CanRecordList &newestFirst);
    // The newest `count` records of `records`.
    CanRecordView(const CanRecordBuffer &records, int count);
    // The records of `records` numbered in `numbers`, which is oldest first.
    CanRecordView(const CanRecordBuffer &records,
                  std::shared_ptr<const std::vector<qint64>> numbers);

    int size() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    const CanRecord &at(int row) const
    {
        Q_ASSERT(row >= 0 && row < m_count);
        return m_numbers ? m_records.atNumber((*m_numbers)[std::size_t(m_count - 1 - row)])
                         : m_records.at(m_records.size() - 1 - row);
    }
    const CanRecord &first() const { return at(0); }
    const CanRecord &last() const { return at(m_count - 1); }
    const CanRecord &constFirst() const { return first(); }

    // Walks the rows newest first.
    class const_iterator
    {
    public:
        const_iterator(const CanRecordView *view, int row)
            : m_view(view)
            , m_row(row)
        {
        }
        const CanRecord &operator*() const { return m_view->at(m_row); }
        const_iterator &operator++()
        {
            ++m_row;
            return *this;
        }
        bool operator!=(const const_iterator &other) const { return m_row != other.m_row; }

    private:
        const CanRecordView *m_view;
        int m_row;
    };
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, m_count); }
    const CanRecord &constLast() const { return last(); }
    bool isSharedWith(const CanRecordView &other) const
    {
        return m_records.isSharedWith(other.m_records) && m_numbers == other.m_numbers
            && m_count == other.m_count;
    }

private:
    CanRecordBuffer m_records;
    std::shared_ptr<const std::vector<qint64>> m_numbers;
    int m_count = 0;
};
