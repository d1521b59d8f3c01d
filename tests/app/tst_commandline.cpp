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

    const QString none;
    QTest::newRow("no options") << QStringList() << false << 0 << QStringList() << false << 100
                                << QStringList() << none;
    QTest::newRow("help") << QStringList { QStringLiteral("--help") } << true << 0
                          << QStringList { QStringLiteral("--simulate-rate <N>"),
                                           QStringLiteral("--port <PATH>"),
                                           QStringLiteral("--version"), QStringLiteral("[FILE]") }
                          << false << 100 << QStringList() << none;
    QTest::newRow("version") << QStringList { QStringLiteral("--version") } << true << 0
                             << QStringList { QStringLiteral("RCAN Tools 1.") } << false << 100
                             << QStringList() << none;
    QTest::newRow("unknown option")
        << QStringList { QStringLiteral("--simulat") } << true << 2
        << QStringList { QStringLiteral("simulat"), QStringLiteral("--help") } << false << 100
        << QStringList() << none;
    QTest::newRow("rate that is no number")
        << QStringList { QStringLiteral("--simulate-rate"), QStringLiteral("fast") } << true << 2
        << QStringList { QStringLiteral("--simulate-rate") } << false << 100 << QStringList()
        << none;
    QTest::newRow("two files") << QStringList { QStringLiteral("a.txt"), QStringLiteral("b.txt") }
                               << true << 2 << QStringList() << false << 100 << QStringList()
                               << none;
    QTest::newRow("everything")
        << QStringList { QStringLiteral("--simulate"),       QStringLiteral("--simulate-rate=250"),
                         QStringLiteral("--port"),           QStringLiteral("/dev/null"),
                         QStringLiteral("--port=/dev/zero"), QStringLiteral("log.txt") }
        << false << 0 << QStringList() << true << 250
        << QStringList { QStringLiteral("/dev/null"), QStringLiteral("/dev/zero") }
        << QStringLiteral("log.txt");
    QTest::newRow("port that does not exist")
        << QStringList { QStringLiteral("--port=/dev/null"),
                         QStringLiteral("--port=/dev/rcan-no-such-port") }
        << true << 2 << QStringList { QStringLiteral("/dev/rcan-no-such-port") } << false << 100
        << QStringList { QStringLiteral("/dev/null"), QStringLiteral("/dev/rcan-no-such-port") }
        << none;
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
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
