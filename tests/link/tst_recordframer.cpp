// The framer against ground truth: one generator builds record streams (frames of every kind,
// status reports, answers, payloads that read like headers, records of kinds the decoder does not
// know), damages them at known places, feeds them in uneven pieces as a host that sent the
// matching commands would, and counts per case the good records lost, the records that never went
// in, and on a quiet link the answers that were not passed on as soon as they were in.

#include "link/recordframer.h"
#include "protocol/contextprotocol.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
enum Damage {
    None,
    Unknown,
    Lost,
    Inserted,
    Stray,
    Flipped,
    CutStart,
    AnswerInside,
    AnswerThenCut,
    // A quiet link: answers alone, each in a read of its own.
    LoneAnswers,
    StrayAfterAnswers
};

QByteArray record(quint8 code, quint8 channel, const QByteArray &body)
{
    QByteArray r;
    r.append(char(Wire::RecordMark)).append(char(code)).append(char(channel)).append(body);
    return r.leftJustified(Wire::RecordSize, '\0', true);
}

bool isAnswer(const QByteArray &r)
{
    const quint8 code = quint8(r.at(1));
    return quint8(r.at(0)) == Wire::RecordMark && code != Wire::CANFrame
        && code != Wire::DeviceStates && Wire::isRecordCode(code);
}

struct Generator
{
    QRandomGenerator random;
    QByteArray mimic; // empty: mixed traffic; else every record is a frame whose data begins so
    quint32 n = 0;

    QByteArray answer()
    {
        QByteArray body;
        switch (random.bounded(4)) {
        case 0:
            return record(Wire::DeviceOpen, 1, QByteArray("\x02RCAN-U01", 9));
        case 1:
            return record(Wire::BaudRateConfig, quint8(1 + random.bounded(2)),
                          QByteArray::fromHex("00000001"));
        case 2:
            body.append(char(1));
            Wire::appendU32(body, ++n);
            Wire::appendU32(body, n * 3);
            return record(Wire::CANSend, quint8(1 + random.bounded(2)), body);
        default:
            return record(Wire::DeviceClose, 0, {});
        }
    }

    QByteArray next()
    {
        ++n;
        QByteArray body;
        const int kind = mimic.isEmpty() ? random.bounded(100) : 0;
        if (kind < 80) {
            const bool extended = random.bounded(2);
            const quint8 dlc = quint8(random.bounded(9));
            body.append(char((extended ? 0x80 : 0) | (random.bounded(10) ? 0 : 0x40) | dlc));
            Wire::appendU32(body, extended ? random.bounded(0x20000000u) : random.bounded(0x800u));
            QByteArray data = mimic;
            if (mimic.isEmpty() && random.bounded(4) == 0) // header-like payloads of every sort
                data = QList<QByteArray> { "\xFF\x0F", "\xFF\x04\x01\x08", "\xFF\x03\x01" }.at(
                    random.bounded(3));
            while (data.size() < 8)
                data.append(char(mimic.isEmpty() ? random.bounded(256)
                                                 : int(n >> (8 * (data.size() & 3)))));
            body.append(data.left(8));
            Wire::appendU32(body, n * 7);
            return record(Wire::CANFrame, quint8(1 + random.bounded(2)), body);
        }
        if (kind < 95) {
            body.append(char(n)).append(char(0));
            Wire::appendU32(body, 0x3F000000); // 0.5
            Wire::appendU32(body, n);
            return record(Wire::DeviceStates, quint8(1 + random.bounded(2)), body);
        }
        return answer();
    }
};

// A record of a kind newer firmware may send and this decoder does not know.
QByteArray unknownRecord(QRandomGenerator &random)
{
    quint8 code = 0;
    do
        code = quint8(random.bounded(256));
    while (Wire::isRecordCode(code));
    QByteArray r;
    r.append(char(Wire::RecordMark)).append(char(code));
    while (r.size() < Wire::RecordSize)
        r.append(char(random.bounded(256)));
    return r;
}

QByteArray randomBytes(QRandomGenerator &random, int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(char(random.bounded(256)));
    return bytes;
}
} // namespace

class tst_RecordFramer : public QObject
{
    Q_OBJECT
private slots:
    void damagedStreams_data();
    void damagedStreams();
};

