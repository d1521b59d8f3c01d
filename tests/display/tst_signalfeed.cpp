#include "candb/signalstore.h"
#include "display/candatadisplaysupport.h"
#include "support/signaltestdb.h"

#include <QSignalSpy>
#include <QtTest>

// The display thread hands every frame the history takes to the signal store: live frames, the
// frames of an opened log, and an empty store after a Clear or when a log is opened.
class tst_SignalFeed : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_db.isValid()); }

    void historyFeedsTheStore()
    {
        CAN_DataDisplaySupport display;
        SignalStore store(m_db.databases());
        display.setSignalStore(&store);
        QSignalSpy cleared(&store, &SignalStore::cleared);
        QVERIFY(cleared.isValid());

        // Live: Speed 1, 2, 3 rpm.
        for (int i = 1; i <= 3; ++i) {
            const LogFrame frame = SignalTestDb::frame(
                1, 0x100, quint32(i * 10),
                QByteArray::number(i * 4, 16).rightJustified(2, '0').append("00"));
            display.queueFrame(1, frame.toDeviceFrame(), frame.timeStamp, 0);
        }
        QTRY_COMPARE(speed(store), QStringLiteral("3 rpm x3"));

        // The copy and the store's series meet without a gap: the callback runs between frames.
        const SignalKey key { 1, 0x100, false, QStringLiteral("Speed") };
        int atCopy = 0;
        const CanRecordBuffer copy = display.historyCopy([&] {
            ++atCopy;
            store.setTracked({ key });
        });
        QCOMPARE(copy.size(), 3);
        QCOMPARE(atCopy, 1);
        const LogFrame later = SignalTestDb::frame(1, 0x100, 40, "1000");
        display.queueFrame(1, later.toDeviceFrame(), later.timeStamp, 0);
        QTRY_COMPARE(store.samples(key).size(), 1);

        QMetaObject::invokeMethod(
            &display, [&] { display.clearHistory(); }, Qt::QueuedConnection);
        QTRY_COMPARE(cleared.count(), 1);
        QVERIFY(store.states().isEmpty());

        // An opened log: emptied first, then its frames, all of them.
        CanRecordList records;
        for (int i = 0; i < 2500; ++i) {
            records << CanRecord::fromFrame(SignalTestDb::frame(2, 0x100, quint32(i), "0800"), 0);
        }
        QMetaObject::invokeMethod(
            &display,
            [&] {
                display.startLoad();
                display.appendLoaded(records);
            },
            Qt::BlockingQueuedConnection);
        QCOMPARE(cleared.count(), 2);
        QCOMPARE(speed(store), QStringLiteral("2 rpm x2500"));
        display.setSignalStore(nullptr);
    }

private:
    static QString speed(const SignalStore &store)
    {
        for (const SignalState &state : store.states()) {
            if (state.key.signal == QLatin1String("Speed"))
                return QStringLiteral("%1 %2 x%3").arg(state.text, state.unit).arg(state.count);
        }
        return QString();
    }

    SignalTestDb m_db;
};

QTEST_MAIN(tst_SignalFeed)
#include "tst_signalfeed.moc"
