#include "send/signalcomposer.h"

#include "candb/signalcodec.h"

#include <QLocale>
#include <QVector>

#include <cmath>

SignalComposer::SignalComposer(const DbcMessage &message)
    : m_message(message)
    , m_dlc(qBound(0, message.dlc, 8))
{
    for (int i = 0; i < m_message.signalList.size(); ++i) {
        const DbcSignal &signal = m_message.signalList.at(i);
        // The start value is raw; one that does not fit the signal is the file's fault and left
        // out rather than cut to size.
        if (!signal.hasStartValue || !std::isfinite(signal.startValue) || signal.startValue < 0
            || std::floor(signal.startValue) != signal.startValue)
            continue;
        if (signal.length < 64 && signal.startValue >= std::ldexp(1.0, signal.length))
            continue;
        SignalCodec::insertBits(signal, quint64(signal.startValue), m_data);
    }
}

QByteArray SignalComposer::bytes() const
{
    return QByteArray(reinterpret_cast<const char *>(m_data), m_dlc);
}

void SignalComposer::setBytes(const QByteArray &bytes)
{
    for (int i = 0; i < 8; ++i)
        m_data[i] = i < bytes.size() ? quint8(bytes.at(i)) : 0;
}

bool SignalComposer::carries(int signal) const
{
    if (signal < 0 || signal >= m_message.signalList.size())
        return false;
    QVector<DecodedSignal> decoded;
    SignalCodec::decode(m_message, m_data, m_dlc, &decoded);
    for (const DecodedSignal &value : decoded) {
        if (value.signalIndex == signal)
            return true;
    }
    return false;
}

QString SignalComposer::valueText(int signal) const
{
    if (!carries(signal))
        return QString();
    DecodedSignal decoded;
    decoded.signalIndex = signal;
    const DbcSignal &s = m_message.signalList.at(signal);
    decoded.rawBits = rawBits(signal);
    decoded.raw = SignalCodec::rawValue(s, decoded.rawBits);
    decoded.physical = SignalCodec::physicalValue(s, decoded.rawBits);
    return SignalCodec::valueText(s, decoded);
}

quint64 SignalComposer::rawBits(int signal) const
{
    quint64 bits = 0;
    if (signal >= 0 && signal < m_message.signalList.size())
        SignalCodec::extractBits(m_message.signalList.at(signal), m_data, m_dlc, &bits);
    return bits;
}

bool SignalComposer::setValue(int signal, const QString &text, QString *error)
{
    if (signal < 0 || signal >= m_message.signalList.size())
        return false;
    const DbcSignal &s = m_message.signalList.at(signal);
    const QString value = text.trimmed();
    quint64 bits = 0;
    if (SignalCodec::bitsForName(s, value, &bits))
        return put(signal, bits, error);

    bool ok = false;
    double physical = QLocale::c().toDouble(value, &ok);
    if (!ok)
        physical = QLocale().toDouble(value, &ok);
    if (!ok || !std::isfinite(physical)) {
        if (error) {
            *error = s.valueNames.isEmpty()
                ? tr("“%1”不是数值。").arg(value)
                : tr("“%1”既不是数值，也不是信号 %2 的取值名称。").arg(value, s.name);
        }
        return false;
    }
    if (!SignalCodec::bitsForPhysical(s, physical, &bits)) {
        if (error) {
            // What the bits can carry, which may differ from the range the file states.
            const double rawLow = s.isSigned ? -std::ldexp(1.0, s.length - 1) : 0.0;
            const double rawHigh
                = s.isSigned ? std::ldexp(1.0, s.length - 1) - 1 : std::ldexp(1.0, s.length) - 1;
            const double a = rawLow * s.factor + s.offset;
            const double b = rawHigh * s.factor + s.offset;
            *error = s.valueType == DbcSignal::Integer
                ? tr("%1 超出信号 %2 可表示的范围 %3 .. %4。")
                      .arg(value, s.name)
                      .arg(qMin(a, b), 0, 'g', 15)
                      .arg(qMax(a, b), 0, 'g', 15)
                : tr("%1 超出信号 %2 的浮点范围。").arg(value, s.name);
        }
        return false;
    }
    return put(signal, bits, error);
}

bool SignalComposer::put(int signal, quint64 bits, QString *error)
{
    const DbcSignal &s = m_message.signalList.at(signal);
    const auto reaches = [this](const DbcSignal &target) {
        quint64 ignored = 0;
        return SignalCodec::extractBits(target, m_data, m_dlc, &ignored);
    };
    if (!reaches(s)) {
        if (error)
            *error = tr("信号 %1 超出报文的 %2 字节长度。").arg(s.name).arg(m_dlc);
        return false;
    }
    // A multiplexed signal is only in the frame when its switch selects it: set the switch first,
    // to the lowest value that does, unless it already does.
    if (s.isMultiplexed && !carries(signal)) {
        const int switchIndex = SignalCodec::multiplexorOf(m_message, s);
        if (switchIndex < 0 || s.muxRanges.isEmpty()) {
            if (error)
                *error = tr("信号 %1 的多路复用器未知。").arg(s.name);
            return false;
        }
        const quint64 selector = s.muxRanges.first().low;
        const DbcSignal &multiplexor = m_message.signalList.at(switchIndex);
        if (multiplexor.length < 64 && (selector >> multiplexor.length) != 0) {
            if (error)
                *error = tr("多路复用器 %1 无法取值 %2。").arg(multiplexor.name).arg(selector);
            return false;
        }
        if (!put(switchIndex, selector, error))
            return false;
    }
    SignalCodec::insertBits(s, bits, m_data);
    return true;
}
