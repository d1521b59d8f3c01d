#include "candb/signalstore.h"
#include "support/signaltestdb.h"

#include <QSignalSpy>
#include <QtTest>

// Frames as text, one per entry: "channel id[x] stamp bytes", with "x" for an extended
// identifier, "r" as bytes for a remote frame and "-" for none.
using FrameList = QVector<LogFrame>;

namespace {
FrameList frames(const QStringList &lines)
{
    FrameList out;
    for (const QString &line : lines) {
        const QStringList f = line.split(QLatin1Char(' '));
        QString id = f.at(1);
        const bool extended = id.endsWith(QLatin1Char('x'));
        id.remove(QLatin1Char('x'));
        const bool remote = f.at(3) == QLatin1String("r");
        const QByteArray bytes = remote || f.at(3) == QLatin1String("-")
            ? QByteArray(remote ? "0000000000000000" : "")
            : f.mid(3).join(QString()).toLatin1();
        out.append(SignalTestDb::frame(f.at(0).toInt(), id.toUInt(nullptr, 16), f.at(2).toUInt(),
                                       bytes, extended, remote));
    }
    return out;
}

QString num(double value)
{
    return QString::number(value, 'g', 12);
}

// "ch/message.signal text value raw min max count time", sorted, for comparing whole stores.
QStringList describe(const QVector<SignalState> &states)
{
    QStringList out;
    for (const SignalState &s : states) {
        out << QStringLiteral("%1/%2.%3 %4 %5 %6 %7 %8 %9 %10")
                   .arg(s.key.channel)
                   .arg(s.messageName, s.key.signal, s.text)
                   .arg(num(s.value), num(s.raw), num(s.minimum), num(s.maximum))
                   .arg(s.count)
                   .arg(s.lastTime, 0, 'f', 4);
    }
    out.sort();
    return out;
}
} // namespace

