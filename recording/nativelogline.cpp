#include "filesavesupport.h"

#include <QDateTime>
#include <QStringBuilder>

// The native log's texts are kept apart from the writer, so that the log codecs (and the command
// line) need nothing of the writer's progress window.

namespace {
QByteArray headerLines(const QByteArray &baseLine)
{
    return "date "
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toLatin1()
        + "\r\n" + baseLine + "\r\nversion 1.0\r\n\r\n";
}

inline void appendField(QByteArray &out, const QString &text)
{
    // The texts are ASCII by construction, so one byte per character.
    const int start = out.size();
    out.resize(start + text.size());
    char *dst = out.data() + start;
    const QChar *src = text.constData();
    for (int i = 0; i < text.size(); ++i)
        dst[i] = char(src[i].unicode());
}
} // namespace

QString FileSaveSupport::formatLogLine(const CAN_StructureDescription &frame)
{
    const QChar blank = QLatin1Char(' ');
    return frame.systemTime % blank % frame.channel % blank % frame.frameID % blank % frame.canType
        % blank % frame.direction % blank % frame.dataLength % blank % frame.data;
}

void FileSaveSupport::appendLogLine(QByteArray &out, const CAN_StructureDescription &frame)
{
    appendField(out, frame.systemTime);
    out.append(' ');
    appendField(out, frame.channel);
    out.append(' ');
    appendField(out, frame.frameID);
    out.append(' ');
    appendField(out, frame.canType);
    out.append(' ');
    appendField(out, frame.direction);
    out.append(' ');
    appendField(out, frame.dataLength);
    out.append(' ');
    appendField(out, frame.data);
    out.append("\r\n", 2);
}

QByteArray FileSaveSupport::nativeHeader(int total)
{
    return total < 0
        ? headerLines("base hex timestamps system")
        : headerLines("base hex timestamps system toltal " + QByteArray::number(total));
}
