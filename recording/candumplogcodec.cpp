#include "candumplogcodec.h"

using namespace LogText;

namespace {
constexpr quint32 ErrorFrameFlag = 0x20000000;
}

QByteArray CandumpLogCodec::header(qint64 startUs, int total)
{
    Q_UNUSED(startUs)
    Q_UNUSED(total)
    return QByteArray();
}

void CandumpLogCodec::appendFrame(QByteArray &out,
                                  const FileSaveSupport::CAN_StructureDescription &record)
{
    const LogFrame &frame = record.frame;
    const qint64 us = m_timeline.timeOf(frame);
    out.append('(');
    appendSeconds(out, us, 0);
    out.append(") can", 5);
    appendUInt(out, frame.channel > 0 ? frame.channel - 1u : 0u);
    out.append(' ');
    if (frame.isExtended())
        appendHex(out, frame.id & 0x1FFFFFFF, 8);
    else
        appendHex(out, frame.id & 0x7FF, 3);
    out.append('#');
    // A raw DLC above 8 is written as 8: can-utils would add "_9" to "_F", and Wireshark refuses a
    // whole file for one such line. This adapter reports DLCs up to 8.
    if (frame.isRemote()) {
        out.append('R');
        if (frame.dlc() > 0)
            appendUInt(out, quint64(qMin(frame.dlc(), 8)));
    } else {
        for (int i = 0; i < frame.dataCount(); ++i)
            appendHex(out, frame.data[i], 2);
    }
    if (m_withDirection)
        out.append(frame.dir != 0 ? " T" : " R", 2);
    out.append('\n');
}

LogCodec::Line CandumpLogCodec::parseLine(const char *begin, const char *end, LogFrame &frame)
{
    Cursor line { begin, end };
    const char *b = nullptr;
    const char *e = nullptr;
    if (!line.nextToken(&b, &e))
        return Line::Skip;
    if (e - b < 3 || *b != '(' || e[-1] != ')' || !parseFixed(b + 1, e - 1, 6, &frame.hostTimeUs))
        return Line::Bad;

    // The interface: its trailing number counted from 0 is the channel counted from 1.
    if (!line.nextToken(&b, &e))
        return Line::Bad;
    const char *digits = e;
    while (digits > b && digits[-1] >= '0' && digits[-1] <= '9')
        --digits;
    quint32 interface = 0;
    if (digits < e && !parseDec(digits, e, &interface))
        return Line::Bad;
    if (interface > 254)
        return Line::Bad;
    frame.channel = quint8(interface + 1);

    if (!line.nextToken(&b, &e))
        return Line::Bad;
    const char *hash = b;
    while (hash < e && *hash != '#')
        ++hash;
    if (hash == e)
        return Line::Bad;
    quint32 id = 0;
    if (!parseHex(b, hash, &id))
        return Line::Bad;
    const bool extended = hash - b > 3;
    if (extended && (id & ErrorFrameFlag))
        return Line::Skip; // an error frame: the table shows none
    if (id > (extended ? 0x1FFFFFFFu : 0x7FFu))
        return Line::Bad;
    frame.id = id;
    frame.info = extended ? LogFrame::Extended : 0;

    const char *p = hash + 1;
    if (p < e && *p == '#')
        return refuse(canFdRefusal()); // "ID##FLAGSDATA"
    // can-utils' raw DLC above 8 for a frame of eight bytes: "_9" to "_F" at the end.
    quint32 rawDlc = 0;
    if (e - p >= 2 && e[-2] == '_') {
        const int digit = hexValue(e[-1]);
        if (digit <= 8)
            return Line::Bad;
        rawDlc = quint32(digit);
        e -= 2;
    }
    if (p < e && (*p == 'R' || *p == 'r')) {
        frame.info |= LogFrame::Remote;
        ++p;
        quint32 dlc = 0;
        if (p < e && (!parseHex(p, e, &dlc) || e - p != 1 || dlc > 8))
            return Line::Bad;
        if (rawDlc != 0 && dlc != 8)
            return Line::Bad;
        frame.info |= quint8(rawDlc != 0 ? rawDlc : dlc);
    } else {
        int count = 0;
        while (p < e) {
            if (*p == '.') {
                ++p;
                continue;
            }
            if (e - p < 2 || count == 8)
                return Line::Bad;
            const int high = hexValue(p[0]);
            const int low = hexValue(p[1]);
            if (high < 0 || low < 0)
                return Line::Bad;
            frame.data[count++] = quint8(high << 4 | low);
            p += 2;
        }
        if (rawDlc != 0 && count != 8)
            return Line::Bad;
        frame.info |= quint8(rawDlc != 0 ? int(rawDlc) : count);
    }

    frame.dir = 0;
    if (line.nextToken(&b, &e)) {
        if (e - b != 1 || (*b != 'R' && *b != 'r' && *b != 'T' && *b != 't'))
            return Line::Bad;
        frame.dir = (*b == 'T' || *b == 't') ? 1 : 0;
        if (line.nextToken(&b, &e))
            return Line::Bad;
    }
    return Line::Frame;
}
