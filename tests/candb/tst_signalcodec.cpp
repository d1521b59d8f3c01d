// The signal codec on hand-worked cases: where bits sit in both byte orders, what a short frame
// or an unselected multiplexed signal yields, how raw bits become physical values and text, and
// which physical values and names can be encoded. Random frames over whole databases are judged
// by canmatrix in tst_signals_canmatrix.

#include "candb/dbcreader.h"
#include "candb/signalcodec.h"

#include <QtTest>

#include <cmath>
#include <cstring>

namespace {

QStringList nameList(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *name : list)
        out.append(QString::fromUtf8(name));
    return out;
}

DbcSignal makeSignal(int startBit, int length, DbcSignal::ByteOrder order, bool isSigned = false)
{
    DbcSignal signal;
    signal.name = QStringLiteral("S");
    signal.startBit = startBit;
    signal.length = length;
    signal.byteOrder = order;
    signal.isSigned = isSigned;
    return signal;
}

QString rawText(const DbcSignal &signal, quint64 bits)
{
    if (signal.isSigned && signal.length < 64 && (bits >> (signal.length - 1)) & 1)
        bits |= ~((quint64(1) << signal.length) - 1);
    return signal.isSigned ? QString::number(qint64(bits)) : QString::number(bits);
}

const DbcMessage *edgeMessage(const CanDatabase &database, const char *name)
{
    for (const DbcMessage &message : database.messages()) {
        if (message.name == QLatin1String(name))
            return &message;
    }
    return nullptr;
}

} // namespace

class tst_SignalCodec : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bits_data();
    void bits();
    void physical_data();
    void physical();
    void encode_data();
    void encode();
    void names_data();
    void names();
    void selection_data();
    void selection();
    void multiplexorLoopSelectsNothing();

private:
    CanDatabase m_edges;
};

void tst_SignalCodec::initTestCase()
{
    const DbcReadResult result = DbcReader::readFile(QFINDTESTDATA("data/edgecases.dbc"));
    QVERIFY(result.ok);
    m_edges = result.database;
}

void tst_SignalCodec::bits_data()
{
    QTest::addColumn<int>("startBit");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("motorola");
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<QByteArray>("data"); // hex; its length is the dlc
    QTest::addColumn<QString>("raw"); // empty: missing

    QTest::newRow("intel byte 0") << 0 << 8 << false << false << QByteArray("12") << "18";
    QTest::newRow("intel across bytes") << 4 << 8 << false << false << QByteArray("f00a") << "175";
    QTest::newRow("motorola across bytes")
        << 3 << 8 << true << false << QByteArray("0af0") << "175";
    // Bits 5..0 of byte 1, then 7..3 of byte 2: 101011 11001.
    QTest::newRow("motorola odd start 13|11")
        << 13 << 11 << true << false << QByteArray("002bc8") << "1401";
    QTest::newRow("signed -1") << 0 << 12 << false << true << QByteArray("ff0f") << "-1";
    QTest::newRow("signed largest") << 0 << 12 << false << true << QByteArray("ff07") << "2047";
    QTest::newRow("signed smallest") << 0 << 12 << false << true << QByteArray("0008") << "-2048";
    QTest::newRow("motorola signed") << 7 << 16 << true << true << QByteArray("fffe") << "-2";
    QTest::newRow("intel 64 bits all ones")
        << 0 << 64 << false << false << QByteArray("ffffffffffffffff") << "18446744073709551615";
    QTest::newRow("motorola 64 bits")
        << 7 << 64 << true << false << QByteArray("0102030405060708") << "72623859790382856";
    QTest::newRow("signed 64 bits smallest")
        << 0 << 64 << false << true << QByteArray("0000000000000080") << "-9223372036854775808";
    QTest::newRow("intel top bit")
        << 63 << 1 << false << false << QByteArray("0000000000000080") << "1";
    QTest::newRow("motorola last bit")
        << 56 << 1 << true << false << QByteArray("0000000000000001") << "1";
    QTest::newRow("intel exactly to the dlc")
        << 8 << 8 << false << false << QByteArray("0011") << "17";
    QTest::newRow("intel past the dlc")
        << 8 << 8 << false << false << QByteArray("00") << QString();
    QTest::newRow("intel one bit past the dlc")
        << 1 << 8 << false << false << QByteArray("ff") << QString();
    QTest::newRow("motorola past the dlc")
        << 15 << 8 << true << false << QByteArray("00") << QString();
    QTest::newRow("motorola reaching down past the dlc")
        << 3 << 8 << true << false << QByteArray("0a") << QString();
    QTest::newRow("empty frame") << 0 << 1 << false << false << QByteArray() << QString();
    QTest::newRow("intel past 64 bits")
        << 60 << 8 << false << false << QByteArray("ffffffffffffffff") << QString();
    QTest::newRow("motorola past 64 bits")
        << 58 << 8 << true << false << QByteArray("ffffffffffffffff") << QString();
}

