#include "display/framesignaltext.h"

#include "candb/signalcodec.h"
#include "display/signalhub.h"

#include <QStringList>

namespace {
// Whether the frame's multiplexors leave signal `index` out: its switch is there and selects
// another value, or the switch is itself left out by its own. A file whose switches select each
// other in a loop is cut short rather than followed forever.
bool notSelected(const DbcMessage &message,
                 const QVector<const DecodedSignal *> &bySignal,
                 int index,
                 int depth = 0)
{
    const DbcSignal &signal = message.signalList.at(index);
    if (!signal.isMultiplexed || depth > message.signalList.size())
        return false;
    const int switchIndex = SignalCodec::multiplexorOf(message, signal);
    if (switchIndex < 0)
        return false;
    if (const DecodedSignal *selector = bySignal.at(switchIndex))
        return !signal.isSelectedBy(selector->rawBits);
    return notSelected(message, bySignal, switchIndex, depth + 1);
}
} // namespace

FrameSignals FrameSignalText::describe(const DbcMessage &message, const LogFrame &frame)
{
    FrameSignals result;
    if (frame.isRemote())
        return result;
    result.messageName = message.name;

    QVector<DecodedSignal> decoded;
    SignalCodec::decode(message, frame.data, frame.dataCount(), &decoded);
    // decode() lists only what the frame carries, in signal order; the rest is either cut off by
    // the length or not chosen by its multiplexor, and only the first is worth showing.
    QVector<const DecodedSignal *> bySignal(message.signalList.size(), nullptr);
    for (const DecodedSignal &value : decoded) {
        if (value.signalIndex >= 0 && value.signalIndex < bySignal.size())
            bySignal[value.signalIndex] = &value;
    }
    for (int i = 0; i < message.signalList.size(); ++i) {
        const DbcSignal &signal = message.signalList.at(i);
        const DecodedSignal *value = bySignal.at(i);
        if (!value && notSelected(message, bySignal, i))
            continue;
        FrameSignalLine line;
        line.key.channel = frame.channel;
        line.key.id = frame.id;
        line.key.extended = frame.isExtended();
        line.key.signal = signal.name;
        if (value) {
            line.value = SignalCodec::valueText(signal, *value);
            const bool named = signal.valueType == DbcSignal::Integer
                && signal.valueNames.contains(qint64(value->raw));
            if (!named)
                line.unit = signal.unit;
        } else {
            line.missing = true;
        }
        result.lines.append(line);
    }
    return result;
}

FrameSignals FrameSignalText::describe(const DatabaseSet::Snapshot &databases,
                                       const LogFrame &frame)
{
    if (frame.isRemote() || databases.isEmpty())
        return FrameSignals();
    const DatabaseSet::Match match = databases.find(frame.channel, frame.id, frame.isExtended());
    return match ? describe(*match.message, frame) : FrameSignals();
}

FrameSignals FrameSignalText::describe(const LogFrame &frame)
{
    const QSharedPointer<const DatabaseSet::Snapshot> databases
        = SignalHub::instance()->databases()->snapshot();
    return databases ? describe(*databases, frame) : FrameSignals();
}

QString FrameSignalText::lineText(const FrameSignalLine &line)
{
    if (line.missing)
        return tr("%1 (缺失)").arg(line.key.signal);
    QString text = line.key.signal + QStringLiteral(" = ") + line.value;
    if (!line.unit.isEmpty())
        text += QLatin1Char(' ') + line.unit;
    return text;
}

QString FrameSignalText::toolTip(const FrameSignals &frame)
{
    if (frame.isEmpty())
        return QString();
    QStringList lines { frame.messageName };
    for (const FrameSignalLine &line : frame.lines)
        lines.append(QStringLiteral("  ") + lineText(line));
    return lines.join(QLatin1Char('\n'));
}

QString FrameSignalText::signalsText(const FrameSignals &frame)
{
    QStringList parts;
    for (const FrameSignalLine &line : frame.lines)
        parts.append(lineText(line));
    return parts.join(QStringLiteral("; "));
}

QString FrameSignalText::summary(const FrameSignals &frame)
{
    if (frame.isEmpty())
        return QString();
    return frame.lines.isEmpty() ? frame.messageName
                                 : frame.messageName + QStringLiteral(": ") + signalsText(frame);
}

QString FrameSignalText::linkedSummary(const FrameSignals &frame)
{
    if (frame.isEmpty())
        return QString();
    QStringList parts;
    for (int i = 0; i < frame.lines.size(); ++i) {
        const FrameSignalLine &line = frame.lines.at(i);
        const QString text = lineText(line).toHtmlEscaped();
        parts.append(line.missing ? QStringLiteral("<span style=\"color:#888888\">") + text
                             + QStringLiteral("</span>")
                                  : QStringLiteral("<a href=\"plot:%1\">").arg(i) + text
                             + QStringLiteral("</a>"));
    }
    return QStringLiteral("<b>") + frame.messageName.toHtmlEscaped() + QStringLiteral("</b>")
        + (parts.isEmpty() ? QString() : QStringLiteral(": ") + parts.join(QStringLiteral("; ")));
}
