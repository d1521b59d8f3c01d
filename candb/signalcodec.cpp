#include "candb/signalcodec.h"

#include <QHash>
#include <QLocale>
#include <QVarLengthArray>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace {

// Where a signal's bits sit in the frame read as one 64-bit number: little-endian for Intel,
// big-endian for Motorola, so that either kind is a shift and a mask. `bytes` is how many
// data bytes the signal needs.
struct Place
{
    int shift = 0;
    int bytes = 0;
    bool valid = false;
};

inline Place placeOf(const DbcSignal &signal)
{
    Place place;
    const int start = signal.startBit;
    const int length = signal.length;
    if (length < 1 || length > 64 || start < 0 || start > 63)
        return place;
    if (signal.byteOrder == DbcSignal::Intel) {
        const int top = start + length - 1;
        if (top > 63)
            return place;
        place.shift = start;
        place.bytes = top / 8 + 1;
    } else {
        // The file names the most significant bit as byte * 8 + bit-in-byte; in the big-endian
        // number byte 0 is the top byte.
        const int msb = (7 - start / 8) * 8 + start % 8;
        const int lsb = msb - length + 1;
        if (lsb < 0)
            return place;
        place.shift = lsb;
        place.bytes = 8 - lsb / 8;
    }
    place.valid = true;
    return place;
}

inline quint64 maskOf(int length)
{
    return length >= 64 ? ~quint64(0) : (quint64(1) << length) - 1;
}

inline bool isFloat(const DbcSignal &signal)
{
    return (signal.valueType == DbcSignal::Float32 && signal.length == 32)
        || (signal.valueType == DbcSignal::Float64 && signal.length == 64);
}