void tst_SignalCodec::bits()
{
    QFETCH(int, startBit);
    QFETCH(int, length);
    QFETCH(bool, motorola);
    QFETCH(bool, isSigned);
    QFETCH(QByteArray, data);
    QFETCH(QString, raw);
    const DbcSignal signal
        = makeSignal(startBit, length, motorola ? DbcSignal::Motorola : DbcSignal::Intel, isSigned);
    const QByteArray bytes = QByteArray::fromHex(data);
    quint64 bits = 0;
    const bool present = SignalCodec::extractBits(
        signal, reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size(), &bits);
    QCOMPARE(present, !raw.isEmpty());
    if (!present)
        return;
    QCOMPARE(rawText(signal, bits), raw);

    // Putting the bits back touches exactly the signal's bits.
    quint8 ones[8];
    std::memset(ones, 0xFF, sizeof ones);
    SignalCodec::insertBits(signal, 0, ones);
    int cleared = 0;
    for (quint8 byte : ones)
        cleared += 8 - qPopulationCount(byte);
    QCOMPARE(cleared, length);
    quint8 zeros[8] = {};
    SignalCodec::insertBits(signal, bits, zeros);
    quint64 again = 0;
    QVERIFY(SignalCodec::extractBits(signal, zeros, 8, &again));
    QCOMPARE(again, bits);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(zeros), bytes.size()), bytes);
}

void tst_SignalCodec::physical_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<int>("valueType");
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("offset");
    QTest::addColumn<quint64>("bits");
    QTest::addColumn<double>("physical");
    QTest::addColumn<QString>("text");

    QTest::newRow("factor 0.1") << 8 << false << 0 << 0.1 << 0.0 << quint64(123) << 12.3 << "12.3";
    QTest::newRow("negative offset")
        << 8 << false << 0 << 0.1 << -40.0 << quint64(0) << -40.0 << "-40";
    QTest::newRow("negative offset and factor 0.1")
        << 8 << false << 0 << 0.1 << -40.0 << quint64(255) << -14.5 << "-14.5";
    QTest::newRow("signed with factor")
        << 8 << true << 0 << 0.5 << 0.0 << quint64(0xFF) << -0.5 << "-0.5";
    QTest::newRow("signed 16 with 0.01 and offset")
        << 16 << true << 0 << 0.01 << -100.5 << quint64(0x8000) << -428.18 << "-428.18";
    QTest::newRow("negative factor") << 8 << false << 0 << -0.5 << 10.0 << quint64(4) << 8.0 << "8";
    QTest::newRow("tiny factor") << 8 << false << 0 << 1e-7 << 0.0 << quint64(15) << 1.5e-6
                                 << "0.0000015";
    QTest::newRow("64 bits unsigned shown exactly")
        << 64 << false << 0 << 1.0 << 0.0 << ~quint64(0) << 18446744073709551615.0
        << "18446744073709551615";
    QTest::newRow("64 bits signed shown exactly")
        << 64 << true << 0 << 1.0 << 0.0 << quint64(0x8000000000000001) << -9223372036854775807.0
        << "-9223372036854775807";
    QTest::newRow("float 1.5") << 32 << true << int(DbcSignal::Float32) << 1.0 << 0.0
                               << quint64(0x3FC00000) << 1.5 << "1.5";
    QTest::newRow("float 0.1 as the float shows it")
        << 32 << true << int(DbcSignal::Float32) << 1.0 << 0.0 << quint64(0x3DCCCCCD)
        << double(0.1f) << "0.1";
    QTest::newRow("float negative") << 32 << false << int(DbcSignal::Float32) << 1.0 << 0.0
                                    << quint64(0xC0200000) << -2.5 << "-2.5";
    QTest::newRow("double pi") << 64 << true << int(DbcSignal::Float64) << 1.0 << 0.0
                               << quint64(0x400921FB54442D18) << M_PI << "3.141592653589793";
    QTest::newRow("float with factor")
        << 32 << true << int(DbcSignal::Float32) << 2.0 << 1.0 << quint64(0x3FC00000) << 4.0 << "4";
}

void tst_SignalCodec::physical()
{
    QFETCH(int, length);
    QFETCH(bool, isSigned);
    QFETCH(int, valueType);
    QFETCH(double, factor);
    QFETCH(double, offset);
    QFETCH(quint64, bits);
    QFETCH(double, physical);
    QFETCH(QString, text);
    DbcSignal signal = makeSignal(0, length, DbcSignal::Intel, isSigned);
    signal.valueType = DbcSignal::ValueType(valueType);
    signal.factor = factor;
    signal.offset = offset;
    QCOMPARE(SignalCodec::physicalValue(signal, bits), physical);
    DecodedSignal decoded;
    decoded.rawBits = bits;
    decoded.raw = SignalCodec::rawValue(signal, bits);
    decoded.physical = SignalCodec::physicalValue(signal, bits);
    QCOMPARE(SignalCodec::valueText(signal, decoded), text);
}

