#include "protocol/canframe.h"
#include "protocol/common.h"

#include <QDateTime>
#include <QTimer>
#include <QtTest>

class tst_CanFrame : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void delayWaitsAndProcessesEvents();
};

void tst_CanFrame::parse_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("extended");
    QTest::addColumn<int>("remote");
    QTest::addColumn<int>("dlc");
    QTest::addColumn<quint32>("id");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("extended, no data")
        << QByteArray::fromHex("80443322110000000000000000") << 128 << 0 << 0 << quint32(0x11223344)
        << QByteArray();
    QTest::newRow("remote frame keeps its data bytes")
        << QByteArray::fromHex("48FF07000001020304050607") + QByteArray(1, '\x08') << 0 << 64 << 8
        << quint32(0x7FF) << QByteArray::fromHex("0102030405060708");
    QTest::newRow("short record pads data with zeros")
        << QByteArray::fromHex("04010000000A0B") << 0 << 0 << 4 << quint32(1)
        << QByteArray::fromHex("0A0B0000");
    QTest::newRow("record without a whole identifier reads id 0")
        << QByteArray::fromHex("880102") << 128 << 0 << 8 << quint32(0) << QByteArray(8, '\0');
    QTest::newRow("empty record reads all zeros")
        << QByteArray() << 0 << 0 << 0 << quint32(0) << QByteArray();
    QTest::newRow("DLC above 8 yields extra zero bytes")
        << QByteArray::fromHex("0F78563412AABBCCDDEEFF0011") << 0 << 0 << 15 << quint32(0x12345678)
        << QByteArray::fromHex("AABBCCDDEEFF0011") + QByteArray(7, '\0');
    QTest::newRow("extended remote with unused bits set")
        << QByteArray::fromHex("F3FFFFFF1F1122330000000000") << 128 << 64 << 3
        << quint32(0x1FFFFFFF) << QByteArray::fromHex("112233");
}

void tst_CanFrame::parse()
{
    QFETCH(QByteArray, record);
    QFETCH(int, extended);
    QFETCH(int, remote);
    QFETCH(int, dlc);
    QFETCH(quint32, id);
    QFETCH(QByteArray, data);

    const CanFrameInfo info(record);
    QCOMPARE(info.extended(), extended);
    QCOMPARE(info.remote(), remote);
    QCOMPARE(int(info.dlc()), dlc);
    QCOMPARE(info.id(), id);
    QCOMPARE(info.data, data);
}

void tst_CanFrame::delayWaitsAndProcessesEvents()
{
    bool fired = false;
    QTimer::singleShot(0, this, [&fired] { fired = true; });
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    common::delayMsec(30);
    QVERIFY(QDateTime::currentMSecsSinceEpoch() - start > 30);
    QVERIFY(fired);

    // Even a zero wait lets queued work run at least once.
    bool firedAgain = false;
    QTimer::singleShot(0, this, [&firedAgain] { firedAgain = true; });
    common::delayMsec(0);
    QVERIFY(firedAgain);
}

QTEST_GUILESS_MAIN(tst_CanFrame)
#include "tst_canframe.moc"
