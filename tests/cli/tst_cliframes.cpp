// The frame texts a script hands the command line: cansend's frames and candump's filters.

#include "cli/cliframes.h"
#include "link/adaptersession.h"

#include <QtTest>

class tst_CliFrames : public QObject
{
    Q_OBJECT
private slots:
    void sendFrame_data();
    void sendFrame();
    void filter_data();
    void filter();
    void bitRate_data();
    void bitRate();
};

void tst_CliFrames::sendFrame_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("id");
    QTest::addColumn<int>("info");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("standard") << "123#DEADBEEF" << true << 0x123u << 4
                              << QByteArray("\xDE\xAD\xBE\xEF");
    QTest::newRow("no data") << "7FF#" << true << 0x7FFu << 0 << QByteArray();
    QTest::newRow("dotted bytes") << "001#11.22.33" << true << 1u << 3
                                  << QByteArray("\x11\x22\x33");
    QTest::newRow("extended") << "1FFFFFFF#0102030405060708" << true << 0x1FFFFFFFu << (0x80 | 8)
                              << QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08");
    QTest::newRow("extended small id")
        << "00000123#AA" << true << 0x123u << (0x80 | 1) << QByteArray("\xAA");
    QTest::newRow("remote") << "123#R" << true << 0x123u << 0x40 << QByteArray();
    QTest::newRow("remote with length") << "123#R4" << true << 0x123u << (0x40 | 4) << QByteArray();
    QTest::newRow("extended remote")
        << "12345678#r" << true << 0x12345678u << (0x80 | 0x40) << QByteArray();
    QTest::newRow("standard id too large") << "800#00" << false << 0u << 0 << QByteArray();
    QTest::newRow("extended id too large") << "20000000#00" << false << 0u << 0 << QByteArray();
    QTest::newRow("four id digits") << "0123#00" << false << 0u << 0 << QByteArray();
    QTest::newRow("nine data bytes")
        << "123#010203040506070809" << false << 0u << 0 << QByteArray();
    QTest::newRow("odd digits") << "123#ABC" << false << 0u << 0 << QByteArray();
    QTest::newRow("not hex") << "123#GG" << false << 0u << 0 << QByteArray();
    QTest::newRow("no hash") << "123DEAD" << false << 0u << 0 << QByteArray();
    QTest::newRow("remote length 9") << "123#R9" << false << 0u << 0 << QByteArray();
}

void tst_CliFrames::sendFrame()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    LogFrame frame;
    QCOMPARE(CliFrames::parseSendFrame(text, &frame), valid);
    if (!valid)
        return;
    QFETCH(quint32, id);
    QFETCH(int, info);
    QFETCH(QByteArray, data);
    QCOMPARE(frame.id, id);
    QCOMPARE(int(frame.info), info);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame.data), frame.dataCount()), data);
    // What is not given is zero on the wire.
    for (int i = frame.dataCount(); i < 8; ++i)
        QCOMPARE(int(frame.data[i]), 0);
}

void tst_CliFrames::filter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("id");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<bool>("passes");

    QTest::newRow("exact match") << "123:7FF" << true << 0x123u << false << true;
    QTest::newRow("exact miss") << "123:7FF" << true << 0x124u << false << false;
    QTest::newRow("mask ignores low bits") << "120:7F0" << true << 0x12Fu << false << true;
    QTest::newRow("standard filter, extended frame")
        << "123:7FF" << true << 0x123u << true << false;
    QTest::newRow("extended filter") << "00000123:1FFFFFFF" << true << 0x123u << true << true;
    QTest::newRow("extended filter, standard frame")
        << "00000123:1FFFFFFF" << true << 0x123u << false << false;
    QTest::newRow("inverted keeps others") << "123~7FF" << true << 0x124u << false << true;
    QTest::newRow("inverted drops match") << "123~7FF" << true << 0x123u << false << false;
    QTest::newRow("no mask") << "123" << false << 0u << false << false;
    QTest::newRow("not hex") << "12X:7FF" << false << 0u << false << false;
}

void tst_CliFrames::filter()
{
    QFETCH(QString, filter);
    QFETCH(bool, valid);
    CliFrames::IdFilter parsed;
    QCOMPARE(CliFrames::parseFilter(filter, &parsed), valid);
    if (!valid)
        return;
    QFETCH(quint32, id);
    QFETCH(bool, extended);
    QFETCH(bool, passes);
    LogFrame frame;
    frame.id = id;
    frame.info = extended ? LogFrame::Extended : 0;
    QCOMPARE(parsed.passes(frame), passes);
}

void tst_CliFrames::bitRate_data()
{
    QTest::addColumn<QString>("rate");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("expected");

    // Standard rates keep the device panel's codes, not the calculator's first row.
    QTest::newRow("500k") << "500k" << true << 0x030C0008u;
    QTest::newRow("250 plain") << "250" << true << 0x020B0012u;
    QTest::newRow("1M") << "1M" << true << 0x030C0004u;
    QTest::newRow("kbps suffix") << "125kbps" << true << 0x020B0024u;
    // Any other rate is the calculator's first candidate, found here by a brute-force sweep:
    // prescaler 9, TBS1 13, TBS2 4 (72000 / (9 * 20) = 400, sample point 75 %).
    QTest::newRow("400k calculated") << "400k" << true << 0x040D0009u;
    QTest::newRow("40k calculated") << "40k" << true << 0x040D005Au;
    QTest::newRow("raw code") << "0x020B0012" << true << 0x020B0012u;
    QTest::newRow("33k has no timing") << "33k" << false << 0u;
    QTest::newRow("too fast") << "2M" << false << 0u;
    QTest::newRow("words") << "fast" << false << 0u;
}

void tst_CliFrames::bitRate()
{
    QFETCH(QString, rate);
    QFETCH(bool, valid);
    quint32 code = 0;
    QCOMPARE(AdapterSession::timingCodeFor(rate, &code), valid);
    if (!valid)
        return;
    QFETCH(quint32, expected);
    QCOMPARE(code, expected);
}

QTEST_APPLESS_MAIN(tst_CliFrames)
#include "tst_cliframes.moc"
