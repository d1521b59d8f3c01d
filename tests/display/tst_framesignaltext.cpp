#include "candb/dbcreader.h"
#include "display/framesignaltext.h"
#include "display/idoverviewmodel.h"
#include "display/rstanditemmodel.h"
#include "display/signalhub.h"
#include "support/privatesettingsmain.h"
#include "support/textfile.h"
#include "support/vehicledbc.h"

#include <QtTest>

// Expected lines, split by "|": "name=value" with value a number or a value name, the unit after
// a space; "name!" for a missing signal.

class tst_FrameSignalText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void describe_data();
    void describe();
    void toolTipStartsWithTheMessage();
    void viewsShowTheDatabasesInUse();

private:
    CanDatabase m_database;
};

void tst_FrameSignalText::initTestCase()
{
    const DbcReadResult read = DbcReader::readData(vehicleDbc(), QStringLiteral("vehicle.dbc"));
    QVERIFY2(read.ok, qPrintable(read.error));
    QVERIFY2(read.problems.isEmpty(), qPrintable(read.problemSummary()));
    m_database = read.database;
}

void tst_FrameSignalText::describe_data()
{
    QTest::addColumn<quint32>("id");
    QTest::addColumn<quint8>("info");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expectedLines");

    const quint8 ext = LogFrame::Extended;
    QTest::newRow("every signal, Motorola across a byte")
        << 0x100u << quint8(8) << QByteArray::fromHex("401FF6030FFB2A00") << "Engine"
        << "Speed=2000 rpm|Temp=-50 degC|Gear=Drive|Torque=-10.5 Nm|Tail=42";
    QTest::newRow("past the length is missing")
        << 0x100u << quint8(5) << QByteArray::fromHex("401FF6010F") << "Engine"
        << "Speed=2000 rpm|Temp=-50 degC|Gear=Reverse|Torque!|Tail!";
    QTest::newRow("multiplexed: selector 1")
        << 0x18FF50E5u << quint8(ext | 4) << QByteArray::fromHex("01D20400") << "Mux"
        << "Selector=1|Volt=12.34 V";
    QTest::newRow("multiplexed: selector 2")
        << 0x18FF50E5u << quint8(ext | 4) << QByteArray::fromHex("02D20400") << "Mux"
        << "Selector=2|Count=1234";
    QTest::newRow("multiplexed, cut short")
        << 0x18FF50E5u << quint8(ext | 2) << QByteArray::fromHex("01D2") << "Mux"
        << "Selector=1|Volt!";
    QTest::newRow("selector absent: both missing")
        << 0x18FF50E5u << quint8(ext | 0) << QByteArray() << "Mux"
        << "Selector!|Volt!|Count!";
    QTest::newRow("extended multiplexing: both switches select")
        << 0x200u << quint8(3) << QByteArray::fromHex("010207") << "Diag"
        << "Service=1|Sub=2|Value=7";
    QTest::newRow("extended multiplexing: inner switch selects another")
        << 0x200u << quint8(3) << QByteArray::fromHex("010307") << "Diag"
        << "Service=1|Sub=3";
    QTest::newRow("extended multiplexing: outer switch leaves both out")
        << 0x200u << quint8(3) << QByteArray::fromHex("020207") << "Diag"
        << "Service=2";
    QTest::newRow("remote frame says nothing")
        << 0x100u << quint8(LogFrame::Remote | 8) << QByteArray() << ""
        << "";
    QTest::newRow("unknown identifier") << 0x101u << quint8(8) << QByteArray(8, '\0') << ""
                                        << "";
}

