#include "nativelogcodec.h"

#include "display/canframeformatter.h"

#include <QDateTime>

using namespace LogText;

namespace {
constexpr int HalfDayMs = 12 * 3600 * 1000;

bool twoDigits(const char *p, int max, int *value)
{
    if (p[0] < '0' || p[0] > '9' || p[1] < '0' || p[1] > '9')
        return false;
    *value = (p[0] - '0') * 10 + (p[1] - '0');
    return *value <= max;
}

// "hh:mm:ss.zzz".
bool parseTimeOfDay(const char *b, const char *e, int *hour, int *msecsOfDay)
{
    int minute = 0;
    int second = 0;
    quint32 msec = 0;
    if (e - b != 12 || b[2] != ':' || b[5] != ':' || b[8] != '.' || !twoDigits(b, 23, hour)
        || !twoDigits(b + 3, 59, &minute) || !twoDigits(b + 6, 59, &second)
        || !parseDec(b + 9, e, &msec)) {
        return false;
    }
    *msecsOfDay = ((*hour * 60 + minute) * 60 + second) * 1000 + int(msec);
    return true;
}

bool parseOpened(const QByteArray &dateLine, QDateTime *opened)
{
    *opened = QDateTime::fromString(QString::fromLatin1(dateLine.mid(5).trimmed()),
                                    QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return opened->isValid();
}

// A time of day far below the one before means the log ran past midnight.
bool pastMidnight(int before, int now)
{
    return before >= 0 && now < before - HalfDayMs;
}

// A whole-history save is dated when it was written, after its last frame: a last frame later in
// the day than that was recorded the day before.
int lastFrameDay(int lastMsecsOfDay, int openedMsecsOfDay)
{
    return lastMsecsOfDay > openedMsecsOfDay + 1000 ? -1 : 0;
}
} // namespace

QByteArray NativeLogCodec::header(qint64 startUs, int total)
{
    Q_UNUSED(startUs)
    return FileSaveSupport::nativeHeader(total);
}

void NativeLogCodec::appendFrame(QByteArray &out,
                                 const FileSaveSupport::CAN_StructureDescription &record)
{
    const LogFrame &frame = record.frame;
    if (!frame.isRemote()) {
        FileSaveSupport::appendLogLine(out, record);
        return;
    }
    // The table marks a remote frame in its type and shows no bytes; the file's type is STD or
    // EXT, and its data are the DLC's bytes of the record, zeros past the eighth.
    FileSaveSupport::CAN_StructureDescription line = record;
    line.canType = frame.isExtended() ? QStringLiteral("EXT") : QStringLiteral("STD");
    QByteArray data;
    for (int i = 0; i < frame.dlc(); ++i) {
        if (i > 0)
            data.append(' ');
        appendHex(data, i < 8 ? frame.data[i] : 0, 2);
    }
    line.data = QString::fromLatin1(data);
    FileSaveSupport::appendLogLine(out, line);
}

void NativeLogCodec::appendRecord(QByteArray &out, const CanRecord &record)
{
    CanFrameFormatter::appendLogLine(out, record);
}

bool NativeLogCodec::scanLine(const char *begin, const char *end)
{
    // Frame lines are nearly all of the file: their time of day is looked at first, and only that.
    int hour = 0;
    int msecsOfDay = 0;
    if (end - begin >= 12 && (end - begin == 12 || begin[12] == ' ')
        && parseTimeOfDay(begin, begin + 12, &hour, &msecsOfDay)) {
        if (pastMidnight(m_scan.lastMsecsOfDay, msecsOfDay))
            ++m_scan.midnights;
        m_scan.lastMsecsOfDay = msecsOfDay;
        return true;
    }
    Cursor line { begin, end };
    line.skipBlanks();
    const QByteArray text = QByteArray::fromRawData(line.p, int(end - line.p));
    if (text.startsWith("date ")) {
        QDateTime opened;
        ++m_scan.dateLines;
        if (parseOpened(text, &opened))
            m_scan.openedMsecsOfDay = opened.time().msecsSinceStartOfDay();
        return true;
    }
    // Only a whole-history save needs its midnights counted before its first frame is placed.
    if (text.startsWith("base hex timestamps system"))
        return text.contains(" toltal ");
    return true;
}

void NativeLogCodec::endScan()
{
    // Files joined together have several date lines; those keep the guess from the first frame.
    m_scan.found = m_scan.dateLines == 1 && m_scan.lastMsecsOfDay >= 0;
    m_scan.firstDayOffset
        = lastFrameDay(m_scan.lastMsecsOfDay, m_scan.openedMsecsOfDay) - m_scan.midnights;
}

LogCodec::Line NativeLogCodec::parseLine(const char *begin, const char *end, LogFrame &frame)
{
    Cursor line { begin, end };
    line.skipBlanks();
    if (line.atEnd())
        return Line::Skip;
    const QByteArray text = QByteArray::fromRawData(line.p, int(end - line.p));
    if (text.startsWith("date ")) {
        QDateTime opened;
        if (!parseOpened(text, &opened))
            return Line::Bad;
        m_date = opened.date();
        m_openedMsecsOfDay = opened.time().msecsSinceStartOfDay();
        m_dayOffset = 0;
        m_lastMsecsOfDay = -1;
        m_hourKey = NoHour;
        return Line::Skip;
    }
    if (text.startsWith("base hex timestamps system")) {
        m_wholeHistory = text.contains(" toltal ");
        return Line::Skip;
    }
    if (text.startsWith("version "))
        return Line::Skip;

    const char *b = nullptr;
    const char *e = nullptr;
    int hour = 0;
    int msecsOfDay = 0;
    if (!line.nextToken(&b, &e) || !parseTimeOfDay(b, e, &hour, &msecsOfDay))
        return Line::Bad;

    quint32 channel = 0;
    if (!line.nextToken(&b, &e) || !parseDec(b, e, &channel) || channel > 255)
        return Line::Bad;
    quint32 id = 0;
    if (!line.nextToken(&b, &e) || e - b < 3 || b[0] != '0' || b[1] != 'x'
        || !parseHex(b + 2, e, &id)) {
        return Line::Bad;
    }
    if (!line.nextToken(&b, &e))
        return Line::Bad;
    quint8 info = 0;
    if (equalsNoCase(b, e, "ext"))
        info = LogFrame::Extended;
    else if (equalsNoCase(b, e, "ext-r"))
        info = LogFrame::Extended | LogFrame::Remote;
    else if (equalsNoCase(b, e, "std-r"))
        info = LogFrame::Remote;
    else if (!equalsNoCase(b, e, "std"))
        return Line::Bad;
    if (id > ((info & LogFrame::Extended) ? 0x1FFFFFFFu : 0x7FFu))
        return Line::Bad;
    if (!line.nextToken(&b, &e))
        return Line::Bad;
    const bool rx = equalsNoCase(b, e, "rx");
    if (!rx && !equalsNoCase(b, e, "tx"))
        return Line::Bad;
    quint32 dlc = 0;
    if (!line.nextToken(&b, &e) || !parseDec(b, e, &dlc) || dlc > 15)
        return Line::Bad;
    info |= quint8(dlc);

    // A data frame lists as many bytes as its DLC says (zeros past the eighth), a remote frame
    // none.
    const int listed = (info & LogFrame::Remote) ? 0 : int(dlc);
    for (int i = 0; i < listed; ++i) {
        quint32 byte = 0;
        if (!line.nextToken(&b, &e) || e - b != 2 || !parseHex(b, e, &byte))
            return Line::Bad;
        if (i < 8)
            frame.data[i] = quint8(byte);
    }
    if (line.nextToken(&b, &e))
        return Line::Bad;

    if (m_lastMsecsOfDay < 0) {
        // The first frame. A whole-history save that was looked through places it so that its
        // last frame comes before the save; one that was not guesses from the first frame alone.
        // A log written while frames arrive starts at its date line.
        if (m_wholeHistory)
            m_dayOffset = m_scan.found ? m_scan.firstDayOffset
                                       : lastFrameDay(msecsOfDay, m_openedMsecsOfDay);
        else if (pastMidnight(m_openedMsecsOfDay, msecsOfDay))
            m_dayOffset = 1;
    } else if (pastMidnight(m_lastMsecsOfDay, msecsOfDay)) {
        ++m_dayOffset;
    }
    m_lastMsecsOfDay = msecsOfDay;
    // Local time is converted once per hour of the log, not for every frame.
    const int hourKey = m_dayOffset * 24 + hour;
    if (hourKey != m_hourKey) {
        m_hourKey = hourKey;
        m_hourStartMs = QDateTime(m_date.addDays(m_dayOffset), QTime(hour, 0), Qt::LocalTime)
                            .toMSecsSinceEpoch();
    }
    frame.hostTimeUs = (m_hourStartMs + msecsOfDay % 3600000) * 1000;
    frame.channel = quint8(channel);
    frame.id = id;
    frame.info = info;
    frame.dir = rx ? 0 : 1;
    return Line::Frame;
}
