// The DBC reader: what it takes from each section, which broken lines it reports with which line
// number and why while still loading the rest, the identifiers it gives messages, the text
// encodings it accepts and the files it refuses.

#include "candb/dbcreader.h"

#include <QtTest>

namespace {

QStringList nameList(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *name : list)
        out.append(QString::fromUtf8(name));
    return out;
}

// A small sound file with a place for the line(s) under test at line 13; everything around it
// must still load.
QByteArray fileAround(const QByteArray &inserted)
{
    return "VERSION \"\"\n"
           "\n"
           "NS_ :\n"
           "\tCM_\n"
           "\n"
           "BS_:\n"
           "\n"
           "BU_: ECU1 ECU2\n"
           "\n"
           "BO_ 100 First: 8 ECU1\n"
           " SG_ A : 0|8@1+ (1,0) [0|255] \"\" ECU2\n"
           "\n"
        + inserted
        + "\n"
          "\n"
          "BO_ 200 Second: 8 ECU1\n"
          " SG_ B : 0|8@1+ (1,0) [0|255] \"\" ECU2\n"
          "\n"
          "CM_ SG_ 200 B \"still read\";\n";
}

const DbcMessage *byName(const CanDatabase &database, const QString &name)
{
    for (const DbcMessage &message : database.messages()) {
        if (message.name == name)
            return &message;
    }
    return nullptr;
}

const DbcSignal *signalOf(const CanDatabase &database, const QString &message, const QString &name)
{
    const DbcMessage *found = byName(database, message);
    if (!found || found->signalIndex(name) < 0)
        return nullptr;
    return &found->signalList.at(found->signalIndex(name));
}

} // namespace

class tst_DbcReader : public QObject
{
    Q_OBJECT

private slots:
    void brokenLines_data();
    void brokenLines();
    void sections();
    void identifiers_data();
    void identifiers();
    void encodings_data();
    void encodings();
    void refused_data();
    void refused();
    void summary();
};

