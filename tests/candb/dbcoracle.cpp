// Bridge between RCAN Tools' CAN database code and the canmatrix check in dbcoracle.py:
//   dbcoracle FILE        reads FILE, then answers one JSON request per line on stdin:
//     {"op": "list"}                                   the messages as read
//     {"op": "decode", "id": N, "ext": B, "data": HEX}  the signals the frame carries
//     {"op": "encode", "id": N, "ext": B, "dlc": N, "values": {S: "12.5"}, "names": {S: "On"}}
//                                                       the bytes for those values, from zeros
// Every answer is one JSON line; numbers are printed exactly (integers whole, doubles with 17
// digits).

#include "candb/dbcreader.h"
#include "candb/signalcodec.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>
#include <string>

namespace {

QByteArray quoted(const QString &text)
{
    QJsonObject wrap;
    wrap.insert(QStringLiteral("s"), text);
    const QByteArray json = QJsonDocument(wrap).toJson(QJsonDocument::Compact);
    // {"s":"..."} -> "..."
    return json.mid(5, json.size() - 6);
}

QByteArray exact(double value)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    const QByteArray text(buffer);
    if (text == "nan" || text == "-nan")
        return "\"nan\"";
    if (text == "inf" || text == "-inf")
        return "\"" + text + "\"";
    return text;
}

QByteArray list(const CanDatabase &database)
{
    QByteArray out = "[";
    for (const DbcMessage &message : database.messages()) {
        if (out.size() > 1)
            out += ", ";
        out += "[" + QByteArray::number(message.id) + ", " + (message.extended ? "true" : "false")
            + ", " + quoted(message.name) + "]";
    }
    return out + "]";
}

QByteArray decode(const CanDatabase &database, const QJsonObject &request)
{
    const DbcMessage *message
        = database.message(quint32(request.value(QStringLiteral("id")).toDouble()),
                           request.value(QStringLiteral("ext")).toBool());
    if (!message)
        return "null";
    const QByteArray data
        = QByteArray::fromHex(request.value(QStringLiteral("data")).toString().toLatin1());
    QVector<DecodedSignal> decoded;
    SignalCodec::decode(*message, reinterpret_cast<const quint8 *>(data.constData()), data.size(),
                        &decoded);
    QByteArray out = "{";
    for (const DecodedSignal &value : qAsConst(decoded)) {
        const DbcSignal &signal = message->signalList.at(value.signalIndex);
        QByteArray raw;
        if (signal.valueType != DbcSignal::Integer) {
            raw = exact(value.raw);
        } else if (signal.isSigned) {
            quint64 bits = value.rawBits;
            if (signal.length < 64 && (bits >> (signal.length - 1)) & 1)
                bits |= ~((quint64(1) << signal.length) - 1);
            raw = QByteArray::number(qint64(bits));
        } else {
            raw = QByteArray::number(value.rawBits);
        }
        if (out.size() > 1)
            out += ", ";
        out += quoted(signal.name) + ": [" + raw + ", " + exact(value.physical) + ", "
            + quoted(SignalCodec::valueText(signal, value)) + "]";
    }
    return out + "}";
}

QByteArray encode(const CanDatabase &database, const QJsonObject &request)
{
    const DbcMessage *message
        = database.message(quint32(request.value(QStringLiteral("id")).toDouble()),
                           request.value(QStringLiteral("ext")).toBool());
    if (!message)
        return "null";
    quint8 data[8] = {};
    const QJsonObject values = request.value(QStringLiteral("values")).toObject();
    const QJsonObject names = request.value(QStringLiteral("names")).toObject();
    for (auto it = values.begin(); it != values.end(); ++it) {
        const int index = message->signalIndex(it.key());
        quint64 bits = 0;
        bool ok = false;
        const double physical = it.value().toString().toDouble(&ok);
        if (index < 0 || !ok
            || !SignalCodec::bitsForPhysical(message->signalList.at(index), physical, &bits))
            return "{\"error\": " + quoted(it.key()) + "}";
        SignalCodec::insertBits(message->signalList.at(index), bits, data);
    }
    for (auto it = names.begin(); it != names.end(); ++it) {
        const int index = message->signalIndex(it.key());
        quint64 bits = 0;
        if (index < 0
            || !SignalCodec::bitsForName(message->signalList.at(index), it.value().toString(),
                                         &bits))
            return "{\"error\": " + quoted(it.key()) + "}";
        SignalCodec::insertBits(message->signalList.at(index), bits, data);
    }
    const int dlc = qBound(0, request.value(QStringLiteral("dlc")).toInt(8), 8);
    return "\"" + QByteArray(reinterpret_cast<const char *>(data), dlc).toHex() + "\"";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: dbcoracle FILE < requests\n");
        return 2;
    }
    const DbcReadResult result = DbcReader::readFile(QString::fromLocal8Bit(argv[1]));
    if (!result.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(result.error));
        return 1;
    }
    std::string line;
    char buffer[65536];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        const QJsonObject request = QJsonDocument::fromJson(QByteArray(buffer)).object();
        const QString op = request.value(QStringLiteral("op")).toString();
        QByteArray answer = "null";
        if (op == QLatin1String("list"))
            answer = list(result.database);
        else if (op == QLatin1String("decode"))
            answer = decode(result.database, request);
        else if (op == QLatin1String("encode"))
            answer = encode(result.database, request);
        std::fwrite(answer.constData(), 1, size_t(answer.size()), stdout);
        std::fputc('\n', stdout);
    }
    return 0;
}