void tst_SignalCodec::encode_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<int>("valueType");
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("physical");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<quint64>("bits");

    QTest::newRow("rounds to the nearest step")
        << 8 << false << 0 << 0.1 << 0.0 << 12.34 << true << quint64(123);
    QTest::newRow("0.3 in steps of 0.1 is 3, not 2")
        << 8 << false << 0 << 0.1 << 0.0 << 0.3 << true << quint64(3);
    QTest::newRow("offset") << 8 << false << 0 << 0.1 << -40.0 << -40.0 << true << quint64(0);
    QTest::newRow("negative factor")
        << 8 << false << 0 << -0.5 << 10.0 << 8.0 << true << quint64(4);
    QTest::newRow("unsigned largest")
        << 8 << false << 0 << 1.0 << 0.0 << 255.0 << true << quint64(255);
    QTest::newRow("unsigned too large")
        << 8 << false << 0 << 1.0 << 0.0 << 256.0 << false << quint64(0);
    QTest::newRow("unsigned negative")
        << 8 << false << 0 << 1.0 << 0.0 << -1.0 << false << quint64(0);
    QTest::newRow("signed smallest")
        << 8 << true << 0 << 1.0 << 0.0 << -128.0 << true << quint64(0x80);
    QTest::newRow("signed below smallest")
        << 8 << true << 0 << 1.0 << 0.0 << -129.0 << false << quint64(0);
    QTest::newRow("signed largest")
        << 8 << true << 0 << 1.0 << 0.0 << 127.0 << true << quint64(0x7F);
    QTest::newRow("signed above largest")
        << 8 << true << 0 << 1.0 << 0.0 << 128.0 << false << quint64(0);
    QTest::newRow("signed -1 in 64 bits")
        << 64 << true << 0 << 1.0 << 0.0 << -1.0 << true << ~quint64(0);
    QTest::newRow("2^63 unsigned") << 64 << false << 0 << 1.0 << 0.0 << 9223372036854775808.0
                                   << true << quint64(0x8000000000000000);
    QTest::newRow("2^64 does not fit")
        << 64 << false << 0 << 1.0 << 0.0 << 18446744073709551616.0 << false << quint64(0);
    QTest::newRow("factor zero") << 8 << false << 0 << 0.0 << 0.0 << 1.0 << false << quint64(0);
    QTest::newRow("not a number") << 8 << false << 0 << 1.0 << 0.0 << qQNaN() << false
                                  << quint64(0);
    QTest::newRow("float") << 32 << true << int(DbcSignal::Float32) << 1.0 << 0.0 << 1.5 << true
                           << quint64(0x3FC00000);
    QTest::newRow("float overflow")
        << 32 << true << int(DbcSignal::Float32) << 1.0 << 0.0 << 1e39 << false << quint64(0);
    QTest::newRow("double") << 64 << true << int(DbcSignal::Float64) << 1.0 << 0.0 << -2.5 << true
                            << quint64(0xC004000000000000);
}

void tst_SignalCodec::encode()
{
    QFETCH(int, length);
    QFETCH(bool, isSigned);
    QFETCH(int, valueType);
    QFETCH(double, factor);
    QFETCH(double, offset);
    QFETCH(double, physical);
    QFETCH(bool, fits);
    QFETCH(quint64, bits);
    DbcSignal signal = makeSignal(0, length, DbcSignal::Intel, isSigned);
    signal.valueType = DbcSignal::ValueType(valueType);
    signal.factor = factor;
    signal.offset = offset;
    quint64 encoded = 0;
    QCOMPARE(SignalCodec::bitsForPhysical(signal, physical, &encoded), fits);
    if (fits)
        QCOMPARE(encoded, bits);
}

void tst_SignalCodec::names_data()
{
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<quint64>("bits");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("known");

    QTest::newRow("named") << false << quint64(1) << "On"
                           << "On" << true;
    QTest::newRow("unnamed value shows its number") << false << quint64(2) << "2"
                                                    << "Maybe" << false;
    QTest::newRow("signed named") << true << quint64(0xF) << "Reverse"
                                  << "Reverse" << true;
    QTest::newRow("unsigned 15 is not -1") << false << quint64(0xF) << "15"
                                           << "Reverse" << false;
    QTest::newRow("name too large for the signal") << false << quint64(0) << "Off"
                                                   << "Huge" << false;
}

