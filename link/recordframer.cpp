#include "recordframer.h"

#include "protocol/canframe.h"
#include "protocol/contextprotocol.h"

#include <cstring>

namespace {
constexpr int Size = Wire::RecordSize;
// Bytes of a boundary needed before it counts as a record start: mark, key, channel, one field.
constexpr int HeaderBytes = 4;
// Boundaries after a candidate start that must start records too before the phase moves there.
constexpr int ConfirmBoundaries = 2;
// Boundaries over which competing record starts are compared.
constexpr int DepthBoundaries = 5;
constexpr int MaxShift = Size - 1;
constexpr quint8 MaxExpected = 8;

bool isAnswer(quint8 code)
{
    return code == Wire::DeviceOpen || code == Wire::BaudRateConfig || code == Wire::CANSend
        || code == Wire::DeviceClose;
}

// Judges a record of which only the first `available` bytes have arrived; bytes still to come
// are given values that cannot count against it.
bool plausiblePrefix(const char *bytes, int available)
{
    if (available >= Size)
        return RecordFramer::isPlausibleRecord(bytes);
    char header[Size] = {};
    std::memcpy(header, bytes, size_t(available));
    if (available < 2)
        header[1] = char(Wire::DeviceClose);
    if (available < 3)
        header[2] = 1;
    return RecordFramer::isPlausibleRecord(header);
}
} // namespace

bool RecordFramer::isPlausibleRecord(const char *r)
{
    if (quint8(r[0]) != Wire::RecordMark)
        return false;
    const quint8 code = quint8(r[1]);
    const quint8 channel = quint8(r[2]);
    const bool channelOk = channel == 1 || channel == 2;
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
    case Wire::CANSend:
        return channelOk;
    case Wire::DeviceStates: {
        // The bus load is a fraction; even an overloaded bus stays far below 16.
        const quint32 bits = Wire::readU32(r + 5);
        float load;
        std::memcpy(&load, &bits, sizeof load);
        return channelOk && load >= 0.0f && load < 16.0f;
    }
    case Wire::CANFrame: {
        // The identifier is left alone: an adapter may well leave bits above it set.
        const quint8 info = quint8(r[3]);
        return channelOk && (info & 0x30) == 0 && (info & CanFrame::DlcMask) <= CanFrame::MaxDlc;
    }
    case Wire::DeviceClose:
        return true;
    default:
        return false;
    }
}

void RecordFramer::expectAnswer(quint8 code)
{
    if (code >= sizeof m_expected || !isAnswer(code) || m_expected[code] >= MaxExpected)
        return;
    // Bytes that arrived before the command went out cannot hold its answer.
    if (m_expected[code]++ == 0)
        m_awaitedFrom[code] = m_fed;
}

// Evidence that a record starts at pos: its header, or with `whole` the whole record. Past the
// received data there is none yet, unless the stream is taken to end there. A mark followed by a
// code the decoder does not know is Marked: a record of a kind newer firmware may send, or a
// payload byte.
RecordFramer::Seen RecordFramer::startAt(int pos, bool final, bool whole) const
{
    const int available = m_buffer.size() - pos;
    if (available <= 0)
        return final ? Seen::Yes : Seen::Later;
    const char *p = m_buffer.constData() + pos;
    if (quint8(p[0]) != Wire::RecordMark)
        return Seen::No;
    if (available >= 2 && !Wire::isRecordCode(quint8(p[1])))
        return Seen::Marked;
    if (available < HeaderBytes && !final)
        return Seen::Later;
    if (!plausiblePrefix(p, qMin(available, whole ? Size : HeaderBytes)))
        return Seen::No;
    // An answer nobody waits for proves nothing about the phase, unless the link has gone quiet
    // and there is nothing else to go by.
    if (available >= 2 && isAnswer(quint8(p[1])) && m_expected[quint8(p[1])] == 0 && !final)
        return Seen::No;
    return Seen::Yes;
}

// A record start at pos followed by record starts at `boundaries` of the boundaries after it.
// On the established grid a marked record counts as a start; elsewhere it neither counts nor
// breaks the chain, so that a stream dense with records of unknown kinds still shows its phase,
// while a phase resting on marks alone does not pass.
RecordFramer::Seen RecordFramer::chainAt(int pos, int boundaries, bool final, bool onGrid) const
{
    int found = 0;
    for (int k = 0; found <= boundaries; ++k) {
        if (k == DepthBoundaries)
            return Seen::No;
        const Seen seen = startAt(pos + k * Size, final);
        if (seen == Seen::Later)
            return seen;
        if (seen == Seen::Yes || (seen == Seen::Marked && onGrid))
            ++found;
        else if (seen == Seen::No || k == 0)
            return Seen::No;
    }
    return Seen::Yes;
}

