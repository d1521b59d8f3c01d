#include "asclogcodec.h"

#include <QDateTime>
#include <QList>

#include <limits>

using namespace LogText;

namespace {
const char *const Weekdays[] = { "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun" };
const char *const Months[]
    = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

int monthNumber(const QByteArray &name)
{
    for (int i = 0; i < 12; ++i) {
        if (name.compare(Months[i], Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    // German names that differ from the English ones.
    static const QList<QPair<QByteArray, int>> german
        = { { "M\xC3\xA4r", 3 }, { "Mrz", 3 }, { "Mai", 5 }, { "Okt", 10 }, { "Dez", 12 } };
    for (const auto &entry : german) {
        if (name.compare(entry.first, Qt::CaseInsensitive) == 0)
            return entry.second;
    }
    return 0;
}

bool startsWithNoCase(const char *begin, const char *end, const char *word)
{
    const char *p = begin;
    for (; *word; ++word, ++p) {
        if (p >= end)
            return false;
        char c = *p;
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != *word)
            return false;
    }
    return true;
}
} // namespace

QByteArray AscLogCodec::dateText(qint64 us)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(us / 1000, Qt::LocalTime);
    const QDate date = local.date();
    const QTime time = local.time();
    QByteArray out;
    out += Weekdays[date.dayOfWeek() - 1];
    out += ' ';
    out += Months[date.month() - 1];
    out += ' ';
    appendUInt(out, quint64(date.day()));
    out += ' ';
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    appendUInt(out, quint64(hour12), 2, '0');
    out += ':';
    appendUInt(out, quint64(time.minute()), 2, '0');
    out += ':';
    appendUInt(out, quint64(time.second()), 2, '0');
    out += '.';
    appendUInt(out, quint64(time.msec()), 3, '0');
    out += time.hour() < 12 ? " am " : " pm ";
    appendUInt(out, quint64(date.year()));
    return out;
}

bool AscLogCodec::parseDate(const QByteArray &text, qint64 *us)
{
    const QList<QByteArray> words = text.simplified().split(' ');
    // weekday month day time [am|pm] year
    if (words.size() < 5)
        return false;
    const int month = monthNumber(words.at(1));
    bool dayOk = false;
    const int day = words.at(2).toInt(&dayOk);
    const QList<QByteArray> clock = words.at(3).split(':');
    if (month == 0 || !dayOk || clock.size() != 3)
        return false;
    int yearAt = 4;
    int hourShift = -1;
    if (words.at(4).compare("am", Qt::CaseInsensitive) == 0)
        hourShift = 0;
    else if (words.at(4).compare("pm", Qt::CaseInsensitive) == 0)
        hourShift = 12;
    if (hourShift >= 0)
        ++yearAt;
    if (words.size() <= yearAt)
        return false;
    bool ok[4] = {};
    const int year = words.at(yearAt).toInt(&ok[0]);
    int hour = clock.at(0).toInt(&ok[1]);
    const int minute = clock.at(1).toInt(&ok[2]);
    qint64 secondUs = 0;
    ok[3] = parseFixed(clock.at(2).constData(), clock.at(2).constData() + clock.at(2).size(), 6,
                       &secondUs);
    if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || secondUs < 0 || secondUs >= 60000000)
        return false;
    if (hourShift >= 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + hourShift;
    }
    // Years a log can be from; also keeps the microseconds since the epoch far from overflow.
    if (year < 1900 || year > 9999)
        return false;
    const QDate date(year, month, day);
    const QTime time(hour, minute, int(secondUs / 1000000));
    if (!date.isValid() || !time.isValid())
        return false;
    *us = QDateTime(date, time, Qt::LocalTime).toMSecsSinceEpoch() * 1000 + secondUs % 1000000;
    return true;
}

QByteArray AscLogCodec::header(qint64 startUs, int total)
{
    Q_UNUSED(total)
    m_startUs = startUs;
    const QByteArray date = dateText(startUs);
    return "date " + date
        + "\r\nbase hex  timestamps absolute\r\ninternal events logged\r\n"
          "Begin Triggerblock "
        + date + "\r\n   0.000000 Start of measurement\r\n";
}

