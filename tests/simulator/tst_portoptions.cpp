// The command-line options that put ports into the device panel's list without USB identifiers.

#include "link/serialcontrol.h"
#include "simulator/portoptions.h"
#include "simulator/virtualadapter.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class tst_PortOptions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void portOption_data();
    void portOption();
    void simulateListsTheVirtualAdapterAfterTheAdapters();

private:
    QTemporaryDir m_dir;
};

void tst_PortOptions::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // One real adapter on the system, so the order of the list can be seen.
    SerialControl::instance()->setPortSource([] {
        return QList<SerialPortEntry> { { QStringLiteral("ttyACM0"), true, 0x5722 },
                                        { QStringLiteral("ttyS0"), false, 0 } };
    });
}

void tst_PortOptions::portOption_data()
{
    QTest::addColumn<QStringList>("arguments"); // "@" stands for the temporary folder
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("listed"); // extra ports expected after the adapter

    QTest::newRow("no options") << QStringList {} << true << QStringList {};
    QTest::newRow("--port PATH") << QStringList { QStringLiteral("--port"), QStringLiteral("@/a") }
                                 << true << QStringList { QStringLiteral("@/a") };
    QTest::newRow("--port=PATH twice")
        << QStringList { QStringLiteral("--port=@/a"), QStringLiteral("--port=@/b") } << true
        << QStringList { QStringLiteral("@/a"), QStringLiteral("@/b") };
    QTest::newRow("a path that does not exist is not listed")
        << QStringList { QStringLiteral("--port"), QStringLiteral("@/missing") } << true
        << QStringList {};
    QTest::newRow("--port without a path")
        << QStringList { QStringLiteral("-style"), QStringLiteral("fusion"),
                         QStringLiteral("--port") }
        << false << QStringList {};
    QTest::newRow("--port followed by another option")
        << QStringList { QStringLiteral("--port"), QStringLiteral("--simulate-rate=5") } << false
        << QStringList {};
    QTest::newRow("bad --simulate-rate")
        << QStringList { QStringLiteral("--simulate-rate"), QStringLiteral("many") } << false
        << QStringList {};
}

void tst_PortOptions::portOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, ok);
    QFETCH(QStringList, listed);

    SerialControl *serial = SerialControl::instance();
    for (const QString &port : serial->extraPorts())
        serial->removeExtraPort(port);
    QFile(m_dir.filePath(QStringLiteral("a"))).open(QIODevice::WriteOnly);
    QFile(m_dir.filePath(QStringLiteral("b"))).open(QIODevice::WriteOnly);
    arguments.replaceInStrings(QStringLiteral("@"), m_dir.path());
    listed.replaceInStrings(QStringLiteral("@"), m_dir.path());

    QString error;
    QCOMPARE(applyPortOptions(QStringList { QStringLiteral("rcan-tools") } + arguments, &error),
             ok);
    QCOMPARE(error.isEmpty(), ok);
    QCOMPARE(serial->availablePorts(), QStringList { QStringLiteral("ttyACM0") } + listed);
    QVERIFY(!simulatedAdapter());
}

void tst_PortOptions::simulateListsTheVirtualAdapterAfterTheAdapters()
{
    SerialControl *serial = SerialControl::instance();
    QString error;
    QVERIFY2(applyPortOptions({ QStringLiteral("rcan-tools"), QStringLiteral("--simulate"),
                                QStringLiteral("--simulate-rate=250") },
                              &error),
             qPrintable(error));
    VirtualAdapter *adapter = simulatedAdapter();
    QVERIFY(adapter && adapter->isRunning());
    QCOMPARE(adapter->settings().frameRate[0], 250);
    QCOMPARE(adapter->settings().frameRate[1], 250);
    const QString path = adapter->slavePath();
    QCOMPARE(serial->availablePorts(), (QStringList { QStringLiteral("ttyACM0"), path }));

    // A second call does not start a second adapter.
    QVERIFY(applyPortOptions({ QStringLiteral("rcan-tools"), QStringLiteral("--simulate") }));
    QCOMPARE(simulatedAdapter(), adapter);

    // Gone from the list as soon as its device node is gone.
    adapter->unplug();
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(serial->availablePorts(), QStringList { QStringLiteral("ttyACM0") });
}

QTEST_GUILESS_MAIN(tst_PortOptions)
#include "tst_portoptions.moc"