void tst_RecordFramer::damagedStreams_data()
{
    QTest::addColumn<int>("damage");
    QTest::addColumn<QByteArray>("mimic");
    QTest::addColumn<int>("lostPerEvent"); // good records lost, at most, per damage event
    QTest::addColumn<int>("inventedPerEvent");
    QTest::addColumn<int>("unknownEvery"); // after this many records,
    QTest::addColumn<int>("unknownRun"); // this many records of an unknown kind
    QTest::addColumn<bool>("answersAtOnce"); // once the link is quiet, each answer comes out of
                                             // the read that completes it

    const QByteArray mixed;
    QTest::newRow("undamaged") << int(None) << mixed << 0 << 0 << 0 << 0 << false;
    QTest::newRow("aligned unknown record") << int(Unknown) << mixed << 0 << 0 << 0 << 0 << false;
    QTest::newRow("lost byte") << int(Lost) << mixed << 1 << 0 << 0 << 0 << false;
    QTest::newRow("inserted byte") << int(Inserted) << mixed << 1 << 0 << 0 << 0 << false;
    QTest::newRow("1-7 stray bytes between records")
        << int(Stray) << mixed << 1 << 0 << 0 << 0 << false;
    QTest::newRow("flipped byte") << int(Flipped) << mixed << 2 << 1 << 0 << 0 << false;
    QTest::newRow("opened mid-record") << int(CutStart) << mixed << 1 << 0 << 0 << 0 << false;
    QTest::newRow("answer inside a record")
        << int(AnswerInside) << mixed << 0 << 0 << 0 << 0 << false;
    QTest::newRow("answer then a cut record")
        << int(AnswerThenCut) << mixed << 0 << 0 << 0 << 0 << false;
    QTest::newRow("lone answers") << int(LoneAnswers) << mixed << 0 << 0 << 0 << 0 << true;
    QTest::newRow("1-7 stray bytes after each answer")
        << int(StrayAfterAnswers) << mixed << 0 << 0 << 0 << 0 << true;
    QTest::newRow("unknown record after every record")
        << int(None) << mixed << 0 << 0 << 1 << 1 << false;
    QTest::newRow("unknown record after every two, opened mid-record")
        << int(CutStart) << mixed << 1 << 0 << 2 << 1 << false;
    QTest::newRow("two unknown records in a row")
        << int(None) << mixed << 0 << 0 << 5 << 2 << false;
    for (const char *mimic : { "\xFF\x0F", "\xFF\x04\x01\x08", "\xFF\x03\x01" }) {
        const QByteArray m(mimic);
        const QByteArray data = m.toHex(' ').toUpper();
        const auto row = [&data](const char *damage) -> QTestData & {
            return QTest::addRow("%s in traffic with data %s", damage, data.constData());
        };
        row("lost byte") << int(Lost) << m << 1 << 0 << 0 << 0 << false;
        row("inserted byte") << int(Inserted) << m << 1 << 0 << 0 << 0 << false;
        row("aligned unknown record") << int(Unknown) << m << 0 << 0 << 0 << 0 << false;
        row("opened mid-record") << int(CutStart) << m << 1 << 0 << 0 << 0 << false;
        row("answer inside a record") << int(AnswerInside) << m << 0 << 0 << 0 << 0 << false;
    }
}

