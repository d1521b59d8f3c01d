#include "canframeformatter.h"

#include "protocol/canframe.h"

namespace {
const char hexUpper[] = "0123456789ABCDEF";
const char hexLower[] = "0123456789abcdef";

inline void putDigits(QChar *out, uint value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = QLatin1Char(char('0' + value % 10));
        value /= 10;
    }
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

void CanFrameFormatter::format(FileSaveSupport::CAN_StructureDescription &record,
                               uchar channel,
                               const QByteArray &CanFrame,
                               uint TimeStamp,
                               uint dir,
                               int msecsOfDay)
{
    if (msecsOfDay != m_lastMsecsOfDay || m_lastSystemTime.isNull()) {
        m_lastMsecsOfDay = msecsOfDay;
        m_lastSystemTime = systemTimeText(msecsOfDay);
    }
    record.systemTime = m_lastSystemTime;
    record.direction = dir != 0 ? m_tx : m_rx;
    record.timeStamp = timeStampText(TimeStamp);
    record.channel = channelText(channel);

    // Read in place with the frame view's rules (missing bytes are 0, a DLC above 8 yields zero
    // bytes) instead of building a CanFrameInfo and its byte array for every frame.
    const int size = CanFrame.size();
    const uchar *bytes = reinterpret_cast<const uchar *>(CanFrame.constData());
    const uchar info = size > 0 ? bytes[CanFrame::InfoOffset] : 0;
    quint32 id = 0;
    if (size >= CanFrame::DataOffset) {
        for (int i = 3; i >= 0; --i)
            id = (id << 8) | bytes[CanFrame::IdOffset + i];
    }
    const int dlc = info & CanFrame::DlcMask;
    record.frameID = cachedFrameIdText(id);
    const bool extended = info & CanFrame::CANFRAME_EXTENDED;
    // A remote frame asks for data and carries none: its DLC is shown, no bytes are, and the
    // type says it is remote so a "STD" or "EXT" filter still finds it.
    const bool remote = info & CanFrame::CANFRAME_REMOTE;
    if (remote)
        record.canType = extended ? m_extRemote : m_stdRemote;
    else
        record.canType = extended ? m_ext : m_std;
    record.dataLength = m_lengths.at(dlc);

    if (dlc == 0 || remote) {
        record.data = QString();
        return;
    }
    QString text(dlc * 3 - 1, Qt::Uninitialized);
    QChar *out = text.data();
    for (int i = 0; i < dlc; ++i) {
        const int at = CanFrame::DataOffset + i;
        const uchar byte = at < size ? bytes[at] : 0;
        if (i > 0)
            *out++ = QLatin1Char(' ');
        *out++ = QLatin1Char(hexUpper[byte >> 4]);
        *out++ = QLatin1Char(hexUpper[byte & 0xF]);
    }
    record.data = text;
}
