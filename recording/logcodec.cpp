#include "logcodec.h"

#include "recording/asclogcodec.h"
#include "recording/candumplogcodec.h"
#include "recording/nativelogcodec.h"
#include "recording/trclogcodec.h"

#include <QFileInfo>

#include <cstring>
#include <limits>

std::unique_ptr<LogCodec> LogCodec::create(LogFormat format)
{
    switch (format) {
    case LogFormat::Candump:
        return std::make_unique<CandumpLogCodec>(false);
    case LogFormat::CandumpWithDirection:
        return std::make_unique<CandumpLogCodec>(true);
    case LogFormat::Asc:
        return std::make_unique<AscLogCodec>();
    case LogFormat::Trc:
        return std::make_unique<TrcLogCodec>();
    case LogFormat::Native:
        break;
    }
    return std::make_unique<NativeLogCodec>();
}

void LogCodec::appendRecord(QByteArray &out, const CanRecord &record)
{
    FileSaveSupport::CAN_StructureDescription texts;
    texts.frame = record.frame();
    appendFrame(out, texts);
}

QString LogCodec::suffix(LogFormat format)
{
    switch (format) {
    case LogFormat::Candump:
    case LogFormat::CandumpWithDirection:
        return QStringLiteral(".log");
    case LogFormat::Asc:
        return QStringLiteral(".asc");
    case LogFormat::Trc:
        return QStringLiteral(".trc");
    case LogFormat::Native:
        break;
    }
    return QStringLiteral(".txt");
}

bool LogCodec::formatForSuffix(const QString &fileName, LogFormat *format)
{
    return formatForSuffix(fileName, LogFormat::Native, format);
}

bool LogCodec::formatForSuffix(const QString &fileName, LogFormat preferred, LogFormat *format)
{
    const QString suffix = QLatin1Char('.') + QFileInfo(fileName).suffix().toLower();
    if (LogCodec::suffix(preferred) == suffix) {
        *format = preferred;
        return true;
    }
    for (int i = 0; i < FormatCount; ++i) {
        if (LogCodec::suffix(formatAt(i)) == suffix) {
            *format = formatAt(i);
            return true;
        }
    }
    return false;
}

bool LogCodec::detect(const QByteArray &head, LogFormat *format)
{
    using namespace LogText;
    const char *p = head.constData();
    const char *end = p + head.size();
    if (head.startsWith("\xEF\xBB\xBF"))
        p += 3;
    CandumpLogCodec candump;
    int lines = 0;
    while (p < end && lines < 50) {
        const char *eol = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *lineEnd = eol ? eol : end;
        Cursor line { p, lineEnd };
        p = eol ? eol + 1 : end;
        line.skipBlanks();
        while (line.end > line.p && (line.end[-1] == '\r' || line.end[-1] == ' '))
            --line.end;
        if (line.atEnd())
            continue;
        ++lines;
        const QByteArray text = QByteArray::fromRawData(line.p, int(line.end - line.p));
        // PEAK TRC: a version line, or in version 1.0 (which has none) numbers like "12)".
        if (text.startsWith(";$FILEVERSION=") || TrcLogCodec::isVersion1Line(text)) {
            *format = LogFormat::Trc;
            return true;
        }
        if (text.startsWith("base hex timestamps system")) {
            *format = LogFormat::Native;
            return true;
        }
        const QByteArray lower = text.left(20).toLower();
        if (lower.startsWith("begin triggerblock") || lower.startsWith("base hex")
            || lower.startsWith("base dec")) {
            *format = LogFormat::Asc;
            return true;
        }
        LogFrame frame;
        if (candump.parseLine(line.p, line.end, frame) != LogCodec::Line::Bad) {
            *format = LogFormat::Candump;
            return true;
        }
        // Header lines come first in the other formats; a first line that is none of these
        // makes the content no log this program knows, except for the native date line.
        if (!text.startsWith("date ") && !text.startsWith("//") && !text.startsWith(";"))
            return false;
    }
    return false;
}

bool LogCodec::scanLine(const char *begin, const char *end)
{
    Q_UNUSED(begin)
    Q_UNUSED(end)
    return false;
}

QString LogCodec::canFdRefusal()
{
    return QCoreApplication::translate("LogCodec",
                                       "CAN FD 帧：本程序和适配器只处理经典 CAN 帧，无法显示它");
}

namespace LogText {

void appendUInt(QByteArray &out, quint64 value, int width, char pad)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = n; i < width; ++i)
        out.append(pad);
    while (n > 0)
        out.append(digits[--n]);
}

void appendHex(QByteArray &out, quint32 value, int digits)
{
    static const char hex[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i)
        out.append(hex[(value >> (4 * i)) & 0xF]);
}

void appendSeconds(QByteArray &out, qint64 us, int width)
{
    const bool negative = us < 0;
    const quint64 magnitude = quint64(negative ? -us : us);
    QByteArray text;
    if (negative)
        text.append('-');
    appendUInt(text, magnitude / 1000000);
    text.append('.');
    appendUInt(text, magnitude % 1000000, 6, '0');
    for (int i = text.size(); i < width; ++i)
        out.append(' ');
    out.append(text);
}

void appendDataBytes(QByteArray &out, const LogFrame &frame)
{
    for (int i = 0; i < frame.dataCount(); ++i) {
        out.append(' ');
        appendHex(out, frame.data[i], 2);
    }
}

void Cursor::skipBlanks()
{
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
}

bool Cursor::nextToken(const char **begin, const char **tokenEnd)
{
    skipBlanks();
    if (p >= end)
        return false;
    *begin = p;
    while (p < end && *p != ' ' && *p != '\t')
        ++p;
    *tokenEnd = p;
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool parseHex(const char *begin, const char *end, quint32 *value)
{
    if (begin >= end || end - begin > 8)
        return false;
    quint32 v = 0;
    for (const char *p = begin; p < end; ++p) {
        const int digit = hexValue(*p);
        if (digit < 0)
            return false;
        v = (v << 4) | quint32(digit);
    }
    *value = v;
    return true;
}

bool parseDec(const char *begin, const char *end, quint32 *value)
{
    if (begin >= end || end - begin > 9)
        return false;
    quint32 v = 0;
    for (const char *p = begin; p < end; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        v = v * 10 + quint32(*p - '0');
    }
    *value = v;
    return true;
}

bool parseFixed(const char *begin, const char *end, int fractionDigits, qint64 *value)
{
    bool negative = false;
    if (begin < end && *begin == '-') {
        negative = true;
        ++begin;
    }
    qint64 scale = 1;
    for (int i = 0; i < fractionDigits; ++i)
        scale *= 10;
    // A quarter of the range is left, so that sums with a file's start time cannot overflow.
    const qint64 maxWhole = std::numeric_limits<qint64>::max() / 4 / scale;
    qint64 whole = 0;
    const char *p = begin;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        whole = whole * 10 + (*p - '0');
        if (whole > maxWhole)
            return false;
    }
    if (p == begin)
        return false;
    qint64 fraction = 0;
    int digits = 0;
    if (p < end && *p == '.') {
        ++p;
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            if (digits < fractionDigits) {
                fraction = fraction * 10 + (*p - '0');
                ++digits;
            }
        }
    }
    if (p != end)
        return false;
    for (; digits < fractionDigits; ++digits)
        fraction *= 10;
    *value = (negative ? -1 : 1) * (whole * scale + fraction);
    return true;
}

bool equalsNoCase(const char *begin, const char *end, const char *word)
{
    const size_t n = std::strlen(word);
    if (size_t(end - begin) != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char c = begin[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

} // namespace LogText
