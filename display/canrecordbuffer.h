#pragma once

// Every recorded frame, oldest first, kept in blocks of a fixed number of records. Dropping the
// oldest block is cheap, and a copy shares the blocks, so a snapshot of the whole history costs no
// per-record work; growing a shared buffer copies only the block being filled.

#include "recording/filesavesupport.h"

#include <QVector>

using CanRecord = FileSaveSupport::CAN_StructureDescription;
using CanRecordList = QVector<CanRecord>;

class CanRecordBuffer
{
public:
    static constexpr int BlockSize = 10000;

    int size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    void append(const CanRecord &record);
    // Appends records in order; a whole block arriving while the last block is full is shared,
    // not copied record by record.
    void appendBlock(const CanRecordList &records);
    // Removes the `count` oldest records.
    void removeFirst(int count);
    void clear();
    const CanRecord &at(int index) const;
    bool isSharedWith(const CanRecordBuffer &other) const
    {
        return m_blocks.isSharedWith(other.m_blocks);
    }

    // Calls f(record) from the oldest record to the newest.
    template<typename F>
    void forEach(F f) const
    {
        for (const CanRecordList &block : m_blocks) {
            for (const CanRecord &record : block)
                f(record);
        }
    }

    // Calls f(record) from the newest record backwards until it returns false.
    template<typename F>
    void forEachNewestFirst(F f) const
    {
        for (int b = m_blocks.size() - 1; b >= 0; --b) {
            const CanRecordList &block = m_blocks.at(b);
            for (int i = block.size() - 1; i >= 0; --i) {
                if (!f(block.at(i)))
                    return;
            }
        }
    }

private:
    QVector<CanRecordList> m_blocks;
    int m_size = 0;
};
