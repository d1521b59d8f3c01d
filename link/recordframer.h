#pragma once

// Cuts the adapter's byte stream into whole 20-byte records. While the stream is aligned it
// passes every 20-byte block through untouched (unknown records included, the decoder skips
// them). When a block boundary no longer starts a record, it drops bytes only up to the next
// position that does, so a lost or inserted byte costs at most the record it damaged.

#include <QByteArray>

class RecordFramer
{
public:
    // Appends raw bytes and moves every whole, aligned record into out (replacing its content).
    // Returns the number of records produced.
    int feed(const char *bytes, int length, QByteArray &out);
    int feed(const QByteArray &bytes, QByteArray &out) { return feed(bytes.constData(), bytes.size(), out); }

    void clear();
    int pendingBytes() const { return m_buffer.size() - m_head; }
    qint64 discardedBytes() const { return m_discarded; }

    // A record start that a resynchronising search may lock onto: a known key with sane fields.
    static bool isPlausibleRecord(const char *r);

private:
    bool markOrEndAt(int pos) const;
    bool blockIntact(int pos) const;
    int findResyncPoint(int from) const;

    QByteArray m_buffer;
    int m_head = 0;
    qint64 m_discarded = 0;
    bool m_synced = false; // false until a record start has been found after open or damage
};