// On the established phase a block that begins with the mark is a record, whatever its key and
// fields say.
bool RecordFramer::markedAt(int pos) const
{
    return pos < m_buffer.size() && quint8(m_buffer.at(pos)) == Wire::RecordMark;
}

bool RecordFramer::expectedAnswerAt(int pos) const
{
    if (pos < 0 || m_buffer.size() - pos < Size)
        return false;
    const char *r = m_buffer.constData() + pos;
    const quint8 code = quint8(r[1]);
    return quint8(r[0]) == Wire::RecordMark && isAnswer(code) && m_expected[code] > 0
        && m_fed - m_buffer.size() + pos >= m_awaitedFrom[code] && isPlausibleRecord(r);
}

// An awaited answer at pos that may be passed before the bytes after it are in: no record of a
// known kind starts inside it, as one would when the answer lost bytes. One that gained bytes
// cannot be told from one followed by stray bytes, and is passed as it stands.
bool RecordFramer::wholeAnswerAt(int pos) const
{
    if (!expectedAnswerAt(pos))
        return false;
    const char *r = m_buffer.constData() + pos;
    const int available = m_buffer.size() - pos;
    for (int i = 1; i < Size; ++i) {
        if (quint8(r[i]) == Wire::RecordMark
            && (i + 1 >= available || Wire::isRecordCode(quint8(r[i + 1]))))
            return false;
    }
    return true;
}

void RecordFramer::put(const char *record, QByteArray &out)
{
    out.append(record, Size);
    ++m_records;
    const quint8 code = quint8(record[1]);
    if (quint8(record[0]) == Wire::RecordMark && isAnswer(code) && m_expected[code] > 0)
        --m_expected[code];
}

// Answers awaited that start among bytes about to be thrown away, [from, to), and end by `end`.
// Returns where the bytes not yet decided on begin.
int RecordFramer::rescueAnswers(int from, int to, int end, QByteArray &out)
{
    int a = from;
    while (a < to) {
        if (a + Size <= end && expectedAnswerAt(a)) {
            put(m_buffer.constData() + a, out);
            a += Size;
        } else {
            ++a;
        }
    }
    return a;
}

// How well a record start at pos is borne out by what follows: the record starts among the next
// boundaries, and more for frames whose time stamps move forward from one to the next, as the
// adapter's one clock makes them; payload bytes posing as a header carry no such stamps. An
// aligned record the decoder does not know costs its phase one boundary, not the rest.
// -1 when more bytes are needed.
int RecordFramer::scoreAt(int pos, bool final) const
{
    constexpr quint32 MaxStampStep = 100000; // 10 s of device clock
    const char *data = m_buffer.constData();
    int starts = 0;
    int frames = 0;
    int steps = 0;
    quint32 first = 0;
    quint32 last = 0;
    for (int k = 0; k < DepthBoundaries; ++k) {
        const int at = pos + k * Size;
        const Seen seen = startAt(at, final);
        if (seen == Seen::Later)
            return -1;
        if (seen != Seen::Yes)
            continue;
        ++starts;
        if (m_buffer.size() - at < Size || quint8(data[at + 1]) != Wire::CANFrame)
            continue;
        const quint32 stamp = Wire::readU32(data + at + 16);
        if (frames++ == 0)
            first = stamp;
        else if (stamp - last < MaxStampStep)
            ++steps;
        last = stamp;
    }
    const bool moved = last != first && last - first < MaxStampStep;
    return starts * 4 + (moved ? steps * 3 : 0);
}

// An answer put into the middle of the record at x: [x, a) and the bytes after the answer up to
// x + 40 are the two halves of that record. Puts the answer, then the joined record. The last
// candidate wins, since a header-like payload in the record's first half comes before the answer.
bool RecordFramer::joinAroundAnswer(int x, QByteArray &out)
{
    const char *data = m_buffer.constData();
    if (m_buffer.size() < x + 2 * Size)
        return false;
    for (int a = x + Size - 1; a > x; --a) {
        if (!expectedAnswerAt(a))
            continue;
        char joined[Size];
        const int head = a - x;
        std::memcpy(joined, data + x, size_t(head));
        std::memcpy(joined + head, data + a + Size, size_t(Size - head));
        if (!isPlausibleRecord(joined))
            continue;
        put(data + a, out);
        put(joined, out);
        return true;
    }
    return false;
}

