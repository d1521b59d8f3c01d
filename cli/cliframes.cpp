#include "cliframes.h"

namespace CliFrames {

namespace {
bool parseHexId(const QString &text, quint32 *id, bool *extended)
{
    if (text.size() != 3 && text.size() != 8)
        return false;
    bool ok = false;
    const quint32 value = text.toUInt(&ok, 16);
    if (!ok)
        return false;
    *extended = text.size() == 8;
    if (value > (*extended ? 0x1FFFFFFFu : 0x7FFu))
        return false;
    *id = value;
    return true;
}
} // namespace

bool parseSendFrame(const QString &text, LogFrame *frame)
{
    const int hash = text.indexOf(QLatin1Char('#'));
    if (hash < 0)
        return false;
    LogFrame parsed;
    bool extended = false;
    if (!parseHexId(text.left(hash), &parsed.id, &extended))
        return false;
    QString data = text.mid(hash + 1);
    quint8 info = extended ? LogFrame::Extended : 0;
    if (data.startsWith(QLatin1Char('R'), Qt::CaseInsensitive)) {
        int dlc = 0;
        if (data.size() > 1) {
            bool ok = false;
            dlc = data.mid(1).toInt(&ok);
            if (!ok || data.size() != 2 || dlc < 0 || dlc > 8)
                return false;
        }
        parsed.info = info | LogFrame::Remote | quint8(dlc);
        *frame = parsed;
        return true;
    }
    data.remove(QLatin1Char('.'));
    if (data.size() % 2 != 0 || data.size() > 16)
        return false;
    const int count = data.size() / 2;
    for (int i = 0; i < count; ++i) {
        bool ok = false;
        const uint byte = data.mid(2 * i, 2).toUInt(&ok, 16);
        if (!ok)
            return false;
        parsed.data[i] = quint8(byte);
    }
    parsed.info = info | quint8(count);
    *frame = parsed;
    return true;
}

bool IdFilter::passes(const LogFrame &frame) const
{
    const bool match = frame.isExtended() == extended && (frame.id & mask) == (id & mask);
    return match != inverted;
}

bool parseFilter(const QString &text, IdFilter *filter)
{
    int split = text.indexOf(QLatin1Char(':'));
    IdFilter parsed;
    if (split < 0) {
        split = text.indexOf(QLatin1Char('~'));
        parsed.inverted = true;
    }
    if (split < 0)
        return false;
    const QString idText = text.left(split);
    const QString maskText = text.mid(split + 1);
    bool ok = false;
    parsed.id = idText.toUInt(&ok, 16);
    if (!ok || idText.isEmpty() || idText.size() > 8)
        return false;
    parsed.mask = maskText.toUInt(&ok, 16);
    if (!ok || maskText.isEmpty() || maskText.size() > 8)
        return false;
    parsed.extended = idText.size() == 8 || parsed.id > 0x7FF;
    if (parsed.id > 0x1FFFFFFF)
        return false;
    *filter = parsed;
    return true;
}

bool passesAny(const QVector<IdFilter> &filters, const LogFrame &frame)
{
    if (filters.isEmpty())
        return true;
    for (const IdFilter &filter : filters) {
        if (filter.passes(frame))
            return true;
    }
    return false;
}

} // namespace CliFrames