class tst_SignalStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_db.isValid()); }

    void states_data()
    {
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QStringList>("expected");

        // Speed 0x1000 * 0.25 = 1024; Temp 0xE2 = -30, -30 - 40 = -70; Gear 1 is "Drive".
        QTest::newRow("factor, signed with offset, named value")
            << QStringList { QStringLiteral("1 100 10000 00 10 E2 01 00 00 00 00") }
            << QStringList { QStringLiteral("1/Engine.Gear Drive 1 1 1 1 1 1.0000"),
                             QStringLiteral("1/Engine.Speed 1024 1024 4096 1024 1024 1 1.0000"),
                             QStringLiteral("1/Engine.Temp -70 -70 -30 -70 -70 1 1.0000") };
        QTest::newRow("latest, minimum, maximum and count over frames")
            << QStringList { QStringLiteral("1 100 100 04 00 28 02"),
                             QStringLiteral("1 100 200 00 01 50 00"),
                             QStringLiteral("1 100 300 02 00 00 09") }
            << QStringList { QStringLiteral("1/Engine.Gear 9 9 9 0 9 3 0.0300"),
                             QStringLiteral("1/Engine.Speed 0.5 0.5 2 0.5 64 3 0.0300"),
                             QStringLiteral("1/Engine.Temp -40 -40 0 -40 40 3 0.0300") };
        QTest::newRow("channels kept apart")
            << QStringList { QStringLiteral("1 100 10 08 00"), QStringLiteral("2 100 20 0C 00") }
            << QStringList { QStringLiteral("1/Engine.Speed 2 2 8 2 2 1 0.0010"),
                             QStringLiteral("2/Engine.Speed 3 3 12 3 3 1 0.0020") };
        QTest::newRow("signals past the frame's length are missing")
            << QStringList { QStringLiteral("1 100 10 08 00 01"),
                             QStringLiteral("1 200x 10 01 02") }
            << QStringList { QStringLiteral("1/Engine.Speed 2 2 8 2 2 1 0.0010"),
                             QStringLiteral("1/Engine.Temp -39 -39 1 -39 -39 1 0.0010") };
        QTest::newRow("multiplexed signals only when selected")
            << QStringList { QStringLiteral("1 200 10 01 02 01 00 00 00 00 00"),
                             QStringLiteral("1 200 20 02 10 00 00 00 00 00 00"),
                             QStringLiteral("1 200 30 03 FF FF 00 00 00 00 00") }
            << QStringList { QStringLiteral("1/Mux.A 258 258 258 258 258 1 0.0010"),
                             QStringLiteral("1/Mux.B 8 8 16 8 8 1 0.0020"),
                             QStringLiteral("1/Mux.Sel 3 3 3 1 3 3 0.0030") };
        QTest::newRow("extended identifier is another message than the standard one")
            << QStringList { QStringLiteral("2 200x 50 01 00 00 01") }
            << QStringList { QStringLiteral("2/Level.Level 16777217 16777217 16777217 16777217 "
                                            "16777217 1 0.0050") };
        QTest::newRow("remote and undescribed frames add nothing")
            << QStringList { QStringLiteral("1 100 10 r"), QStringLiteral("1 123 10 01 02"),
                             QStringLiteral("1 100x 10 01 02"), QStringLiteral("1 100 10 -") }
            << QStringList {};
        // 0xFFFFFF00 then 0x100: 512 ticks later, past the wrap.
        QTest::newRow("device clock unwrapped past 32 bits")
            << QStringList { QStringLiteral("1 100 4294967040 00 00"),
                             QStringLiteral("1 100 256 04 00") }
            << QStringList { QStringLiteral("1/Engine.Speed 1 1 4 0 1 2 429496.7552") };
    }

    void states()
    {
        QFETCH(QStringList, input);
        QFETCH(QStringList, expected);
        SignalStore store(m_db.databases());
        const quint64 before = store.serial();
        const FrameList list = frames(input);
        // Fed frame by frame and in one batch, the store ends the same.
        for (const LogFrame &frame : list)
            store.add(&frame, 1);
        QCOMPARE(describe(store.states()), expected);
        QCOMPARE(store.serial() > before, !expected.isEmpty());
        SignalStore batch(m_db.databases());
        batch.add(list.constData(), list.size());
        QCOMPARE(describe(batch.states()), expected);
    }

    void clearEmptiesAndRestartsTheClock()
    {
        SignalStore store(m_db.databases());
        QSignalSpy cleared(&store, &SignalStore::cleared);
        QVERIFY(cleared.isValid());
        const SignalKey speed { 1, 0x100, false, QStringLiteral("Speed") };
        store.setTracked({ speed });
        const FrameList before = frames({ QStringLiteral("1 100 4294967000 04 00") });
        store.add(before.constData(), before.size());
        const quint64 serial = store.serial();
        store.clear();
        QCOMPARE(cleared.count(), 1);
        QVERIFY(store.serial() > serial);
        QVERIFY(store.states().isEmpty());
        QVERIFY(store.samples(speed).isEmpty());
        // A wrap is counted from the frames after the clear only.
        const FrameList after = frames({ QStringLiteral("1 100 20000 08 00") });
        store.add(after.constData(), after.size());
        QCOMPARE(describe(store.states()),
                 QStringList { QStringLiteral("1/Engine.Speed 2 2 8 2 2 1 2.0000") });
        QCOMPARE(store.samples(speed).size(), 1);
    }

    void trackedSignalsKeepTheirSeries()
    {
        SignalStore store(m_db.databases());
        const SignalKey speed { 1, 0x100, false, QStringLiteral("Speed") };
        const SignalKey a { 1, 0x200, false, QStringLiteral("A") };
        const FrameList first
            = frames({ QStringLiteral("1 100 10 04 00"), QStringLiteral("1 200 15 01 05 00") });
        store.add(first.constData(), first.size());
        // Series start when tracking starts.
        store.setTracked({ speed, a });
        QVERIFY(store.samples(speed).isEmpty());
        const FrameList second
            = frames({ QStringLiteral("1 100 20 08 00"), QStringLiteral("1 200 25 02 07"),
                       QStringLiteral("1 200 30 01 06 00"), QStringLiteral("1 100 40 0C 00") });
        store.add(second.constData(), second.size());
        auto text = [](const QVector<SignalSample> &samples) {
            QStringList out;
            for (const SignalSample &s : samples)
                out << QStringLiteral("%1=%2").arg(s.time, 0, 'f', 4).arg(num(s.value));
            return out.join(QLatin1Char(' '));
        };
        QCOMPARE(text(store.samples(speed)), QStringLiteral("0.0020=2 0.0040=3"));
        QCOMPARE(text(store.samples(speed, 1)), QStringLiteral("0.0040=3"));
        QCOMPARE(text(store.samples(a)), QStringLiteral("0.0030=6"));
        // The reader drops what it took; later values keep their numbers.
        store.forget(a, 1);
        const FrameList third = frames({ QStringLiteral("1 200 50 01 07 00") });
        store.add(third.constData(), third.size());
        QCOMPARE(text(store.samples(a)), QStringLiteral("0.0050=7"));
        QCOMPARE(text(store.samples(a, 1)), QStringLiteral("0.0050=7"));
        QVERIFY(store.samples(a, 2).isEmpty());
        // Dropping a key drops its series; the one still tracked keeps what it had.
        store.setTracked({ speed });
        QVERIFY(store.samples(a).isEmpty());
        QCOMPARE(store.samples(speed).size(), 2);
        QCOMPARE(store.tracked(), QVector<SignalKey> { speed });
    }

private:
    SignalTestDb m_db;
};

QTEST_GUILESS_MAIN(tst_SignalStore)
#include "tst_signalstore.moc"
