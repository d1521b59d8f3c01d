#include "display/signalwatch.h"
#include "display/signalwatchmodel.h"
#include "support/signaltestdb.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

// The watch picks signals by name and exports what the history holds of them.
class tst_SignalWatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_db.isValid()); }

    void exportsTheHistory_data()
    {
        QTest::addColumn<bool>("wide");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("long") << false
                              << QByteArray("time,channel,message,signal,value,unit\n"
                                            "1.0000,1,Engine,Speed,1024,rpm\n"
                                            "1.0000,1,Engine,Gear,1,\n"
                                            "2.0000,1,Engine,Speed,2048,rpm\n"
                                            "2.0000,1,Engine,Gear,0,\n");
        QTest::newRow("wide") << true
                              << QByteArray("time,Engine.Speed,Engine.Gear\n"
                                            "1.0000,1024,1\n"
                                            "2.0000,2048,0\n");
    }

    void exportsTheHistory()
    {
        QFETCH(bool, wide);
        QFETCH(QByteArray, expected);
        SignalStore store(m_db.databases());
        CanRecordBuffer history;
        for (const LogFrame &frame : { SignalTestDb::frame(1, 0x100, 10000, "0010E201"),
                                       SignalTestDb::frame(1, 0x300, 15000, "01"),
                                       SignalTestDb::frame(1, 0x100, 20000, "0020E200") }) {
            history.append(CanRecord::fromFrame(frame, 0));
            store.add(&frame, 1);
        }
        SignalWatch watch(&store, m_db.databases(), [&] { return history; });
        watch.model()->refresh();
        const SignalKey speed { 1, 0x100, false, QStringLiteral("Speed") };
        const SignalKey gear { 1, 0x100, false, QStringLiteral("Gear") };
        // With nothing selected, what the filter shows is picked; it matches message names too.
        QLineEdit *filter = watch.findChild<QLineEdit *>(QStringLiteral("signalFilter"));
        QVERIFY(filter);
        // Typing fades the clear button in; with no event loop to finish it, the fade would
        // outlive the window and be reported as a leak.
        filter->setClearButtonEnabled(false);
        filter->setText(QStringLiteral("eNGINE.g"));
        QCOMPARE(watch.pickedSignals(), QVector<SignalKey> { gear });

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("signals.csv"));
        QVERIFY(watch.exportCsv(path, { speed, gear }, wide));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), expected);
    }

private:
    SignalTestDb m_db;
};

QTEST_MAIN(tst_SignalWatch)
#include "tst_signalwatch.moc"