void tst_DbcReader::brokenLines_data()
{
    QTest::addColumn<QByteArray>("inserted");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("line");

    const QByteArray third = "BO_ 300 Third: 8 ECU1\n";
    QTest::newRow("garbage") << QByteArray("this is not a section") << int(DbcProblem::Unreadable)
                             << 13;
    QTest::newRow("message without a length")
        << QByteArray("BO_ 300 Third: ECU1") << int(DbcProblem::Unreadable) << 13;
    QTest::newRow("message identifier not a number")
        << QByteArray("BO_ x12 Third: 8 ECU1") << int(DbcProblem::Unreadable) << 13;
    QTest::newRow("extended identifier past 29 bits")
        << QByteArray("BO_ 3221225472 Big: 8 ECU1\n SG_ X : 0|8@1+ (1,0) [0|0] \"\" ECU2")
        << int(DbcProblem::IdentifierTooLong) << 13;
    QTest::newRow("identifier with bit 30")
        << QByteArray("BO_ 1073741824 Big: 8 ECU1") << int(DbcProblem::IdentifierTooLong) << 13;
    QTest::newRow("identifier past 32 bits")
        << QByteArray("BO_ 99999999999999 Big: 8 ECU1") << int(DbcProblem::IdentifierTooLong) << 13;
    QTest::newRow("two messages with one identifier")
        << QByteArray("BO_ 100 Again: 8 ECU1") << int(DbcProblem::DuplicateIdentifier) << 13;
    QTest::newRow("intel signal past 64 bits") << third + " SG_ C : 60|8@1+ (1,0) [0|0] \"\" ECU2"
                                               << int(DbcProblem::SignalPast64Bits) << 14;
    QTest::newRow("motorola signal past 64 bits")
        << third + " SG_ C : 58|8@0+ (1,0) [0|0] \"\" ECU2" << int(DbcProblem::SignalPast64Bits)
        << 14;
    QTest::newRow("start bit past 63") << third + " SG_ C : 64|1@1+ (1,0) [0|0] \"\" ECU2"
                                       << int(DbcProblem::SignalPast64Bits) << 14;
    QTest::newRow("signal of no bits")
        << third + " SG_ C : 0|0@1+ (1,0) [0|0] \"\" ECU2" << int(DbcProblem::SignalLength) << 14;
    QTest::newRow("signal of 65 bits")
        << third + " SG_ C : 0|65@1+ (1,0) [0|0] \"\" ECU2" << int(DbcProblem::SignalLength) << 14;
    QTest::newRow("signal after a comment, outside any message")
        << QByteArray("CM_ \"x\";\n SG_ C : 0|8@1+ (1,0) [0|0] \"\" ECU2")
        << int(DbcProblem::SignalOutsideMessage) << 14;
    QTest::newRow("byte order 2") << third + " SG_ C : 0|8@2+ (1,0) [0|0] \"\" ECU2"
                                  << int(DbcProblem::Unreadable) << 14;
    QTest::newRow("factor not a number")
        << third + " SG_ C : 0|8@1+ (1,x) [0|0] \"\" ECU2" << int(DbcProblem::Unreadable) << 14;
    QTest::newRow("range without its bracket")
        << third + " SG_ C : 0|8@1+ (1,0) [0|0 \"\" ECU2" << int(DbcProblem::Unreadable) << 14;
    QTest::newRow("multiplexor indicator unknown")
        << third + " SG_ C x1 : 0|8@1+ (1,0) [0|0] \"\" ECU2" << int(DbcProblem::Unreadable) << 14;
    QTest::newRow("multiplexed signal without a multiplexor")
        << third + " SG_ C m1 : 0|8@1+ (1,0) [0|0] \"\" ECU2" << int(DbcProblem::NoMultiplexor)
        << 14;
    QTest::newRow("comment on an unknown message")
        << QByteArray("CM_ BO_ 999 \"who\";") << int(DbcProblem::UnknownMessage) << 13;
    QTest::newRow("comment on an unknown signal")
        << QByteArray("CM_ SG_ 100 Nope \"who\";") << int(DbcProblem::UnknownSignal) << 13;
    QTest::newRow("comment without its closing quote")
        << QByteArray("CM_ BO_ 100 \"never closed;") << int(DbcProblem::UnclosedQuote) << 13;
    QTest::newRow("multi-line comment without its closing quote")
        << QByteArray("CM_ BO_ 100 \"never\nclosed;") << int(DbcProblem::UnclosedQuote) << 13;
    QTest::newRow("value without its name")
        << QByteArray("VAL_ 100 A 0 \"Off\" 1 ;") << int(DbcProblem::Unreadable) << 13;
    QTest::newRow("values of an unknown signal")
        << QByteArray("VAL_ 100 Nope 0 \"Off\" ;") << int(DbcProblem::UnknownSignal) << 13;
    QTest::newRow("float type on an 8-bit signal")
        << QByteArray("SIG_VALTYPE_ 100 A : 1;") << int(DbcProblem::FloatLength) << 13;
    QTest::newRow("float type 3") << QByteArray("SIG_VALTYPE_ 100 A : 3;")
                                  << int(DbcProblem::Unreadable) << 13;
    QTest::newRow("multiplexor values naming an unknown switch")
        << QByteArray("SG_MUL_VAL_ 100 A Nope 1-1;") << int(DbcProblem::UnknownSignal) << 13;
    QTest::newRow("multiplexor range upside down")
        << QByteArray("SG_MUL_VAL_ 100 A A 5-1;") << int(DbcProblem::Unreadable) << 13;
    QTest::newRow("multiplexors selecting each other") << third
            + " SG_ C m1M : 0|8@1+ (1,0) [0|0] \"\" ECU2\n SG_ D m1M : 8|8@1+ (1,0) [0|0] \"\" "
              "ECU2\n"
              "SG_MUL_VAL_ 300 C D 1-1;\nSG_MUL_VAL_ 300 D C 1-1;"
                                                       << int(DbcProblem::MultiplexorLoop) << 14;
    QTest::newRow("attribute of an unknown message")
        << QByteArray("BA_ \"GenMsgCycleTime\" BO_ 999 10;") << int(DbcProblem::UnknownMessage)
        << 13;
    QTest::newRow("attribute of an unknown type")
        << QByteArray("BA_DEF_ BO_ \"X\" BOGUS;") << int(DbcProblem::Unreadable) << 13;
    QTest::newRow("transmitters of an unknown message")
        << QByteArray("BO_TX_BU_ 999 : ECU1;") << int(DbcProblem::UnknownMessage) << 13;
    QTest::newRow("signal group without its colon")
        << QByteArray("SIG_GROUP_ 100 G 1 A;") << int(DbcProblem::Unreadable) << 13;
}