void AscLogCodec::appendFrame(QByteArray &out,
                              const FileSaveSupport::CAN_StructureDescription &record)
{
    const LogFrame &frame = record.frame;
    appendSeconds(out, qMax<qint64>(0, m_timeline.timeOf(frame) - m_startUs), 11);
    out.append(' ');
    appendUInt(out, frame.channel);
    out.append("  ", 2);
    const int idStart = out.size();
    // The identifier without leading zeros, as Vector's tools write it.
    QByteArray id;
    appendHex(id, frame.id & (frame.isExtended() ? 0x1FFFFFFFu : 0x7FFu), 8);
    int skip = 0;
    while (skip < 7 && id.at(skip) == '0')
        ++skip;
    out.append(id.constData() + skip, 8 - skip);
    if (frame.isExtended())
        out.append('x');
    for (int i = out.size() - idStart; i < 16; ++i)
        out.append(' ');
    out.append(frame.dir != 0 ? "Tx   " : "Rx   ", 5);
    out.append(frame.isRemote() ? "r " : "d ", 2);
    appendHex(out, quint32(frame.dlc()), 1);
    appendDataBytes(out, frame);
    out.append("\r\n", 2);
}

QByteArray AscLogCodec::footer()
{
    return "End TriggerBlock\r\n";
}

LogCodec::Line AscLogCodec::parseLine(const char *begin, const char *end, LogFrame &frame)
{
    Cursor line { begin, end };
    line.skipBlanks();
    if (line.atEnd() || startsWithNoCase(line.p, end, "//"))
        return Line::Skip;
    const QByteArray text = QByteArray::fromRawData(line.p, int(end - line.p));
    if (startsWithNoCase(line.p, end, "date ")) {
        qint64 us = 0;
        if (parseDate(text.mid(5), &us))
            m_startUs = us;
        return Line::Skip;
    }
    if (startsWithNoCase(line.p, end, "base ")) {
        if (startsWithNoCase(line.p, end, "base dec"))
            m_base = 10;
        else if (startsWithNoCase(line.p, end, "base hex"))
            m_base = 16;
        else
            return Line::Bad;
        m_relative = text.simplified().toLower().contains("timestamps relative");
        return Line::Skip;
    }
    if (startsWithNoCase(line.p, end, "begin triggerblock")) {
        qint64 us = 0;
        if (parseDate(text.mid(18).trimmed(), &us))
            m_startUs = us;
        m_clockUs = 0;
        return Line::Skip;
    }
    if (startsWithNoCase(line.p, end, "end triggerblock")
        || startsWithNoCase(line.p, end, "internal events logged")
        || startsWithNoCase(line.p, end, "no internal events logged")) {
        return Line::Skip;
    }

    const char *b = nullptr;
    const char *e = nullptr;
    qint64 timeUs = 0;
    if (!line.nextToken(&b, &e) || !parseFixed(b, e, 6, &timeUs))
        return Line::Bad;
    // "timestamps relative": each event's time is the gap since the event before, frame or not.
    if (m_relative) {
        // Kept within the range a single time may have, however many gaps are added.
        const qint64 limit = std::numeric_limits<qint64>::max() / 4;
        m_clockUs = qBound(-limit, m_clockUs + timeUs, limit);
        timeUs = m_clockUs;
    }
    if (!line.nextToken(&b, &e))
        return Line::Bad;
    if (equalsNoCase(b, e, "canfd"))
        return parseCanFdLine(line, timeUs, frame);
    quint32 channel = 0;
    if (!parseDec(b, e, &channel))
        return Line::Skip; // "Start of measurement", statistics and other events
    const char *idBegin = nullptr;
    const char *idEnd = nullptr;
    if (!line.nextToken(&idBegin, &idEnd))
        return Line::Bad;
    quint32 id = 0;
    bool extended = false;
    const bool idOk = parseId(idBegin, idEnd, &id, &extended);
    if (!line.nextToken(&b, &e))
        return idOk ? Line::Bad : Line::Skip;
    const Line direction = parseDirection(b, e, &frame.dir);
    if (direction != Line::Frame) {
        // "1 ErrorFrame", "1 Statistic: ...", chip states: events that are not frames.
        return idOk || direction == Line::Skip ? direction : Line::Skip;
    }
    if (!idOk || channel == 0 || channel > 255)
        return Line::Bad;

    const char *typeBegin = nullptr;
    const char *typeEnd = nullptr;
    if (!line.nextToken(&typeBegin, &typeEnd) || typeEnd - typeBegin != 1)
        return Line::Bad;
    const bool remote = *typeBegin == 'r' || *typeBegin == 'R';
    if (!remote && *typeBegin != 'd' && *typeBegin != 'D')
        return Line::Bad;
    quint32 dlc = 0;
    Cursor afterType = line;
    if (line.nextToken(&b, &e)) {
        if (!(m_base == 16 ? parseHex(b, e, &dlc) : parseDec(b, e, &dlc)) || dlc > 15) {
            // Older writers give a remote frame no DLC: "Tx r Length = 1704000 BitCount = 44".
            if (!remote)
                return Line::Bad;
            dlc = 0;
            line = afterType;
        }
    } else if (!remote) {
        return Line::Bad;
    }
    frame.hostTimeUs = m_startUs + timeUs;
    frame.channel = quint8(channel);
    frame.id = id;
    frame.info
        = quint8((extended ? LogFrame::Extended : 0) | (remote ? LogFrame::Remote : 0) | dlc);
    // Bytes past the data ("Length = ...", "BitCount = ...") are extra facts some writers add.
    return parseData(line, frame.dataCount(), frame) ? Line::Frame : Line::Bad;
}

