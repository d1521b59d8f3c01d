#pragma once

// Cuts the adapter's byte stream into whole 20-byte records.
//
// The adapter sends fixed 20-byte records that start with FF, so where the records begin (the
// phase) is a hypothesis that the stream keeps confirming or refuting, never a fact decided on
// one block. A boundary counts as a record start when it holds FF and a sane header (known key,
// channel 1 or 2, sane fields). FF followed by a key the decoder does not know (newer firmware
// may interleave records of its own with the frames) is a record start on the established
// phase; while a phase is sought it neither confirms nor refutes one, so a stream dense with such
// records still shows its phase, and marks alone never make one.
//
//  - Locked: every 20-byte block at the phase is passed on as it stands, unknown or damaged
//    records included (the decoder skips those alone), while the next boundary starts a record.
//    One boundary without a record start is no evidence: when the two boundaries after it start
//    records, the odd block was an aligned record the decoder does not know, and costs nothing
//    else.
//  - Two consecutive boundaries without a record start refute the phase. The new one must be a
//    record start within 19 bytes of the failed boundary or of the one after it (the damage may
//    lie in this block or in the next record), confirmed by two more among the next boundaries
//    (three starts on one phase: a payload posing as a header has to repeat at the same place in
//    three records to pass). Of those, the one borne out best over the next five boundaries
//    wins: the most record starts, then frames whose time stamps move forward, as the adapter's
//    one clock makes them (a payload posing as a header carries none), then the fewest bytes
//    lost or gained that explain the move. Five boundaries are about 100 bytes, 2 ms of the real
//    link; a longer window would only hold every decision back for longer. The block before the
//    failed boundary cannot be vouched for and is dropped (bytes lost or gained in it look like
//    stray bytes after it), unless the move is to more than half a record past the boundary:
//    then the record there lost or gained bytes and this block is whole.
//  - Out of sync (after open, clear, or damage that nothing nearby explains): the first record
//    start that two more among the next boundaries confirm, or a better borne out one within 20
//    bytes of it.
//
// Answers to the host's commands (open, bit rate, send, close) get special care: someone waits
// for each, often on a link that carries nothing else, and an adapter may put one into the
// middle of a record it is streaming (the record goes on after the answer), or send one
// followed by a cut record or stray bytes. The host tells the framer which answers it awaits.
// Such an answer is passed as soon as its 20 bytes are in: on the phase, whatever follows it;
// when it begins a read less than a record past the bytes not yet decided on, it is taken out
// of the stream, so that the first part of a record it interrupted meets the rest, while stray
// bytes before it are dropped and the records go on after it. Otherwise it is taken out of a
// broken record, whose two halves are joined again, or saved from the bytes a re-lock throws
// away. Bytes that arrived before the command went out are not searched. An answer nobody
// awaits is no evidence for a phase (payloads reading FF 0F ... would otherwise always pass as
// a close answer) until the link goes quiet, but an aligned one is passed on like any other
// record.
//
// When the bytes a decision needs have not arrived, the framer holds at most MaxHeldBytes;
// flush() decides on them with what is there, for a link that has gone quiet (records nobody
// awaits wait for that). Past the received data every boundary then looks like a record start,
// so it vouches only for a block that begins with the mark itself: a whole record followed by a
// few stray bytes is passed, stray bytes followed by a record move the phase to that record.

#include <QByteArray>

class RecordFramer
{
public:
    // A block, a start up to 39 bytes past it and the five boundaries that bear it out.
    static constexpr int MaxHeldBytes = 8 * 20;

    // Appends raw bytes and moves every whole record it can decide on into out (replacing its
    // content). Returns the number of records produced.
    int feed(const char *bytes, int length, QByteArray &out);
    int feed(const QByteArray &bytes, QByteArray &out)
    {
        return feed(bytes.constData(), bytes.size(), out);
    }
    // Decides on the held bytes as if the stream ended where the received data ends.
    int flush(QByteArray &out);

    // The host sent a command: its answer (record code) may arrive out of place.
    void expectAnswer(quint8 code);

    void clear();
    int pendingBytes() const { return m_buffer.size() - m_head; }
    qint64 discardedBytes() const { return m_discarded; }
    bool isSynced() const { return m_synced; }

    // A record a phase may rest on: a known key with sane fields.
    static bool isPlausibleRecord(const char *r);

private:
    enum class Seen { No, Yes, Marked, Later };
    static constexpr int ReadStartsKept = 4;

    int process(bool final, QByteArray &out);
    Seen startAt(int pos, bool final, bool whole = true) const;
    Seen chainAt(int pos, int boundaries, bool final, bool onGrid = false) const;
    bool markedAt(int pos) const;
    int scoreAt(int pos, bool final) const;
    bool expectedAnswerAt(int pos) const;
    bool wholeAnswerAt(int pos) const;
    void put(const char *record, QByteArray &out);
    bool joinAroundAnswer(int x, QByteArray &out);
    int rescueAnswers(int from, int to, int end, QByteArray &out);
    // Each returns false when it must wait for more bytes; pos moves past what it decided on.
    bool stepLocked(int &pos, bool final, QByteArray &out);
    Seen holdsAfterOddBlock(int &pos, bool final, QByteArray &out);
    bool relock(int &pos, bool final, QByteArray &out);
    bool stepSearching(int &pos, bool final, QByteArray &out);
    bool takeAnswerStartingRead(int &pos, QByteArray &out);

    QByteArray m_buffer;
    int m_head = 0;
    int m_records = 0;
    qint64 m_discarded = 0;
    bool m_synced = false; // false until a phase has been found after open, clear or damage
    quint8 m_expected[16] = {}; // answers awaited, by record code
    qint64 m_awaitedFrom[16] = {}; // from which received byte on each may come
    qint64 m_fed = 0; // bytes received since construction
    qint64 m_readStarts[ReadStartsKept] = { -1, -1, -1, -1 }; // where the last reads began
    int m_nextReadStart = 0;
};