void tst_DbcReader::brokenLines()
{
    QFETCH(QByteArray, inserted);
    QFETCH(int, kind);
    QFETCH(int, line);
    const DbcReadResult result = DbcReader::readData(fileAround(inserted));
    QVERIFY(result.ok);
    QCOMPARE(result.problems.size(), 1);
    QCOMPARE(result.problemCount, 1);
    QCOMPARE(int(result.problems.first().kind), kind);
    QCOMPARE(result.problems.first().line, line);
    QVERIFY(!result.problems.first().reason.isEmpty());
    QVERIFY(result.problems.first().text.size() <= 80);
    QVERIFY(QString::fromUtf8(inserted).contains(result.problems.first().text.left(10)));

    // The rest still loads.
    QVERIFY(signalOf(result.database, QStringLiteral("First"), QStringLiteral("A")));
    const DbcSignal *b = signalOf(result.database, QStringLiteral("Second"), QStringLiteral("B"));
    QVERIFY(b);
    QCOMPARE(b->comment, QStringLiteral("still read"));
}

void tst_DbcReader::sections()
{
    const DbcReadResult result = DbcReader::readFile(QFINDTESTDATA("data/edgecases.dbc"));
    QVERIFY(result.ok);
    QVERIFY2(result.problems.isEmpty(), qPrintable(result.problemSummary()));
    const CanDatabase &db = result.database;
    QCOMPARE(db.messages().size(), 12);
    QCOMPARE(db.nodes, nameList({ "ECU1", "ECU2" }));
    QCOMPARE(db.comment, QStringLiteral("Edge cases for the decoder"));
    QCOMPARE(db.valueTables.value(QStringLiteral("OnOff")).value(1), QStringLiteral("On"));
    QCOMPARE(db.valueTables.value(QStringLiteral("OnOff")).size(), 2);

    const DbcMessage *moto = db.message(100, false);
    QVERIFY(moto);
    QCOMPARE(moto->name, QStringLiteral("MotoCross"));
    QCOMPARE(moto->transmitter, QStringLiteral("ECU1"));
    QCOMPARE(moto->transmitters, nameList({ "ECU1", "ECU2" }));
    QCOMPARE(moto->comment, QStringLiteral("Motorola signals crossing bytes\nat odd positions"));
    QCOMPARE(moto->cycleTimeMs, 20);
    QCOMPARE(moto->dlc, 8);
    const DbcSignal &crossSigned
        = moto->signalList.at(moto->signalIndex(QStringLiteral("CrossSigned")));
    QCOMPARE(crossSigned.startBit, 18);
    QCOMPARE(crossSigned.length, 13);
    QCOMPARE(crossSigned.byteOrder, DbcSignal::Motorola);
    QVERIFY(crossSigned.isSigned);
    QCOMPARE(crossSigned.factor, 0.1);
    QCOMPARE(crossSigned.offset, -40.0);
    QCOMPARE(crossSigned.minimum, -449.6);
    QCOMPARE(crossSigned.maximum, 369.5);
    QCOMPARE(crossSigned.unit, QStringLiteral("degC"));
    QCOMPARE(crossSigned.receivers, nameList({ "ECU2" }));

    const DbcMessage *wide = db.message(200, true);
    QVERIFY(wide);
    QVERIFY(!db.message(200, false));
    QCOMPARE(wide->cycleTimeMs, 1000);
    QCOMPARE(db.message(205, false)->cycleTimeMs, 0); // BA_DEF_DEF_

    const DbcSignal *temp = signalOf(db, QStringLiteral("Scaled"), QStringLiteral("Temp"));
    QCOMPARE(temp->comment, QStringLiteral("Coolant temperature"));
    QVERIFY(temp->hasStartValue);
    QCOMPARE(temp->startValue, 400.0);
    QCOMPARE(signalOf(db, QStringLiteral("Scaled"), QStringLiteral("Neg"))->startValue, 0.0);
    QCOMPARE(db.signalGroups.value(QStringLiteral("Scaled/Climate")), nameList({ "Temp", "Neg" }));

    QCOMPARE(signalOf(db, QStringLiteral("Floats"), QStringLiteral("F32"))->valueType,
             DbcSignal::Float32);
    QCOMPARE(signalOf(db, QStringLiteral("Double"), QStringLiteral("D64"))->valueType,
             DbcSignal::Float64);

    const DbcSignal *gear = signalOf(db, QStringLiteral("Named"), QStringLiteral("Gear"));
    QCOMPARE(gear->valueNames.value(-1), QStringLiteral("Reverse"));
    QCOMPARE(gear->valueNames.size(), 4);

    const DbcSignal *mux = signalOf(db, QStringLiteral("SimpleMux"), QStringLiteral("Mux"));
    QVERIFY(mux->isMultiplexor && !mux->isMultiplexed);
    const DbcSignal *sig1 = signalOf(db, QStringLiteral("SimpleMux"), QStringLiteral("Sig1"));
    QVERIFY(sig1->isMultiplexed);
    QCOMPARE(sig1->multiplexorName, QStringLiteral("Mux"));
    QVERIFY(sig1->isSelectedBy(1) && !sig1->isSelectedBy(0));

    const DbcSignal *sub = signalOf(db, QStringLiteral("ExtendedMux"), QStringLiteral("Sub"));
    QVERIFY(sub->isMultiplexor && sub->isMultiplexed);
    QCOMPARE(sub->multiplexorName, QStringLiteral("Top"));
    QCOMPARE(sub->muxRanges.size(), 2); // SG_MUL_VAL_ replaced "m1"
    QVERIFY(sub->isSelectedBy(1) && sub->isSelectedBy(4) && !sub->isSelectedBy(2));
    const DbcSignal *c = signalOf(db, QStringLiteral("ExtendedMux"), QStringLiteral("C"));
    QCOMPARE(c->multiplexorName, QStringLiteral("Top"));
    QVERIFY(c->isSelectedBy(2) && !c->isSelectedBy(1));
}