void tst_RecordFramer::damagedStreams()
{
    QFETCH(int, damage);
    QFETCH(QByteArray, mimic);
    QFETCH(int, lostPerEvent);
    QFETCH(int, inventedPerEvent);
    QFETCH(int, unknownEvery);
    QFETCH(int, unknownRun);
    QFETCH(bool, answersAtOnce);

    const bool quiet = damage == LoneAnswers || damage == StrayAfterAnswers;
    int events = 0, lost = 0, invented = 0;
    // An awaited answer that gained a byte is passed as it stands: someone waits for it, and a
    // gain inside it cannot be told from stray bytes after it.
    int gainedAnswers = 0;
    qint64 records = 0;
    for (quint32 trial = 0; trial < 40; ++trial) {
        Generator gen { QRandomGenerator(trial * 7919 + quint32(damage)), mimic };
        QRandomGenerator &random = gen.random;
        QList<QByteArray> truth; // records as the adapter sent them
        QList<QByteArray> pieces; // the bytes the host received, piece by piece
        QList<QList<quint8>> answers; // the answers in each piece, for commands sent before it
        const auto addPiece = [&](const QByteArray &bytes, const QByteArray &answer) {
            pieces.append(bytes);
            answers.append(QList<quint8>());
            if (!answer.isEmpty() && isAnswer(answer))
                answers.last().append(quint8(answer.at(1)));
        };
        const bool onePerStream = damage == CutStart || damage == AnswerThenCut;
        int nextDamage = onePerStream ? 0 : 4 + random.bounded(4);
        if (damage == AnswerThenCut) {
            truth.append(gen.answer());
            addPiece(truth.last() + gen.next().right(1 + random.bounded(19)), truth.last());
            ++events;
        }
        for (int i = 0; i < 120; ++i) {
            if (unknownEvery > 0 && i > 0 && i % unknownEvery == 0) {
                for (int k = 0; k < unknownRun; ++k) {
                    truth.append(unknownRecord(random));
                    addPiece(truth.last(), {});
                }
            }
            // Traffic first, so that a phase is established when the link falls quiet.
            if (quiet && i >= 10) {
                truth.append(gen.answer());
                ++events;
                addPiece(truth.last()
                             + randomBytes(random,
                                           damage == StrayAfterAnswers ? 1 + random.bounded(7) : 0),
                         truth.last());
                continue;
            }
            QByteArray r = gen.next();
            truth.append(r);
            QByteArray answer = r;
            // The last records stay whole: at the end of the data there is nothing to judge by.
            if (i != nextDamage || i > 110 || damage == None || damage == AnswerThenCut || quiet) {
                addPiece(r, answer);
                continue;
            }
            ++events;
            nextDamage = onePerStream ? -1 : i + 6 + random.bounded(4);
            const int at = 1 + random.bounded(Wire::RecordSize - 1);
            switch (damage) {
            case Unknown:
                r[0] = 0;
                truth.last() = r; // a record the decoder does not know costs nothing else
                break;
            case Lost:
                r.remove(random.bounded(Wire::RecordSize), 1);
                break;
            case Inserted:
                gainedAnswers += isAnswer(r) ? 1 : 0;
                r.insert(at, char(random.bounded(256)));
                break;
            case Stray:
                r.append(randomBytes(random, 1 + random.bounded(7)));
                break;
            case Flipped: {
                const int flip = random.bounded(Wire::RecordSize);
                r[flip] = char(r.at(flip) ^ char(1 + random.bounded(255)));
                break;
            }
            case CutStart:
                r.remove(0, at);
                break;
            case AnswerInside: {
                answer = gen.answer();
                truth.insert(truth.size() - 1, answer);
                r.insert(at, answer);
                break;
            }
            default:
                break;
            }
            addPiece(r, answer);
        }

        // Fed in uneven pieces; the command whose answer arrives was sent just before the piece
        // that brings it.
        RecordFramer framer;
        QList<QByteArray> out;
        QByteArray produced;
        int answersIn = 0;
        int answersOut = 0;
        for (int p = 0; p < pieces.size();) {
            QByteArray chunk;
            for (const quint8 code : answers[p])
                framer.expectAnswer(code);
            for (int k = 1 + random.bounded(4); k > 0 && p < pieces.size(); --k) {
                answersIn += answers[p].size();
                chunk += pieces[p++];
                if (p < pieces.size() && !answers[p].isEmpty())
                    break;
            }
            framer.feed(chunk, produced);
            for (int k = 0; k < produced.size(); k += Wire::RecordSize) {
                out.append(produced.mid(k, Wire::RecordSize));
                answersOut += isAnswer(out.last()) ? 1 : 0;
            }
            QVERIFY(framer.pendingBytes() <= RecordFramer::MaxHeldBytes);
            if (answersAtOnce && p > 10)
                QCOMPARE(answersOut, answersIn);
        }
        framer.flush(produced);
        for (int k = 0; k < produced.size(); k += Wire::RecordSize)
            out.append(produced.mid(k, Wire::RecordSize));

        // Match in order; what the decoder would skip anyway does not count either way.
        int t = 0, kept = 0, good = 0;
        for (const QByteArray &r : truth)
            good += quint8(r.at(0)) == Wire::RecordMark && Wire::isRecordCode(quint8(r.at(1)));
        for (const QByteArray &r : out) {
            if (quint8(r.at(0)) != Wire::RecordMark || !Wire::isRecordCode(quint8(r.at(1))))
                continue;
            const int found = truth.indexOf(r, t);
            if (found >= 0 && found - t < 8) {
                ++kept;
                t = found + 1;
            } else {
                ++invented;
            }
        }
        lost += good - kept;
        records += truth.size();
    }
    qInfo("%lld records, %d damage events: %d good records lost, %d invented (%d answers gained "
          "a byte)",
          records, events, lost, invented, gainedAnswers);
    QVERIFY(events > 0 || damage == None);
    QVERIFY2(lost <= lostPerEvent * events, qPrintable(QString::number(lost)));
    QVERIFY2(invented <= inventedPerEvent * events + gainedAnswers,
             qPrintable(QString::number(invented)));
}

QTEST_APPLESS_MAIN(tst_RecordFramer)
#include "tst_recordframer.moc"
