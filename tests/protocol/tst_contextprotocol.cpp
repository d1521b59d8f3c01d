#include "protocol/contextprotocol.h"
#include "support/signalrecorder.h"

#include <QtTest>

namespace {
QByteArray record(const char *hex)
{
    QByteArray r = QByteArray::fromHex(hex);
    r.append(QByteArray(20 - r.size(), '\0')); // unlisted bytes are zero
    return r;
}
} // namespace

class tst_ContextProtocol : public QObject
{
    Q_OBJECT
private slots:
    void builders_data();
    void builders();
    void decode_data();
    void decode();
    void signalsAreDeclaredInOrder();

private:
    QStringList decodeBatch(QByteArray batch);
};

void tst_ContextProtocol::builders_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("device open") << contextProtocol::buildDeviceOpen()
                                 << QByteArray::fromHex("F0010D0A");
    QTest::newRow("device close") << contextProtocol::buildDeviceClose()
                                  << QByteArray::fromHex("F00F0D0A");
    QTest::newRow("channel 2 close")
        << contextProtocol::buildBaudRateConfig(2, QByteArray(4, '\0'))
        << QByteArray::fromHex("F0020200000000" "0D0A");
    QTest::newRow("channel 1 at a timing code")
        << contextProtocol::buildBaudRateConfig(1, QByteArray::fromHex("12000B02"))
        << QByteArray::fromHex("F0020112000B020D0A");
    QTest::newRow("extended remote frame")
        << contextProtocol::buildCanFrame(64, 128, 0, 0x18FF50E5, QByteArray::fromHex("0102030405060708"))
        << QByteArray::fromHex("C0E550FF180102030405060708");
    QTest::newRow("info byte is truncated to 8 bits")
        << contextProtocol::buildCanFrame(0x140, 0, 8, 1, QByteArray(8, '\0'))
        << QByteArray::fromHex("48010000000000000000000000");
    const QByteArray frame = contextProtocol::buildCanFrame(0, 0, 2, 0x7FF,
                                                            QByteArray::fromHex("AABB000000000000"));
    QTest::newRow("standard data frame send")
        << contextProtocol::buildCanSend(1, frame, 0x01234678)
        << QByteArray::fromHex("F0050102FF0700" "00AABB000000000000" "78462301");
    QTest::newRow("send carries every byte value unchanged")
        << contextProtocol::buildCanSend(0xFF, QByteArray::fromHex("0D0AF0FF0D0A000000000000FF"), 0xFFFFFFFF)
        << QByteArray::fromHex("F005FF0D0AF0FF0D0A000000000000FFFFFFFFFF");
}

void tst_ContextProtocol::builders()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
}

QStringList tst_ContextProtocol::decodeBatch(QByteArray batch)
{
    SignalRecorder recorder(contextProtocol::instance(), nullptr, Qt::DirectConnection);
    contextProtocol::instance()->On_SerialSocket_BytesRecved_Hander(batch);
    return recorder.events();
}

void tst_ContextProtocol::decode_data()
{
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("extended frame on channel 1 at 1.0000 s")
        << QByteArray::fromHex("FF04018823010000112233445566778810270000")
        << QStringList{QStringLiteral("frame 1 88 23 01 00 00 11 22 33 44 55 66 77 88 10000 0")};
    QTest::newRow("send confirmation, trailing bytes ignored")
        << record("FF050201784623010500000099999999")
        << QStringList{QStringLiteral("sent 2 1 1234678 5")};
    QTest::newRow("open response with model name")
        << record("FF011102" "5243414E2D553031")
        << QStringList{QStringLiteral("open 17 2 RCAN-U01")};
    QTest::newRow("model name without terminator stops at 15 characters")
        << QByteArray::fromHex("FF01010241424344454647484950515253545556")
        << QStringList{QStringLiteral("open 1 2 ABCDEFGHIPQRSTU")};
    QTest::newRow("bit-rate result word 0x01000000 is success")
        << record("FF020100000001") << QStringList{QStringLiteral("baud 1 true")};
    QTest::newRow("bit-rate result word 0 is failure")
        << record("FF020200000000") << QStringList{QStringLiteral("baud 2 false")};
    QTest::newRow("device states: half load then error count")
        << record("FF0301E8030000003F07000000")
        << QStringList{QStringLiteral("states 1 1000 50"), QStringLiteral("errors 1 7")};
    QTest::newRow("device states: full load")
        << record("FF03020000000080" "3F")
        << QStringList{QStringLiteral("states 2 0 100"), QStringLiteral("errors 2 0")};
    QTest::newRow("close response") << record("FF0F") << QStringList{QStringLiteral("close")};
    QTest::newRow("19 bytes decode nothing")
        << record("FF0F").left(19) << QStringList{};
    QTest::newRow("39 bytes decode only the first record")
        << record("FF0F") + record("FF0F").left(19) << QStringList{QStringLiteral("close")};
    QTest::newRow("unknown keys are skipped whole")
        << record("FF06") + record("0004010000") + record("FF84") + record("FF0E") + record("FF0F")
        << QStringList{QStringLiteral("close")};
    QTest::newRow("two records keep their order across signals")
        << record("FF0301E8030000003F07000000") + record("FF0402" "017B00000099")
        << QStringList{QStringLiteral("states 1 1000 50"), QStringLiteral("errors 1 7"),
                       QStringLiteral("frame 2 01 7B 00 00 00 99 00 00 00 00 00 00 00 0 0")};
}

void tst_ContextProtocol::decode()
{
    QFETCH(QByteArray, batch);
    QFETCH(QStringList, expected);
    QCOMPARE(decodeBatch(batch), expected);
}

void tst_ContextProtocol::signalsAreDeclaredInOrder()
{
    // Receivers and queued connections rely on these exact signatures.
    const QStringList expected{
        QStringLiteral("signal_RSP_DeviceOpen(uchar,uchar,QString)"),
        QStringLiteral("signal_RSP_BaudRateConfig(uchar,bool)"),
        QStringLiteral("signal_REP_DeviceStates(uchar,ushort,float)"),
        QStringLiteral("signal_REP_ErroCount(uchar,uint)"),
        QStringLiteral("signal_REP_CANFrame(uchar,QByteArray,uint,uint)"),
        QStringLiteral("signal_RSP_CANSend(uchar,uchar,uint,uint)"),
        QStringLiteral("signal_RSP_DeviceClose()"),
    };
    const QMetaObject &meta = contextProtocol::staticMetaObject;
    QStringList declared;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).methodType() == QMetaMethod::Signal)
            declared.append(QString::fromLatin1(meta.method(i).methodSignature()));
    }
    QCOMPARE(declared, expected);
}

QTEST_GUILESS_MAIN(tst_ContextProtocol)
#include "tst_contextprotocol.moc"