bool AscLogCodec::parseId(const char *begin, const char *end, quint32 *id, bool *extended) const
{
    *extended = false;
    if (end - begin > 1 && (end[-1] == 'x' || end[-1] == 'X')) {
        *extended = true;
        --end;
    }
    const bool ok = m_base == 16 ? parseHex(begin, end, id) : parseDec(begin, end, id);
    return ok && *id <= (*extended ? 0x1FFFFFFFu : 0x7FFu);
}

LogCodec::Line AscLogCodec::parseDirection(const char *begin, const char *end, quint8 *dir)
{
    if (equalsNoCase(begin, end, "rx"))
        *dir = 0;
    else if (equalsNoCase(begin, end, "tx"))
        *dir = 1;
    else if (equalsNoCase(begin, end, "txrq"))
        return Line::Skip; // the request to send; its "Tx" line follows when it went out
    else
        return Line::Bad;
    return Line::Frame;
}

bool AscLogCodec::parseData(Cursor &line, int count, LogFrame &frame) const
{
    const char *b = nullptr;
    const char *e = nullptr;
    for (int i = 0; i < count; ++i) {
        quint32 byte = 0;
        if (!line.nextToken(&b, &e)
            || !(m_base == 16 ? parseHex(b, e, &byte) : parseDec(b, e, &byte)) || byte > 0xFF)
            return false;
        frame.data[i] = quint8(byte);
    }
    return true;
}

// "CANFD ch dir id [name] brs esi dlc length data... duration bits flags crc ...": written for
// CAN FD frames, and by newer Vector tools and log2asc -f for classic frames as well, which the
// flags (bit 12 clear) tell apart.
LogCodec::Line AscLogCodec::parseCanFdLine(Cursor &line, qint64 timeUs, LogFrame &frame)
{
    const char *b = nullptr;
    const char *e = nullptr;
    quint32 channel = 0;
    if (!line.nextToken(&b, &e) || !parseDec(b, e, &channel) || channel == 0 || channel > 255)
        return Line::Bad;
    if (!line.nextToken(&b, &e))
        return Line::Bad;
    const Line direction = parseDirection(b, e, &frame.dir);
    if (direction != Line::Frame)
        return direction;
    quint32 id = 0;
    bool extended = false;
    if (!line.nextToken(&b, &e))
        return Line::Bad;
    if (equalsNoCase(b, e, "errorframe"))
        return Line::Skip;
    if (!parseId(b, e, &id, &extended))
        return Line::Bad;
    // An optional symbolic name, then BRS and ESI.
    if (!line.nextToken(&b, &e))
        return Line::Bad;
    if (!(*b >= '0' && *b <= '9') && !line.nextToken(&b, &e))
        return Line::Bad;
    quint32 brs = 0;
    quint32 esi = 0;
    quint32 dlc = 0;
    quint32 length = 0;
    if (!parseDec(b, e, &brs) || brs > 1 || !line.nextToken(&b, &e) || !parseDec(b, e, &esi)
        || esi > 1 || !line.nextToken(&b, &e) || !parseHex(b, e, &dlc) || dlc > 15
        || !line.nextToken(&b, &e) || !parseDec(b, e, &length) || length > 64) {
        return Line::Bad;
    }
    if (length > 8)
        return refuse(canFdRefusal());
    if (!parseData(line, int(length), frame))
        return Line::Bad;
    // Message duration, bit count, then the flags in hex.
    quint32 flags = 0;
    const bool haveFlags = line.nextToken(&b, &e) && line.nextToken(&b, &e)
        && line.nextToken(&b, &e) && parseHex(b, e, &flags);
    const bool fd = haveFlags ? (flags & 0x1000) != 0 : (brs != 0 || esi != 0);
    if (fd)
        return refuse(canFdRefusal());
    const bool remote = haveFlags ? (flags & 0x10) != 0 : (length == 0 && dlc > 0);
    if (!remote && length != quint32(qMin<int>(int(dlc), 8)))
        return Line::Bad;
    frame.hostTimeUs = m_startUs + timeUs;
    frame.channel = quint8(channel);
    frame.id = id;
    frame.info
        = quint8((extended ? LogFrame::Extended : 0) | (remote ? LogFrame::Remote : 0) | dlc);
    return Line::Frame;
}
