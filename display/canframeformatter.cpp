#include "canframeformatter.h"

#include "protocol/canframe.h"

#include <cstring>

namespace {
const char hexUpper[] = "0123456789ABCDEF";
const char hexLower[] = "0123456789abcdef";

inline void putDigits(char *out, uint value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = char('0' + value % 10);
        value /= 10;
    }
}

inline void putDigits(QChar *out, uint value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = QLatin1Char(char('0' + value % 10));
        value /= 10;
    }
}

inline int putNumber(char *out, uint value)
{
    const int width = value >= 100 ? 3 : value >= 10 ? 2 : 1;
    putDigits(out, value, width);
    return width;
}
} // namespace

CanFrameFormatter::CanFrameFormatter()
    : m_std(QStringLiteral("STD"))
    , m_ext(QStringLiteral("EXT"))
    , m_stdRemote(QStringLiteral("STD-R"))
    , m_extRemote(QStringLiteral("EXT-R"))
    , m_rx(QStringLiteral("Rx"))
    , m_tx(QStringLiteral("Tx"))
    , m_lengths(16)
    , m_channels(256)
    , m_idCache(IdCacheSize)
{
    for (int i = 0; i < m_lengths.size(); ++i)
        m_lengths[i] = QString::number(i);
}

QString CanFrameFormatter::timeStampText(uint TimeStamp)
{
    // Seconds with four decimals, the whole part zero-padded to six digits; the largest 32-bit
    // value needs exactly six, so the text is always eleven characters long.
    QString text(11, Qt::Uninitialized);
    QChar *out = text.data();
    putDigits(out, TimeStamp / 10000, 6);
    out[6] = QLatin1Char('.');
    putDigits(out + 7, TimeStamp % 10000, 4);
    return text;
}

QString CanFrameFormatter::systemTimeText(int msecsOfDay)
{
    QString text(12, Qt::Uninitialized);
    QChar *out = text.data();
    const uint ms = uint(msecsOfDay);
    putDigits(out, ms / 3600000 % 24, 2);
    out[2] = QLatin1Char(':');
    putDigits(out + 3, ms / 60000 % 60, 2);
    out[5] = QLatin1Char(':');
    putDigits(out + 6, ms / 1000 % 60, 2);
    out[8] = QLatin1Char('.');
    putDigits(out + 9, ms % 1000, 3);
    return text;
}

QString CanFrameFormatter::frameIdText(quint32 id)
{
    char digits[8];
    int n = 0;
    do {
        digits[n++] = hexLower[id & 0xF];
        id >>= 4;
    } while (id != 0);
    QString text(2 + n, Qt::Uninitialized);
    QChar *out = text.data();
    out[0] = QLatin1Char('0');
    out[1] = QLatin1Char('x');
    for (int i = 0; i < n; ++i)
        out[2 + i] = QLatin1Char(digits[n - 1 - i]);
    return text;
}

QString CanFrameFormatter::dataText(const QByteArray &data)
{
    if (data.isEmpty())
        return QString();
    QString text(data.size() * 3 - 1, Qt::Uninitialized);
    QChar *out = text.data();
    for (int i = 0; i < data.size(); ++i) {
        const uchar byte = uchar(data.at(i));
        if (i > 0)
            *out++ = QLatin1Char(' ');
        *out++ = QLatin1Char(hexUpper[byte >> 4]);
        *out++ = QLatin1Char(hexUpper[byte & 0xF]);
    }
    return text;
}

QString CanFrameFormatter::channelText(uchar channel)
{
    QString &text = m_channels[channel];
    if (text.isNull())
        text = QString::number(channel);
    return text;
}

QString CanFrameFormatter::cachedFrameIdText(quint32 id)
{
    IdEntry &entry = m_idCache[int(id % IdCacheSize)];
    if (entry.text.isNull() || entry.id != id) {
        entry.id = id;
        entry.text = frameIdText(id);
    }
    return entry.text;
}

CanRecord CanFrameFormatter::recordOf(uchar channel,
                                      const QByteArray &CanFrame,
                                      uint TimeStamp,
                                      uint dir,
                                      int msecsOfDay,
                                      qint64 hostTimeUs)
{
    return CanRecord::fromFrame(LogFrame::fromDevice(channel, CanFrame, TimeStamp, dir, hostTimeUs),
                                msecsOfDay);
}

