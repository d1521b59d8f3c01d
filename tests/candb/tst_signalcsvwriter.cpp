#include "candb/signalcsvwriter.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Python's csv module reads what the writer wrote; every number must come back as the same
// double, every text as written.
class tst_SignalCsvWriter : public QObject
{
    Q_OBJECT

private slots:
    void readBack_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<QVector<QVariantList>>("expected");

        const QString speed1 = QStringLiteral("Engine.Speed.ch1");
        const QString speed2 = QStringLiteral("Engine.Speed.ch2");
        const QString sel = QStringLiteral("Mux, \"front\".Sel");
        const QVariant none = QString();
        // Two values of one signal at one time go to two rows.
        QTest::newRow("wide") << int(SignalCsvWriter::Wide)
                              << QVector<QVariantList> {
                                     { QStringLiteral("time"), speed1, sel, speed2 },
                                     { 0.0001, 0.1, none, none },
                                     { 1.5, -40.0, 1e-7, none },
                                     { 1.5, 3.0, none, none },
                                     { 2.0, none, 123456789.125, 5.0 },
                                 };
        const QString engine = QStringLiteral("Engine");
        const QString mux = QStringLiteral("Mux, \"front\"");
        const QString speed = QStringLiteral("Speed");
        const QString rpm = QStringLiteral("rpm");
        QTest::newRow("long") << int(SignalCsvWriter::Long)
                              << QVector<QVariantList> {
                                     { QStringLiteral("time"), QStringLiteral("channel"),
                                       QStringLiteral("message"), QStringLiteral("signal"),
                                       QStringLiteral("value"), QStringLiteral("unit") },
                                     { 0.0001, 1.0, engine, speed, 0.1, rpm },
                                     { 1.5, 1.0, engine, speed, -40.0, rpm },
                                     { 1.5, 2.0, mux, QStringLiteral("Sel"), 1e-7, none },
                                     { 1.5, 1.0, engine, speed, 3.0, rpm },
                                     { 2.0, 2.0, mux, QStringLiteral("Sel"), 123456789.125, none },
                                     { 2.0, 2.0, engine, speed, 5.0, rpm },
                                 };
    }

    void readBack()
    {
        QFETCH(int, form);
        QFETCH(QVector<QVariantList>, expected);
        const QVector<SignalCsvWriter::Column> columns {
            { { 1, 0x100, false, QStringLiteral("Speed") },
              QStringLiteral("Engine"),
              QStringLiteral("rpm"),
              { { 0.0001, 0.1 }, { 1.5, -40 }, { 1.5, 3 } } },
            { { 2, 0x200, false, QStringLiteral("Sel") },
              QStringLiteral("Mux, \"front\""),
              QString(),
              { { 1.5, 1e-7 }, { 2.0, 123456789.125 } } },
            { { 2, 0x100, false, QStringLiteral("Speed") },
              QStringLiteral("Engine"),
              QStringLiteral("rpm"),
              { { 2.0, 5 } } },
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("signals.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(SignalCsvWriter::write(&file, SignalCsvWriter::Form(form), columns));
        file.close();

        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     { QStringLiteral("-c"),
                       QStringLiteral("import csv, sys\n"
                                      "for row in csv.reader(open(sys.argv[1], newline='')):\n"
                                      "    print('\\x1f'.join(row))\n"),
                       path });
        QVERIFY(python.waitForFinished(30000));
        QCOMPARE(python.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(python.readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), expected.size());
        for (int r = 0; r < lines.size(); ++r) {
            const QStringList cells = lines.at(r).split(QChar(0x1f));
            QCOMPARE(cells.size(), expected.at(r).size());
            for (int c = 0; c < cells.size(); ++c) {
                const QVariant &want = expected.at(r).at(c);
                if (want.type() == QVariant::Double) {
                    bool ok = false;
                    QCOMPARE(cells.at(c).toDouble(&ok), want.toDouble());
                    QVERIFY2(ok, qPrintable(cells.at(c)));
                } else {
                    QCOMPARE(cells.at(c), want.toString());
                }
            }
        }
    }
};

QTEST_APPLESS_MAIN(tst_SignalCsvWriter)
#include "tst_signalcsvwriter.moc"
