#include "app/commandline.h"

#include <QtTest>

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

void tst_CommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("exits");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("printed"); // on standard output, or standard error on failure
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("history"); // 0: none given, the stored size applies

    const QString none;
    QTest::newRow("no options") << QStringList() << false << 0 << QStringList() << false << 100
                                << QStringList() << none << 0;
    QTest::newRow("help") << QStringList { QStringLiteral("--help") } << true << 0
                          << QStringList { QStringLiteral("--simulate-rate <N>"),
                                           QStringLiteral("--port <PATH>"),
                                           QStringLiteral("--history <N>"),
                                           QStringLiteral("--version"), QStringLiteral("[FILE]") }
                          << false << 100 << QStringList() << none << 0;
    QTest::newRow("version") << QStringList { QStringLiteral("--version") } << true << 0
                             << QStringList { QStringLiteral("RCAN Tools 1.") } << false << 100
                             << QStringList() << none << 0;
    QTest::newRow("unknown option")
        << QStringList { QStringLiteral("--simulat") } << true << 2
        << QStringList { QStringLiteral("simulat"), QStringLiteral("--help") } << false << 100
        << QStringList() << none << 0;
    QTest::newRow("rate that is no number")
        << QStringList { QStringLiteral("--simulate-rate"), QStringLiteral("fast") } << true << 2
        << QStringList { QStringLiteral("--simulate-rate") } << false << 100 << QStringList()
        << none << 0;
    QTest::newRow("two files") << QStringList { QStringLiteral("a.txt"), QStringLiteral("b.txt") }
                               << true << 2 << QStringList() << false << 100 << QStringList()
                               << none << 0;
    QTest::newRow("everything")
        << QStringList { QStringLiteral("--simulate"),       QStringLiteral("--simulate-rate=250"),
                         QStringLiteral("--port"),           QStringLiteral("/dev/null"),
                         QStringLiteral("--port=/dev/zero"), QStringLiteral("log.txt") }
        << false << 0 << QStringList() << true << 250
        << QStringList { QStringLiteral("/dev/null"), QStringLiteral("/dev/zero") }
        << QStringLiteral("log.txt") << 0;
    QTest::newRow("port that does not exist")
        << QStringList { QStringLiteral("--port=/dev/null"),
                         QStringLiteral("--port=/dev/rcan-no-such-port") }
        << true << 2 << QStringList { QStringLiteral("/dev/rcan-no-such-port") } << false << 100
        << QStringList { QStringLiteral("/dev/null"), QStringLiteral("/dev/rcan-no-such-port") }
        << none << 0;
    QTest::newRow("history") << QStringList { QStringLiteral("--history"),
                                              QStringLiteral("20000000") }
                             << false << 0 << QStringList() << false << 100 << QStringList() << none
                             << 20000000;
    QTest::newRow("history at the smallest")
        << QStringList { QStringLiteral("--history=10000") } << false << 0 << QStringList() << false
        << 100 << QStringList() << none << 10000;
    QTest::newRow("history at the largest")
        << QStringList { QStringLiteral("--history=50000000") } << false << 0 << QStringList()
        << false << 100 << QStringList() << none << 50000000;
    QTest::newRow("history too small")
        << QStringList { QStringLiteral("--history=9999") } << true << 2
        << QStringList { QStringLiteral("--history"), QStringLiteral("10000"),
                         QStringLiteral("50000000") }
        << false << 100 << QStringList() << none << 0;
    QTest::newRow("history too large")
        << QStringList { QStringLiteral("--history"), QStringLiteral("50000001") } << true << 2
        << QStringList { QStringLiteral("--history") } << false << 100 << QStringList() << none
        << 0;
    QTest::newRow("history beyond an int")
        << QStringList { QStringLiteral("--history=4294977296") } << true << 2
        << QStringList { QStringLiteral("--history") } << false << 100 << QStringList() << none
        << 0;
    QTest::newRow("history that is no number")
        << QStringList { QStringLiteral("--history"), QStringLiteral("1e6") } << true << 2
        << QStringList { QStringLiteral("--history") } << false << 100 << QStringList() << none
        << 0;
}

void tst_CommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, exits);
    QFETCH(int, exitCode);
    QFETCH(QStringList, printed);
    QFETCH(bool, simulate);
    QFETCH(int, rate);
    QFETCH(QStringList, ports);
    QFETCH(QString, file);
    QFETCH(int, history);

    const CommandLineResult result
        = CommandLine::parse(QStringList { QStringLiteral("rcan-tools") } + arguments);
    QCOMPARE(result.exit, exits);
    QCOMPARE(result.exitCode, exitCode);
    // Failures go to standard error only, usage and version to standard output only.
    QCOMPARE(result.errors.isEmpty(), exitCode == 0);
    QCOMPARE(result.output.isEmpty(), !exits || exitCode != 0);
    const QString text = exitCode == 0 ? result.output : result.errors;
    for (const QString &part : printed)
        QVERIFY2(text.contains(part), qPrintable(text));
    QCOMPARE(result.options.simulate, simulate);
    QCOMPARE(result.options.simulateRate, rate);
    QCOMPARE(result.options.ports, ports);
    QCOMPARE(result.options.logFile, file);
    QCOMPARE(result.options.historySize, history);
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