int CanFrameFormatter::writeField(char *out, const CanRecord &record, Field field)
{
    switch (field) {
    case SystemTime: {
        const uint ms = uint(record.msecsOfDay);
        putDigits(out, ms / 3600000 % 24, 2);
        out[2] = ':';
        putDigits(out + 3, ms / 60000 % 60, 2);
        out[5] = ':';
        putDigits(out + 6, ms / 1000 % 60, 2);
        out[8] = '.';
        putDigits(out + 9, ms % 1000, 3);
        return 12;
    }
    case TimeStamp:
        putDigits(out, record.timeStamp / 10000, 6);
        out[6] = '.';
        putDigits(out + 7, record.timeStamp % 10000, 4);
        return 11;
    case Channel:
        return putNumber(out, record.channel);
    case FrameId: {
        char digits[8];
        int n = 0;
        quint32 id = record.id;
        do {
            digits[n++] = hexLower[id & 0xF];
            id >>= 4;
        } while (id != 0);
        out[0] = '0';
        out[1] = 'x';
        for (int i = 0; i < n; ++i)
            out[2 + i] = digits[n - 1 - i];
        return 2 + n;
    }
    case Type: {
        // A remote frame asks for data and carries none: the type says so, and an "STD" or "EXT"
        // filter still finds it.
        std::memcpy(out, record.isExtended() ? "EXT" : "STD", 3);
        if (!record.isRemote())
            return 3;
        std::memcpy(out + 3, "-R", 2);
        return 5;
    }
    case Direction:
        std::memcpy(out, record.dir != 0 ? "Tx" : "Rx", 2);
        return 2;
    case Length:
        return putNumber(out, uint(record.dlc()));
    case Data: {
        const int dlc = record.dlc();
        if (dlc == 0 || record.isRemote())
            return 0;
        char *p = out;
        for (int i = 0; i < dlc; ++i) {
            const uchar byte = i < 8 ? record.data[i] : 0;
            if (i > 0)
                *p++ = ' ';
            *p++ = hexUpper[byte >> 4];
            *p++ = hexUpper[byte & 0xF];
        }
        return int(p - out);
    }
    }
    return 0;
}

QString CanFrameFormatter::fieldText(const CanRecord &record, Field field)
{
    char text[MaxFieldChars];
    const int n = writeField(text, record, field);
    return n == 0 ? QString() : QString::fromLatin1(text, n);
}

void CanFrameFormatter::appendLogLine(QByteArray &out, const CanRecord &record)
{
    // The log writes a remote frame like a data frame: type STD or EXT, and the DLC's bytes.
    CanRecord line = record;
    line.info &= quint8(~LogFrame::Remote);
    const int start = out.size();
    out.resize(start + 8 * (MaxFieldChars + 1) + 2);
    char *p = out.data() + start;
    for (int f = SystemTime; f <= Data; ++f) {
        // The time of day stands for both time columns in the native log.
        if (f == TimeStamp)
            continue;
        if (f != SystemTime)
            *p++ = ' ';
        p += writeField(p, line, Field(f));
    }
    *p++ = '\r';
    *p++ = '\n';
    out.resize(int(p - out.constData()));
}

void CanFrameFormatter::format(FileSaveSupport::CAN_StructureDescription &texts,
                               const CanRecord &record)
{
    if (record.msecsOfDay != m_lastMsecsOfDay || m_lastSystemTime.isNull()) {
        m_lastMsecsOfDay = record.msecsOfDay;
        m_lastSystemTime = systemTimeText(record.msecsOfDay);
    }
    texts.systemTime = m_lastSystemTime;
    texts.direction = record.dir != 0 ? m_tx : m_rx;
    texts.timeStamp = timeStampText(record.timeStamp);
    texts.channel = channelText(record.channel);
    texts.frameID = cachedFrameIdText(record.id);
    if (record.isRemote())
        texts.canType = record.isExtended() ? m_extRemote : m_stdRemote;
    else
        texts.canType = record.isExtended() ? m_ext : m_std;
    texts.dataLength = m_lengths.at(record.dlc());
    texts.data = fieldText(record, Data);
    texts.frame = record.frame();
}

void CanFrameFormatter::format(FileSaveSupport::CAN_StructureDescription &record,
                               uchar channel,
                               const QByteArray &CanFrame,
                               uint TimeStamp,
                               uint dir,
                               int msecsOfDay)
{
    const LogFrame frame = record.frame;
    format(record, recordOf(channel, CanFrame, TimeStamp, dir, msecsOfDay, 0));
    // The caller's own numbers stay: this call makes texts only.
    record.frame = frame;
}