void tst_DbcReader::identifiers_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<uint>("id");
    QTest::addColumn<bool>("extended");

    const QByteArray formats = "BA_DEF_ BO_ \"VFrameFormat\" ENUM \"StandardCAN\",\"ExtendedCAN\","
                               "\"reserved\",\"J1939PG\";\n";
    QTest::newRow("standard") << QByteArray("BO_ 2047 M: 8 E") << 2047u << false;
    QTest::newRow("bit 31 marks extended") << QByteArray("BO_ 2147483649 M: 8 E") << 1u << true;
    QTest::newRow("largest extended") << QByteArray("BO_ 2684354559 M: 8 E") << 0x1FFFFFFFu << true;
    QTest::newRow("past 11 bits without bit 31") << QByteArray("BO_ 2048 M: 8 E") << 2048u << true;
    QTest::newRow("VFrameFormat ExtendedCAN")
        << "BO_ 5 M: 8 E\n" + formats + "BA_ \"VFrameFormat\" BO_ 5 1;" << 5u << true;
    QTest::newRow("VFrameFormat J1939PG")
        << "BO_ 5 M: 8 E\n" + formats + "BA_ \"VFrameFormat\" BO_ 5 3;" << 5u << true;
    QTest::newRow("VFrameFormat StandardCAN")
        << "BO_ 5 M: 8 E\n" + formats + "BA_ \"VFrameFormat\" BO_ 5 0;" << 5u << false;
}

void tst_DbcReader::identifiers()
{
    QFETCH(QByteArray, lines);
    QFETCH(uint, id);
    QFETCH(bool, extended);
    const DbcReadResult result = DbcReader::readData("VERSION \"\"\n" + lines + "\n");
    QVERIFY(result.ok);
    QVERIFY2(result.problems.isEmpty(), qPrintable(result.problemSummary()));
    QCOMPARE(result.database.messages().size(), 1);
    QVERIFY(result.database.message(id, extended));
}