void tst_SignalCodec::names()
{
    QFETCH(bool, isSigned);
    QFETCH(quint64, bits);
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(bool, known);
    DbcSignal signal = makeSignal(0, 4, DbcSignal::Intel, isSigned);
    signal.valueNames = { { 0, QStringLiteral("Off") },
                          { 1, QStringLiteral("On") },
                          { 100, QStringLiteral("Huge") } };
    if (isSigned)
        signal.valueNames.insert(-1, QStringLiteral("Reverse"));
    DecodedSignal decoded;
    decoded.rawBits = bits;
    decoded.raw = SignalCodec::rawValue(signal, bits);
    decoded.physical = SignalCodec::physicalValue(signal, bits);
    QCOMPARE(SignalCodec::valueText(signal, decoded), text);
    quint64 encoded = 0;
    QCOMPARE(SignalCodec::bitsForName(signal, name, &encoded), known);
    if (known)
        QCOMPARE(encoded, bits);
}

void tst_SignalCodec::selection_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("present");

    const QStringList none;
    QTest::newRow("page 0") << QByteArray("SimpleMux") << QByteArray("00aaaa00000000bb")
                            << nameList({ "Mux", "Sig0", "Always" });
    QTest::newRow("page 1") << QByteArray("SimpleMux") << QByteArray("01aaaa00000000bb")
                            << nameList({ "Mux", "Sig1", "Sig1b", "Always" });
    QTest::newRow("no page selected") << QByteArray("SimpleMux") << QByteArray("07aaaa00000000bb")
                                      << nameList({ "Mux", "Always" });
    QTest::newRow("short frame keeps the switch")
        << QByteArray("SimpleMux") << QByteArray("01aa") << nameList({ "Mux", "Sig1" });
    QTest::newRow("switch missing selects nothing")
        << QByteArray("SimpleMux") << QByteArray() << none;
    // Top selects Sub for 1, 3 and 4; Sub selects A for 0 and 5..7, B for 2; Top selects C
    // for 0 and 2.
    QTest::newRow("top 1 sub 0") << QByteArray("ExtendedMux") << QByteArray("0100000000000000")
                                 << nameList({ "Top", "Sub", "A" });
    QTest::newRow("top 4 sub 6") << QByteArray("ExtendedMux") << QByteArray("0406000000000000")
                                 << nameList({ "Top", "Sub", "A" });
    QTest::newRow("top 3 sub 2") << QByteArray("ExtendedMux") << QByteArray("0302000000000000")
                                 << nameList({ "Top", "Sub", "B" });
    QTest::newRow("top 0 leaves sub out")
        << QByteArray("ExtendedMux") << QByteArray("0000000000000000") << nameList({ "Top", "C" });
    QTest::newRow("top 2 sub 2 still leaves B out")
        << QByteArray("ExtendedMux") << QByteArray("0202000000000000") << nameList({ "Top", "C" });
    QTest::newRow("sub past the dlc")
        << QByteArray("ExtendedMux") << QByteArray("01") << nameList({ "Top" });
    QTest::newRow("3-byte message")
        << QByteArray("Short") << QByteArray("010203") << nameList({ "X", "Y" });
    QTest::newRow("3-byte message cut to 2")
        << QByteArray("Short") << QByteArray("0102") << nameList({ "X" });
}

void tst_SignalCodec::selection()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, data);
    QFETCH(QStringList, present);
    const DbcMessage *found = edgeMessage(m_edges, message.constData());
    QVERIFY(found);
    const QByteArray bytes = QByteArray::fromHex(data);
    QVector<DecodedSignal> decoded(3); // left over from an earlier frame
    SignalCodec::decode(*found, reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size(),
                        &decoded);
    QStringList names;
    for (const DecodedSignal &value : decoded)
        names.append(found->signalList.at(value.signalIndex).name);
    QCOMPARE(names, present);
}

void tst_SignalCodec::multiplexorLoopSelectsNothing()
{
    // Two multiplexors that select each other, as a damaged file may say.
    DbcMessage message;
    DbcSignal a = makeSignal(0, 8, DbcSignal::Intel);
    a.name = QStringLiteral("A");
    a.isMultiplexor = a.isMultiplexed = true;
    a.multiplexorName = QStringLiteral("B");
    a.muxRanges = { { 0, 255 } };
    DbcSignal b = a;
    b.name = QStringLiteral("B");
    b.startBit = 8;
    b.multiplexorName = QStringLiteral("A");
    DbcSignal c = makeSignal(16, 8, DbcSignal::Intel);
    c.name = QStringLiteral("C");
    message.signalList = { a, b, c };
    const quint8 data[8] = {};
    QVector<DecodedSignal> decoded;
    SignalCodec::decode(message, data, 8, &decoded);
    QCOMPARE(decoded.size(), 1);
    QCOMPARE(decoded.first().signalIndex, 2);
}

QTEST_APPLESS_MAIN(tst_SignalCodec)
#include "tst_signalcodec.moc"