bool RecordFramer::stepLocked(int &pos, bool final, QByteArray &out)
{
    const char *data = m_buffer.constData();
    // Someone waits for this one: the bytes after it have nothing to add, and stray bytes there
    // must not cost it.
    if (wholeAnswerAt(pos)) {
        put(data + pos, out);
        pos += Size;
        return true;
    }
    const int next = pos + Size;
    // A link gone quiet vouches only for a block that starts a record itself: past the data
    // every boundary looks like one, and bytes that start none there are better explained by a
    // shift.
    if (!final || markedAt(pos)) {
        // Only the header: damage further into the next record is that record's own business.
        const Seen seen = startAt(next, final, false);
        if (seen == Seen::Yes || seen == Seen::Marked) {
            put(data + pos, out);
            pos = next;
            return true;
        }
        if (seen == Seen::Later)
            return false;
        const Seen held = holdsAfterOddBlock(pos, final, out);
        if (held != Seen::No)
            return held == Seen::Yes;
    }
    return relock(pos, final, out);
}

// One boundary without a record start: the phase holds if the two after it start records. Then
// either the next block is an aligned record the decoder does not know, or an answer was put into
// the middle of this block. Yes when it held (pos moved past what was passed on).
RecordFramer::Seen RecordFramer::holdsAfterOddBlock(int &pos, bool final, QByteArray &out)
{
    const char *data = m_buffer.constData();
    const int next = pos + Size;
    const Seen resumes = chainAt(next + Size, 1, final, true);
    if (resumes == Seen::Later)
        return resumes;
    if (resumes == Seen::Yes) {
        if (joinAroundAnswer(pos, out)) {
            pos = next + Size;
        } else {
            put(data + pos, out);
            pos = next;
        }
        return Seen::Yes;
    }
    // Or an answer was put into the first bytes of the next record, so that its header broke:
    // the phase holds one record later.
    const Seen resumesLater = chainAt(next + 2 * Size, 1, final, true);
    if (resumesLater == Seen::Later)
        return resumesLater;
    if (resumesLater == Seen::Yes && m_buffer.size() >= next + 2 * Size) {
        QByteArray joined;
        if (joinAroundAnswer(next, joined)) {
            put(data + pos, out);
            out.append(joined);
            pos = next + 2 * Size;
            return Seen::Yes;
        }
    }
    return Seen::No;
}

// Two boundaries running without a record: the phase has moved, in this block or in the record
// after it. Of the starts from 19 bytes before the next boundary to 19 bytes past the one after
// it that the next two boundaries confirm, the best borne out wins; on a tie, the one that needs
// the fewest bytes lost or gained to explain it.
bool RecordFramer::relock(int &pos, bool final, QByteArray &out)
{
    const char *data = m_buffer.constData();
    const int next = pos + Size;
    int best = -1;
    int bestScore = -1;
    int bestShift = Size;
    bool phaseTried[Size] = {};
    const int last = qMin(next + Size + MaxShift, m_buffer.size() - 1);
    for (int start = next - MaxShift; start <= last; ++start) {
        // A start one record after another of the same phase adds nothing to it.
        const int phase = (start - next + Size) % Size;
        if (phaseTried[phase])
            continue;
        const Seen candidate = chainAt(start, ConfirmBoundaries, final);
        if (candidate == Seen::Later)
            return false;
        if (candidate == Seen::No)
            continue;
        const int score = scoreAt(start, final);
        if (score < 0)
            return false;
        phaseTried[phase] = true;
        const int shift = qMin(phase, Size - phase);
        if (score > bestScore || (score == bestScore && shift < bestShift)) {
            best = start;
            bestScore = score;
            bestShift = shift;
        }
    }
    if (best < 0) {
        // Nothing nearby explains the stream: search afresh after this block's mark.
        m_synced = false;
        ++pos;
        return true;
    }
    // Lost bytes before the next boundary, or bytes gained (inside this block or after it, which
    // cannot be told apart): this block is dropped, unless someone waits for it. More than half a
    // record past the next boundary, the record there lost or gained a few bytes and this block
    // is whole.
    if (best > next + Size / 2 || (best >= next && expectedAnswerAt(pos)))
        put(data + pos, out);
    pos = best;
    return true;
}

