#include "link/recordframer.h"
#include "protocol/contextprotocol.h"

#include <QtTest>

namespace {
QByteArray canRecord(quint8 channel, quint32 id, quint32 stamp, quint8 fill)
{
    QByteArray r = QByteArray::fromHex("FF04");
    r.append(char(channel));
    r.append(char(0x08)); // standard data frame, DLC 8
    Wire::appendU32(r, id);
    r.append(QByteArray(8, char(fill)));
    Wire::appendU32(r, stamp);
    return r;
}

// A stream of distinct frame records, every third of which carries "FF 04 01 08" in its data,
// so that a naive search for the record mark would lock onto the payload.
QByteArray hostileStream(int records)
{
    QByteArray out;
    for (int i = 0; i < records; ++i) {
        QByteArray r = canRecord(1 + (i & 1), 0x100 + quint32(i), quint32(i), quint8(i * 7 + 1));
        if (i % 3 == 0) {
            r[8] = char(0xFF);
            r[9] = char(0x04);
            r[10] = char(0x01);
            r[11] = char(0x08);
        }
        out.append(r);
    }
    return out;
}

QList<QByteArray> split(const QByteArray &records)
{
    QList<QByteArray> out;
    for (int i = 0; i + 20 <= records.size(); i += 20)
        out.append(records.mid(i, 20));
    return out;
}
} // namespace

class tst_RecordFramer : public QObject
{
    Q_OBJECT
private slots:
    void alignedStreamPassesUntouched();
    void partialRecordWaitsForTheRest();
    void unknownAlignedRecordIsKeptForTheDecoder();
    void openedMidRecord_data();
    void openedMidRecord();
    void droppedByteCostsAtMostOneRecord_data();
    void droppedByteCostsAtMostOneRecord();
    void insertedGarbageCostsAtMostOneRecord();
    void payloadLookingLikeARecordDoesNotFoolResync();
    void openResponseFoundAfterMidStreamOpen();
};

void tst_RecordFramer::alignedStreamPassesUntouched()
{
    RecordFramer framer;
    const QByteArray stream = hostileStream(50);
    QByteArray out;
    // Feed in awkward pieces; whole records come out in order, nothing lost.
    QByteArray all;
    for (int i = 0; i < stream.size(); i += 7) {
        framer.feed(stream.mid(i, 7), out);
        all.append(out);
    }
    QCOMPARE(all, stream);
    QCOMPARE(framer.discardedBytes(), qint64(0));
}

void tst_RecordFramer::partialRecordWaitsForTheRest()
{
    RecordFramer framer;
    const QByteArray stream = hostileStream(3);
    QByteArray out;
    QCOMPARE(framer.feed(stream.left(45), out), 2);
    QCOMPARE(out, stream.left(40));
    QCOMPARE(framer.pendingBytes(), 5);
    QCOMPARE(framer.feed(stream.mid(45, 15), out), 1);
    QCOMPARE(out, stream.mid(40, 20));
    QCOMPARE(framer.pendingBytes(), 0);

    QCOMPARE(framer.feed(stream.left(19), out), 0);
    QVERIFY(out.isEmpty());
}

void tst_RecordFramer::unknownAlignedRecordIsKeptForTheDecoder()
{
    RecordFramer framer;
    QByteArray unknown = QByteArray::fromHex("FF06");
    unknown.append(QByteArray(18, '\x11'));
    const QByteArray stream = canRecord(1, 1, 1, 0) + unknown + canRecord(2, 2, 2, 0);
    QByteArray out;
    QCOMPARE(framer.feed(stream, out), 3);
    QCOMPARE(out, stream);
}

void tst_RecordFramer::openedMidRecord_data()
{
    QTest::addColumn<int>("offset");
    for (int offset = 0; offset < 20; ++offset)
        QTest::addRow("offset %d", offset) << offset;
}

void tst_RecordFramer::openedMidRecord()
{
    QFETCH(int, offset);
    const QByteArray stream = hostileStream(20);
    RecordFramer framer;
    QByteArray out;
    framer.feed(stream.mid(offset), out);
    const QList<QByteArray> expected = split(stream.mid(offset == 0 ? 0 : 20));
    QCOMPARE(split(out), expected);
}

void tst_RecordFramer::droppedByteCostsAtMostOneRecord_data()
{
    QTest::addColumn<int>("dropAt");
    for (int at : {100, 101, 103, 108, 110, 115, 119})
        QTest::addRow("byte %d", at) << at;
}

void tst_RecordFramer::droppedByteCostsAtMostOneRecord()
{
    QFETCH(int, dropAt);
    const QByteArray stream = hostileStream(20);
    QByteArray damaged = stream;
    damaged.remove(dropAt, 1);
    const int damagedRecord = dropAt / 20;

    RecordFramer framer;
    QByteArray out;
    QByteArray all;
    for (int i = 0; i < damaged.size(); i += 13) {
        framer.feed(damaged.mid(i, 13), out);
        all.append(out);
    }
    QList<QByteArray> expected = split(stream);
    expected.removeAt(damagedRecord);
    QCOMPARE(split(all), expected);
}

void tst_RecordFramer::insertedGarbageCostsAtMostOneRecord()
{
    const QByteArray stream = hostileStream(10);
    QByteArray damaged = stream;
    damaged.insert(47, QByteArray::fromHex("FF0401"));
    RecordFramer framer;
    QByteArray out;
    framer.feed(damaged, out);
    const QList<QByteArray> got = split(out);
    QList<QByteArray> expected = split(stream);
    QVERIFY(got.size() >= expected.size() - 1);
    for (const QByteArray &record : got)
        QVERIFY2(expected.contains(record), record.toHex(' ').constData());
}

void tst_RecordFramer::payloadLookingLikeARecordDoesNotFoolResync()
{
    // Misaligned by the width of the fake header: the search must skip the payload bytes
    // "FF 04 01 08" (followed by a record that is not confirmed 20 bytes later).
    const QByteArray stream = hostileStream(10);
    RecordFramer framer;
    QByteArray out;
    framer.feed(stream.mid(3), out);
    QCOMPARE(split(out), split(stream.mid(20)));
}

void tst_RecordFramer::openResponseFoundAfterMidStreamOpen()
{
    QByteArray open = QByteArray::fromHex("FF0111025243414E2D553031");
    open.append(QByteArray(20 - open.size(), '\0'));
    const QByteArray stream = hostileStream(4).mid(9) + open + hostileStream(2);
    RecordFramer framer;
    QByteArray out;
    framer.feed(stream, out);
    QVERIFY(split(out).contains(open));
}

QTEST_APPLESS_MAIN(tst_RecordFramer)
#include "tst_recordframer.moc"
