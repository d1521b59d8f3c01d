#include "candb/dbcreader.h"
#include "send/signalcomposer.h"
#include "support/vehicledbc.h"

#include <QtTest>

// Values are given and expected as "signal=value" items split by "|", in the order set.
class tst_SignalComposer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void valuesToBytes_data();
    void valuesToBytes();
    void bytesToValues_data();
    void bytesToValues();
    void refused_data();
    void refused();

private:
    DbcMessage message(const QString &name) const;

    CanDatabase m_database;
};

void tst_SignalComposer::initTestCase()
{
    const DbcReadResult read = DbcReader::readData(vehicleDbc(), QStringLiteral("vehicle.dbc"));
    QVERIFY2(read.ok && read.problems.isEmpty(), qPrintable(read.error + read.problemSummary()));
    m_database = read.database;
}

DbcMessage tst_SignalComposer::message(const QString &name) const
{
    for (const DbcMessage &m : m_database.messages()) {
        if (m.name == name)
            return m;
    }
    return DbcMessage();
}

void tst_SignalComposer::valuesToBytes_data()
{
    QTest::addColumn<QString>("messageName");
    QTest::addColumn<QString>("values");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("nothing set") << "Engine"
                                 << "" << QByteArray::fromHex("0000000000000000");
    QTest::newRow("every signal, by name") << "Engine"
                                           << "Speed=2000|Temp=-50|Gear=Drive|Torque=-10.5|Tail=42"
                                           << QByteArray::fromHex("401FF6030FFB2A00");
    QTest::newRow("named value as its number")
        << "Engine"
        << "Gear=3" << QByteArray::fromHex("0000000300000000");
    QTest::newRow("Motorola positive, rounded to the factor")
        << "Engine"
        << "Torque=194.66" << QByteArray::fromHex("0000000007FF0000");
    QTest::newRow("later value replaces the earlier")
        << "Engine"
        << "Speed=1|Speed=0.25|Tail=255" << QByteArray::fromHex("010000000000FF00");
    QTest::newRow("multiplexed signal sets its selector")
        << "Mux"
        << "Count=1234" << QByteArray::fromHex("02D20400");
    QTest::newRow("extended multiplexing sets both switches")
        << "Diag"
        << "Value=7" << QByteArray::fromHex("010207");
    QTest::newRow("other multiplexed signal switches it")
        << "Mux"
        << "Count=1|Volt=12.34" << QByteArray::fromHex("01D20400");
}

void tst_SignalComposer::valuesToBytes()
{
    QFETCH(QString, messageName);
    QFETCH(QString, values);
    QFETCH(QByteArray, bytes);

    const DbcMessage m = message(messageName);
    SignalComposer composer(m);
    for (const QString &item : values.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        QString error;
        const int signal = m.signalIndex(item.section(QLatin1Char('='), 0, 0));
        QVERIFY2(composer.setValue(signal, item.section(QLatin1Char('='), 1), &error),
                 qPrintable(error));
    }
    QCOMPARE(composer.bytes().toHex(' '), bytes.toHex(' '));
}

void tst_SignalComposer::bytesToValues_data()
{
    QTest::addColumn<QString>("messageName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("values");

    QTest::newRow("every signal") << "Engine" << QByteArray::fromHex("401FF6030FFB2A00")
                                  << "Speed=2000|Temp=-50|Gear=Drive|Torque=-10.5|Tail=42";
    QTest::newRow("extremes") << "Engine" << QByteArray::fromHex("FFFF7F07F7FFFF00")
                              << "Speed=16383.75|Temp=87|Gear=7|Torque=194.7|Tail=255";
    QTest::newRow("Motorola most negative") << "Engine" << QByteArray::fromHex("0000800008000000")
                                            << "Speed=0|Temp=-168|Gear=Park|Torque=-214.8|Tail=0";
    QTest::newRow("selector 1 carries Volt only")
        << "Mux" << QByteArray::fromHex("01D20400") << "Selector=1|Volt=12.34|Count=";
    QTest::newRow("inner switch off: Value left out")
        << "Diag" << QByteArray::fromHex("010307") << "Service=1|Sub=3|Value=";
    QTest::newRow("selector 7 carries neither")
        << "Mux" << QByteArray::fromHex("07D20400") << "Selector=7|Volt=|Count=";
}

void tst_SignalComposer::bytesToValues()
{
    QFETCH(QString, messageName);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, values);

    const DbcMessage m = message(messageName);
    SignalComposer composer(m);
    composer.setBytes(bytes);
    QCOMPARE(composer.bytes(), bytes);
    for (const QString &item : values.split(QLatin1Char('|'))) {
        const int signal = m.signalIndex(item.section(QLatin1Char('='), 0, 0));
        const QString expected = item.section(QLatin1Char('='), 1);
        QCOMPARE(composer.carries(signal), !expected.isEmpty());
        const QString shown = composer.valueText(signal);
        bool number = false;
        const double expectedNumber = expected.toDouble(&number);
        if (number)
            QCOMPARE(shown.toDouble(), expectedNumber);
        else
            QCOMPARE(shown, expected);
    }
}

void tst_SignalComposer::refused_data()
{
    QTest::addColumn<QString>("messageName");
    QTest::addColumn<QString>("signal");
    QTest::addColumn<QString>("value");

    QTest::newRow("past 16 bits") << "Engine"
                                  << "Speed"
                                  << "16384";
    QTest::newRow("negative into unsigned") << "Engine"
                                            << "Speed"
                                            << "-0.25";
    QTest::newRow("above signed 8 bits") << "Engine"
                                         << "Temp"
                                         << "88";
    QTest::newRow("below signed 12 bits") << "Engine"
                                          << "Torque"
                                          << "-214.9";
    QTest::newRow("above 3 bits") << "Engine"
                                  << "Gear"
                                  << "8";
    QTest::newRow("unknown name") << "Engine"
                                  << "Gear"
                                  << "Sport";
    QTest::newRow("not a number") << "Engine"
                                  << "Tail"
                                  << "4x";
    QTest::newRow("empty") << "Mux"
                           << "Volt"
                           << "";
}

void tst_SignalComposer::refused()
{
    QFETCH(QString, messageName);
    QFETCH(QString, signal);
    QFETCH(QString, value);

    const DbcMessage m = message(messageName);
    SignalComposer composer(m);
    const QByteArray before = QByteArray::fromHex("123456789ABCDEF0").left(m.dlc);
    composer.setBytes(before);
    QString error;
    QVERIFY(!composer.setValue(m.signalIndex(signal), value, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(composer.bytes(), before);
}

QTEST_APPLESS_MAIN(tst_SignalComposer)
#include "tst_signalcomposer.moc"
