#include "display/signalwatchmodel.h"
#include "support/signaltestdb.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

class tst_SignalWatchModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_db.isValid()); }

    void rowsFollowTheStore()
    {
        SignalStore store(m_db.databases());
        SignalWatchModel model(&store);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(inserted.isValid() && changed.isValid());

        add(store, SignalTestDb::frame(1, 0x100, 25000, "0010E201"));
        model.refresh();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(row(model, 0), QStringLiteral("Speed|Engine|1|1024 rpm|4096|1024|1024|1|2.5000"));
        QCOMPARE(row(model, 1), QStringLiteral("Temp|Engine|1|-70 degC|-30|-70|-70|1|2.5000"));
        // A named value shows its name, without a unit.
        QCOMPARE(row(model, 2), QStringLiteral("Gear|Engine|1|Drive|1|1|1|1|2.5000"));

        // Nothing new: no signal at all, however often the timer asks.
        inserted.clear();
        model.refresh();
        model.refresh();
        QCOMPARE(changed.count(), 0);

        // New values change rows in place; a new signal is appended.
        add(store, SignalTestDb::frame(1, 0x100, 26000, "0020E201"));
        add(store, SignalTestDb::frame(2, 0x200, 27000, "010300"));
        model.refresh();
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(row(model, 0), QStringLiteral("Speed|Engine|1|2048 rpm|8192|1024|2048|2|2.6000"));
        QCOMPARE(row(model, 4), QStringLiteral("A|Mux|2|3 V|3|3|3|1|2.7000"));
        QCOMPARE(model.data(model.index(4, SignalWatchModel::Signal), SignalWatchModel::FilterRole)
                     .toString(),
                 QStringLiteral("Mux.A"));

        // A clear, then other frames: the rows start again, also when as many come back.
        store.clear();
        add(store, SignalTestDb::frame(1, 0x200, 100, "020A"));
        add(store, SignalTestDb::frame(1, 0x100, 100, "0400"));
        add(store, SignalTestDb::frame(2, 0x100, 100, "0800"));
        add(store, SignalTestDb::frame(2, 0x200, 100, "0100"));
        model.refresh();
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(row(model, 0), QStringLiteral("Sel|Mux|1|2|2|2|2|1|0.0100"));
        QCOMPARE(row(model, 1), QStringLiteral("B|Mux|1|5 A|10|5|5|1|0.0100"));
        store.clear();
        model.refresh();
        QCOMPARE(model.rowCount(), 0);
    }

private:
    static void add(SignalStore &store, const LogFrame &frame) { store.add(&frame, 1); }
    static QString row(const SignalWatchModel &model, int row)
    {
        QStringList cells;
        for (int c = 0; c < model.columnCount(); ++c)
            cells << model.data(model.index(row, c)).toString();
        return cells.join(QLatin1Char('|'));
    }

    SignalTestDb m_db;
};

QTEST_GUILESS_MAIN(tst_SignalWatchModel)
#include "tst_signalwatchmodel.moc"