void tst_DbcReader::encodings_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("valueName");

    QFile file(QFINDTESTDATA("data/windows1252.dbc"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray cp1252 = file.readAll();
    QTest::newRow("windows-1252") << cp1252 << QStringLiteral("°C") << QStringLiteral("Größer");
    const QByteArray utf8 = "VERSION \"\"\nBO_ 400 Klima: 8 E\n"
                            " SG_ Stufe : 8|2@1+ (1,0) [0|3] \"\xc2\xb0"
                            "C\" E\n"
                            "VAL_ 400 Stufe 2 \"Gr\xc3\xb6\xc3\x9f"
                            "er\" ;\n";
    QTest::newRow("utf-8") << utf8 << QStringLiteral("°C") << QStringLiteral("Größer");
    QTest::newRow("utf-8 with a byte order mark")
        << "\xef\xbb\xbf" + utf8 << QStringLiteral("°C") << QStringLiteral("Größer");
    // One byte that is not UTF-8 makes the whole file Windows-1252.
    QTest::newRow("utf-8 spoilt by one windows-1252 byte") << utf8
            + "CM_ \"\xe9\";\n" << QStringLiteral("Â°C") << QStringLiteral("GrÃ¶ÃŸer");
}

void tst_DbcReader::encodings()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, unit);
    QFETCH(QString, valueName);
    const DbcReadResult result = DbcReader::readData(data);
    QVERIFY(result.ok);
    QVERIFY2(result.problems.isEmpty(), qPrintable(result.problemSummary()));
    const DbcSignal *stufe
        = signalOf(result.database, QStringLiteral("Klima"), QStringLiteral("Stufe"));
    QVERIFY(stufe);
    const DbcSignal *temperature
        = signalOf(result.database, QStringLiteral("Klima"), QStringLiteral("Temperatur"));
    QCOMPARE(temperature ? temperature->unit : stufe->unit, unit);
    QCOMPARE(stufe->valueNames.value(2), valueName);
    if (temperature) {
        QCOMPARE(result.database.nodes, QStringList(QStringLiteral("Steuergerät")));
        QCOMPARE(signalOf(result.database, QStringLiteral("Klima"), QStringLiteral("Druck"))->unit,
                 QStringLiteral("€/h"));
        QCOMPARE(result.database.message(400, false)->comment,
                 QStringLiteral("Klimaanlage für den Innenraum – Größe"));
    }
}

void tst_DbcReader::refused_data()
{
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("blank lines") << QByteArray("\n\n  \n");
    QTest::newRow("binary") << QByteArray("\x7f"
                                          "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0",
                                          20);
    QTest::newRow("candump log") << QByteArray("(1700000000.000000) can0 123#1122334455667788\n");
    QTest::newRow("json") << QByteArray("{\"BO_\": 1}\n");
    QTest::newRow("only comments and values") << QByteArray("CM_ \"x\";\nVAL_ 1 A 0 \"Off\";\n");
}

void tst_DbcReader::refused()
{
    QFETCH(QByteArray, data);
    const DbcReadResult result = DbcReader::readData(data, QStringLiteral("x.dbc"));
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QVERIFY(result.database.messages().isEmpty());

    const DbcReadResult missing = DbcReader::readFile(QStringLiteral("/nonexistent/x.dbc"));
    QVERIFY(!missing.ok);
    QVERIFY(missing.error.contains(QLatin1String("/nonexistent/x.dbc")));
}

void tst_DbcReader::summary()
{
    QByteArray data = "VERSION \"\"\n";
    for (int i = 0; i < 7; ++i)
        data += "broken line number " + QByteArray::number(i + 2) + "\n";
    const DbcReadResult result = DbcReader::readData(data);
    QVERIFY(result.ok);
    QCOMPARE(result.problemCount, 7);
    const QString summary = result.problemSummary(5);
    QVERIFY(summary.contains(QLatin1String("7")));
    for (int line = 2; line <= 6; ++line)
        QVERIFY(summary.contains(QStringLiteral("broken line number %1").arg(line)));
    QVERIFY(!summary.contains(QLatin1String("broken line number 7")));
    QVERIFY(DbcReader::readData("VERSION \"\"\n").problemSummary().isEmpty());
}

QTEST_APPLESS_MAIN(tst_DbcReader)
#include "tst_dbcreader.moc"