inline double rawOf(const DbcSignal &signal, quint64 bits)
{
    if (signal.valueType == DbcSignal::Float32 && signal.length == 32) {
        const quint32 word = quint32(bits);
        float value;
        std::memcpy(&value, &word, sizeof value);
        return double(value);
    }
    if (signal.valueType == DbcSignal::Float64 && signal.length == 64) {
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    if (signal.isSigned) {
        if (signal.length < 64 && (bits >> (signal.length - 1)) & 1)
            bits |= ~maskOf(signal.length);
        return double(qint64(bits));
    }
    return double(bits);
}

// The raw value as the key VAL_ uses: the integer, sign-extended when signed.
inline qint64 integerKey(const DbcSignal &signal, quint64 bits)
{
    if (signal.isSigned && signal.length < 64 && (bits >> (signal.length - 1)) & 1)
        bits |= ~maskOf(signal.length);
    return qint64(bits);
}

// Digits after the point that the factor and offset can produce, so 0.1 shows "12.3" and not
// "12.300000000000001".
int decimalsFor(double number)
{
    if (!std::isfinite(number) || number == std::floor(number))
        return 0;
    QString text = QString::number(std::fabs(number), 'f', 15);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    const int point = text.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : text.size() - point - 1;
}

QString trimmedNumber(double value, int decimals)
{
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

} // namespace

bool SignalCodec::extractBits(const DbcSignal &signal, const quint8 *data, int dlc, quint64 *bits)
{
    const Place place = placeOf(signal);
    if (!place.valid || place.bytes > dlc || !data)
        return false;
    quint8 buffer[8] = {};
    std::memcpy(buffer, data, size_t(qMin(dlc, 8)));
    const quint64 word = signal.byteOrder == DbcSignal::Intel ? qFromLittleEndian<quint64>(buffer)
                                                              : qFromBigEndian<quint64>(buffer);
    *bits = (word >> place.shift) & maskOf(signal.length);
    return true;
}

void SignalCodec::insertBits(const DbcSignal &signal, quint64 bits, quint8 *data)
{
    const Place place = placeOf(signal);
    if (!place.valid)
        return;
    const quint64 mask = maskOf(signal.length) << place.shift;
    const quint64 value = (bits << place.shift) & mask;
    if (signal.byteOrder == DbcSignal::Intel) {
        const quint64 word = qFromLittleEndian<quint64>(data);
        qToLittleEndian<quint64>((word & ~mask) | value, data);
    } else {
        const quint64 word = qFromBigEndian<quint64>(data);
        qToBigEndian<quint64>((word & ~mask) | value, data);
    }
}

double SignalCodec::rawValue(const DbcSignal &signal, quint64 bits)
{
    return rawOf(signal, bits);
}

double SignalCodec::physicalValue(const DbcSignal &signal, quint64 bits)
{
    return rawOf(signal, bits) * signal.factor + signal.offset;
}

namespace {

DbcSignalLayout layoutOf(const DbcMessage &message, const DbcSignal &signal)
{
    DbcSignalLayout layout;
    const Place place = placeOf(signal);
    if (place.valid) {
        layout.shift = quint8(place.shift);
        layout.bytes = quint8(place.bytes);
        layout.length = quint8(signal.length);
        layout.mask = maskOf(signal.length);
    }
    layout.factor = signal.factor;
    layout.offset = signal.offset;
    if (signal.byteOrder == DbcSignal::Motorola)
        layout.flags |= DbcSignalLayout::Motorola;
    if (signal.isSigned)
        layout.flags |= DbcSignalLayout::Signed;
    if (signal.valueType == DbcSignal::Float32 && signal.length == 32)
        layout.flags |= DbcSignalLayout::Float32;
    if (signal.valueType == DbcSignal::Float64 && signal.length == 64)
        layout.flags |= DbcSignalLayout::Float64;
    if (signal.isMultiplexed) {
        layout.flags |= DbcSignalLayout::Multiplexed;
        layout.multiplexor = SignalCodec::multiplexorOf(message, signal);
    }
    return layout;
}

inline double rawOf(const DbcSignalLayout &layout, quint64 bits)
{
    if (layout.flags & DbcSignalLayout::Float32) {
        const quint32 word = quint32(bits);
        float value;
        std::memcpy(&value, &word, sizeof value);
        return double(value);
    }
    if (layout.flags & DbcSignalLayout::Float64) {
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    if (layout.flags & DbcSignalLayout::Signed) {
        const int unused = 64 - layout.length;
        return double(qint64(bits << unused) >> unused);
    }
    return double(bits);
}

} // namespace

void SignalCodec::prepare(DbcMessage *message)
{
    // Most messages multiplex nothing and need no names looked up.
    QHash<QString, int> byName;
    for (const DbcSignal &signal : qAsConst(message->signalList)) {
        if (!signal.multiplexorName.isEmpty()) {
            for (int i = message->signalList.size() - 1; i >= 0; --i)
                byName.insert(message->signalList.at(i).name, i);
            break;
        }
    }
    for (DbcSignal &signal : message->signalList) {
        signal.multiplexorIndex
            = signal.multiplexorName.isEmpty() ? -1 : byName.value(signal.multiplexorName, -1);
    }
    message->layout.resize(message->signalList.size());
    for (int i = 0; i < message->signalList.size(); ++i)
        message->layout[i] = layoutOf(*message, message->signalList.at(i));
}

void SignalCodec::decode(const DbcMessage &message,
                         const quint8 *data,
                         int dlc,
                         QVector<DecodedSignal> *out)
{
    dlc = data ? qBound(0, dlc, 8) : 0;
    quint8 buffer[8] = {};
    if (dlc > 0)
        std::memcpy(buffer, data, size_t(dlc));
    const quint64 little = qFromLittleEndian<quint64>(buffer);
    const quint64 big = qFromBigEndian<quint64>(buffer);

    const int n = message.signalList.size();
    const DbcSignal *signalData = message.signalList.constData();
    // A message built by hand has no prepared layout; it is made here, frame by frame.
    QVarLengthArray<DbcSignalLayout, 32> madeHere;
    const DbcSignalLayout *layout = message.layout.constData();
    if (message.layout.size() != n) {
        madeHere.resize(n);
        for (int i = 0; i < n; ++i)
            madeHere[i] = layoutOf(message, signalData[i]);
        layout = madeHere.constData();
    }

    QVarLengthArray<quint64, 128> bits(n);
    QVarLengthArray<bool, 128> present(n);
    bool multiplexed = false;
    for (int i = 0; i < n; ++i) {
        const DbcSignalLayout &at = layout[i];
        present[i] = at.bytes <= dlc;
        bits[i] = (((at.flags & DbcSignalLayout::Motorola) ? big : little) >> at.shift) & at.mask;
        multiplexed |= (at.flags & DbcSignalLayout::Multiplexed) != 0;
    }

    // Written in place: appending one by one costs more than the decoding.
    out->resize(n);
    DecodedSignal *written = out->data();
    int count = 0;
    for (int i = 0; i < n; ++i) {
        if (!present[i])
            continue;
        if (multiplexed) {
            // Follow the chain of multiplexors up: each must be in the frame and select the one
            // below it. A damaged file may make the chain loop, hence the step limit.
            bool selected = true;
            int at = i;
            for (int steps = 0; selected && (layout[at].flags & DbcSignalLayout::Multiplexed);
                 ++steps) {
                const int switchIndex = layout[at].multiplexor;
                if (switchIndex < 0 || switchIndex >= n || switchIndex == at || steps >= n
                    || !present[switchIndex] || !signalData[at].isSelectedBy(bits[switchIndex])) {
                    selected = false;
                }
                at = switchIndex;
            }
            if (!selected)
                continue;
        }
        DecodedSignal &decoded = written[count++];
        decoded.signalIndex = i;
        decoded.rawBits = bits[i];
        decoded.raw = rawOf(layout[i], bits[i]);
        decoded.physical = decoded.raw * layout[i].factor + layout[i].offset;
    }
    out->resize(count);
}

bool SignalCodec::bitsForPhysical(const DbcSignal &signal, double physical, quint64 *bits)
{
    if (std::isnan(physical) || signal.factor == 0.0 || !std::isfinite(signal.factor))
        return false;
    const double raw = (physical - signal.offset) / signal.factor;
    if (signal.valueType == DbcSignal::Float32 && signal.length == 32) {
        const float value = float(raw);
        if (std::isfinite(raw) && !std::isfinite(value))
            return false;
        quint32 word;
        std::memcpy(&word, &value, sizeof word);
        *bits = word;
        return true;
    }
    if (signal.valueType == DbcSignal::Float64 && signal.length == 64) {
        std::memcpy(bits, &raw, sizeof raw);
        return true;
    }
    if (!std::isfinite(raw) || signal.length < 1 || signal.length > 64)
        return false;
    const double rounded = std::round(raw);
    if (signal.isSigned) {
        const double limit = std::ldexp(1.0, signal.length - 1);
        if (rounded < -limit || rounded >= limit)
            return false;
        *bits = quint64(qint64(rounded)) & maskOf(signal.length);
    } else {
        if (rounded < 0 || rounded >= std::ldexp(1.0, signal.length))
            return false;
        *bits = quint64(rounded);
    }
    return true;
}

bool SignalCodec::bitsForName(const DbcSignal &signal, const QString &name, quint64 *bits)
{
    for (auto it = signal.valueNames.cbegin(); it != signal.valueNames.cend(); ++it) {
        if (it.value() != name)
            continue;
        const qint64 key = it.key();
        const quint64 mask = maskOf(signal.length);
        const quint64 candidate = quint64(key) & mask;
        // The name's value must survive the trip through the signal's bits.
        if (signal.length < 1 || signal.length > 64 || integerKey(signal, candidate) != key)
            return false;
        *bits = candidate;
        return true;
    }
    return false;
}

QString SignalCodec::valueText(const DbcSignal &signal, const DecodedSignal &decoded)
{
    const bool floating = isFloat(signal);
    if (!floating && !signal.valueNames.isEmpty()) {
        const auto it = signal.valueNames.constFind(integerKey(signal, decoded.rawBits));
        if (it != signal.valueNames.cend())
            return it.value();
    }
    if (!floating && signal.factor == 1.0 && signal.offset == 0.0) {
        // Exact even where a double would round a 64-bit value.
        const qint64 key = integerKey(signal, decoded.rawBits);
        return signal.isSigned ? QString::number(key) : QString::number(decoded.rawBits);
    }
    if (signal.valueType == DbcSignal::Float32 && floating && signal.factor == 1.0
        && signal.offset == 0.0 && std::isfinite(decoded.physical)) {
        // The float's own shortest form, not that of the double it widens to.
        for (int precision = 6; precision < 9; ++precision) {
            const QString text = QString::number(decoded.physical, 'g', precision);
            if (float(text.toDouble()) == float(decoded.physical))
                return text;
        }
        return QString::number(decoded.physical, 'g', 9);
    }
    if (floating || !std::isfinite(decoded.physical))
        return QString::number(decoded.physical, 'g', QLocale::FloatingPointShortest);
    const int decimals = qMax(decimalsFor(signal.factor), decimalsFor(signal.offset));
    return trimmedNumber(decoded.physical, decimals);
}

int SignalCodec::multiplexorOf(const DbcMessage &message, const DbcSignal &signal)
{
    const int n = message.signalList.size();
    if (signal.multiplexorIndex >= 0 && signal.multiplexorIndex < n)
        return signal.multiplexorIndex;
    if (signal.multiplexorName.isEmpty())
        return -1;
    return message.signalIndex(signal.multiplexorName);
}