bool RecordFramer::stepSearching(int &pos, bool final, QByteArray &out)
{
    const char *data = m_buffer.constData();
    const int size = m_buffer.size();
    int start = pos;
    Seen seen = Seen::No;
    for (; start + Size <= size; ++start) {
        if (quint8(data[start]) != Wire::RecordMark)
            continue;
        seen = chainAt(start, ConfirmBoundaries, final);
        if (seen != Seen::No)
            break;
    }
    // Bytes that can no longer take part in a lock are given up (answers among them are kept).
    const auto giveUpTo
        = [&](int keepFrom) { pos = rescueAnswers(pos, qMax(pos, keepFrom), size, out); };
    if (start + Size > size) {
        // Keep what may still start a record, and a last whole one for a link that goes quiet.
        giveUpTo(size - (final ? Size - 1 : 2 * Size - 1));
        return false;
    }
    if (seen == Seen::Later) {
        giveUpTo(start - Size);
        return false;
    }

    // Of the starts within a record's length the best borne out wins, the earliest on a tie: a
    // header-like payload in the first, cut record rarely repeats as long as the real records.
    int best = start;
    int bestScore = -1;
    for (int x = start; x < start + Size && x + Size <= size; ++x) {
        if (quint8(data[x]) != Wire::RecordMark)
            continue;
        const int score = scoreAt(x, final);
        if (score < 0) {
            giveUpTo(start - Size);
            return false;
        }
        if (score > bestScore) {
            best = x;
            bestScore = score;
        }
    }
    rescueAnswers(pos, best, best, out);
    pos = best;
    m_synced = true;
    return true;
}

// An awaited answer that begins a read less than a record past pos: on a quiet link it came
// alone, after stray bytes or after the first part of a record it interrupted, so it need not
// wait for what follows. Passes it and takes it out of the stream: a record's first part then
// meets the rest of it; stray bytes (no sane header where they begin) are dropped, and the
// records go on after the answer.
bool RecordFramer::takeAnswerStartingRead(int &pos, QByteArray &out)
{
    const qint64 base = m_fed - m_buffer.size();
    for (const qint64 readStart : m_readStarts) {
        const qint64 a = readStart - base;
        if (a < pos || a >= pos + Size || !wholeAnswerAt(int(a)))
            continue;
        char *data = m_buffer.data();
        const int at = int(a);
        put(data + at, out);
        if (at > pos && plausiblePrefix(data + pos, at - pos)) {
            std::memmove(data + pos + Size, data + pos, size_t(at - pos));
            pos += Size;
        } else {
            pos = at + Size;
            m_synced = true;
        }
        return true;
    }
    return false;
}

int RecordFramer::process(bool final, QByteArray &out)
{
    const int before = m_records;
    int pos = m_head;
    while (m_buffer.size() - pos >= Size) {
        const bool decided
            = m_synced ? stepLocked(pos, final, out) : stepSearching(pos, final, out);
        if (!decided && !takeAnswerStartingRead(pos, out))
            break;
    }
    const int produced = m_records - before;
    m_discarded += qMax(0, pos - m_head - produced * Size);
    m_head = pos;

    // Compact once the consumed prefix dominates, so appends stay amortised O(1).
    if (m_head == m_buffer.size()) {
        m_buffer.clear();
        m_head = 0;
    } else if (m_head > 4096 && m_head * 2 > m_buffer.size()) {
        m_buffer.remove(0, m_head);
        m_head = 0;
    }
    return produced;
}

int RecordFramer::feed(const char *bytes, int length, QByteArray &out)
{
    out.clear();
    if (length > 0) {
        m_readStarts[m_nextReadStart] = m_fed;
        m_nextReadStart = (m_nextReadStart + 1) % ReadStartsKept;
        m_buffer.append(bytes, length);
        m_fed += length;
    }
    return process(false, out);
}

int RecordFramer::flush(QByteArray &out)
{
    out.clear();
    return process(true, out);
}

void RecordFramer::clear()
{
    m_buffer.clear();
    m_head = 0;
    m_synced = false;
    std::memset(m_expected, 0, sizeof m_expected);
    for (qint64 &start : m_readStarts)
        start = -1;
}