void tst_FrameSignalText::describe()
{
    QFETCH(quint32, id);
    QFETCH(quint8, info);
    QFETCH(QByteArray, data);
    QFETCH(QString, message);
    QFETCH(QString, expectedLines);
    const QStringList lines = expectedLines.split(QLatin1Char('|'), Qt::SkipEmptyParts);

    LogFrame frame;
    frame.channel = 1;
    frame.id = id;
    frame.info = info;
    for (int i = 0; i < data.size() && i < 8; ++i)
        frame.data[i] = quint8(data.at(i));

    const DbcMessage *found = m_database.message(id, info & LogFrame::Extended);
    const FrameSignals described
        = found ? FrameSignalText::describe(*found, frame) : FrameSignals();
    QCOMPARE(described.messageName, message);
    QCOMPARE(described.lines.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        const FrameSignalLine &line = described.lines.at(i);
        QCOMPARE(line.key.id, id);
        QCOMPARE(line.key.channel, 1);
        const QString &expected = lines.at(i);
        if (expected.endsWith(QLatin1Char('!'))) {
            QCOMPARE(line.key.signal, expected.chopped(1));
            QVERIFY(line.missing);
            QVERIFY(line.value.isEmpty());
            continue;
        }
        const QString name = expected.section(QLatin1Char('='), 0, 0);
        const QString valueAndUnit = expected.section(QLatin1Char('='), 1);
        const QString value = valueAndUnit.section(QLatin1Char(' '), 0, 0);
        QCOMPARE(line.key.signal, name);
        QVERIFY(!line.missing);
        QCOMPARE(line.unit, valueAndUnit.section(QLatin1Char(' '), 1));
        bool number = false;
        const double expectedNumber = value.toDouble(&number);
        if (number)
            QCOMPARE(line.value.toDouble(), expectedNumber);
        else
            QCOMPARE(line.value, value);
    }
}

void tst_FrameSignalText::toolTipStartsWithTheMessage()
{
    LogFrame frame;
    frame.channel = 2;
    frame.id = 0x100;
    frame.info = 3;
    const FrameSignals described
        = FrameSignalText::describe(*m_database.message(0x100, false), frame);
    const QStringList tip = FrameSignalText::toolTip(described).split(QLatin1Char('\n'));
    QCOMPARE(tip.value(0), QStringLiteral("Engine"));
    QCOMPARE(tip.size(), 1 + 5);
    QVERIFY(tip.at(4).contains(QLatin1String("Torque")));
    QVERIFY(tip.at(4) != tip.at(1));
    QCOMPARE(FrameSignalText::toolTip(FrameSignals()), QString());
}

// The trace's tooltip and the overview's columns follow the program's databases as they come
// and go, on the channels each is for.
void tst_FrameSignalText::viewsShowTheDatabasesInUse()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vehicle.dbc"));
    QVERIFY(writeTestFile(path, vehicleDbc()));

    CanRecord engine;
    engine.channel = 2;
    engine.id = 0x100;
    engine.info = 8;
    CanRecord other = engine;
    other.channel = 1;
    LockedHandoff<CanRecordView> handoff;
    handoff.set(CanRecordView(CanRecordList { engine, other }));
    RstandItemModel trace(&handoff);
    trace.refresh();

    IdOverview overview;
    IdOverviewModel overviewModel(&overview);
    overview.add(engine, false);
    overview.add(other, false);
    overview.publish();
    overviewModel.refresh();
    QCOMPARE(overviewModel.rowCount(), 2);
    const auto message = [&](int row) {
        return overviewModel.index(row, IdOverviewModel::MessageColumn).data().toString();
    };

    QVERIFY(!trace.index(0, 3).data(Qt::ToolTipRole).isValid());
    QCOMPARE(message(0), QString());

    DatabaseSet *databases = SignalHub::instance()->databases();
    databases->add(path, DatabaseSet::Channel2);
    QVERIFY(
        trace.index(0, 3).data(Qt::ToolTipRole).toString().startsWith(QLatin1String("Engine\n")));
    QVERIFY(!trace.index(1, 3).data(Qt::ToolTipRole).isValid());
    QCOMPARE(message(0), QStringLiteral("Engine"));
    QCOMPARE(message(1), QString());
    QVERIFY(overviewModel.index(0, IdOverviewModel::SignalsColumn)
                .data()
                .toString()
                .contains(QLatin1String("Gear = Park")));

    databases->remove(0);
    QCOMPARE(message(0), QString());
    QVERIFY(!trace.index(0, 3).data(Qt::ToolTipRole).isValid());
}

RCAN_TEST_MAIN_PRIVATE_SETTINGS(tst_FrameSignalText)
#include "tst_framesignaltext.moc"
