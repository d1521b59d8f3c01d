#include "device/canbaudratecalculator.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

namespace {
struct Row
{
    int prescaler;
    int tbs1;
    int tbs2;
    int percent; // integer sample point, as the rule compares it
    bool operator==(const Row &o) const
    {
        return prescaler == o.prescaler && tbs1 == o.tbs1 && tbs2 == o.tbs2 && percent == o.percent;
    }
};

// The plain three-loop sweep the adapter's register layout suggests. With fullSweep false it
// stops at the first prescaler that cannot reach 72000 even with the shortest bit; beyond that
// nothing can match, so the result is the same and the test over all rates stays quick.
QVector<Row> bruteForce(int baud, bool fullSweep)
{
    QVector<Row> rows;
    if (baud < 5 || baud > 1000)
        return rows;
    for (qint64 p = 0; p <= 65535; ++p) {
        if (!fullSweep && p * baud * 3 > 72000)
            break;
        for (qint64 t1 = 0; t1 <= 15; ++t1) {
            for (qint64 t2 = 0; t2 <= 7; ++t2) {
                if (p * baud * (t1 + t2 + 3) != 72000)
                    continue;
                const qint64 percent = (100 * (t1 + 2)) / (t1 + t2 + 3);
                if (percent < 75 || percent > 88)
                    continue;
                rows.append({ int(p), int(t1), int(t2), int(percent) });
            }
        }
    }
    return rows;
}

QVector<Row> fromCalculator(int baud)
{
    QVector<Row> rows;
    const auto found = CANbaudRateCalculator::candidatesFor(baud);
    for (const auto &c : found) {
        rows.append({ c.prescaler, c.tbs1, c.tbs2, (100 * (c.tbs1 + 2)) / (c.tbs1 + c.tbs2 + 3) });
    }
    return rows;
}
} // namespace

class tst_CANbaudRateCalculator : public QObject
{
    Q_OBJECT

private slots:
    void enumerationMatchesBruteForce_data();
    void enumerationMatchesBruteForce();
    void everyRateMatchesBruteForce();
    void samplePointIsStoredExactly();

    void tableRows_data();
    void tableRows();
    void confirmReportsChosenRow_data();
    void confirmReportsChosenRow();
    void emptyTableConfirmEmitsNothing();
    void confirmBeforeCalculationEmitsNothing();
    void spinBoxChangeAfterCalculationIsIgnored();
    void cancelKeepsTable();

private:
    struct Form
    {
        CANbaudRateCalculator window;
        QSpinBox *userbaud = nullptr;
        QPushButton *calculate = nullptr;
        QPushButton *confirm = nullptr;
        QPushButton *cancle = nullptr;
        QTableWidget *table = nullptr;
        Form()
        {
            userbaud = window.findChild<QSpinBox *>(QStringLiteral("userbaud"));
            calculate = window.findChild<QPushButton *>(QStringLiteral("calculate"));
            confirm = window.findChild<QPushButton *>(QStringLiteral("confirm"));
            cancle = window.findChild<QPushButton *>(QStringLiteral("cancle"));
            table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
        }
        bool complete() const { return userbaud && calculate && confirm && cancle && table; }
        void calculateFor(int baud)
        {
            userbaud->setValue(baud);
            calculate->click();
        }
        void clickRow(int row) { emit table->itemClicked(table->item(row, 2)); }
    };
};

void tst_CANbaudRateCalculator::enumerationMatchesBruteForce_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("rows");
    QTest::newRow("1000kbps") << 1000 << 11;
    QTest::newRow("800kbps") << 800 << 10;
    QTest::newRow("250kbps") << 250 << 14;
    QTest::newRow("100kbps") << 100 << 21;
    QTest::newRow("50kbps") << 50 << 21;
    QTest::newRow("20kbps") << 20 << 21;
    QTest::newRow("10kbps") << 10 << 21;
    QTest::newRow("5kbps") << 5 << 21;
    QTest::newRow("33kbps (does not divide 72000)") << 33 << 0;
    QTest::newRow("4kbps (below range)") << 4 << 0;
    QTest::newRow("1001kbps (above range)") << 1001 << 0;
}

// The whole 65536 x 16 x 8 sweep for the rates users pick most.
void tst_CANbaudRateCalculator::enumerationMatchesBruteForce()
{
    QFETCH(int, baud);
    QFETCH(int, rows);
    const QVector<Row> expected = bruteForce(baud, true);
    QCOMPARE(expected.size(), rows);
    QVERIFY(fromCalculator(baud) == expected);
}

void tst_CANbaudRateCalculator::everyRateMatchesBruteForce()
{
    int ratesWithCandidates = 0;
    for (int baud = 5; baud <= 1000; ++baud) {
        const QVector<Row> expected = bruteForce(baud, false);
        const QVector<Row> actual = fromCalculator(baud);
        QVERIFY2(actual == expected,
                 qPrintable(QStringLiteral("rate %1 kbps: %2 vs %3 rows")
                                .arg(baud)
                                .arg(actual.size())
                                .arg(expected.size())));
        if (!actual.isEmpty())
            ++ratesWithCandidates;
    }
    QCOMPARE(ratesWithCandidates, 55);
}

void tst_CANbaudRateCalculator::samplePointIsStoredExactly()
{
    const auto found = CANbaudRateCalculator::candidatesFor(1000);
    for (const auto &c : found)
        QCOMPARE(c.samplePoint, double(c.tbs1 + 2) / double(c.tbs1 + c.tbs2 + 3));
}

void tst_CANbaudRateCalculator::tableRows_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("cells");
    QTest::newRow("1000kbps first")
        << 1000 << 0
        << QStringList { QStringLiteral("0"),  QStringLiteral("1000kbps"), QStringLiteral("4"),
                         QStringLiteral("12"), QStringLiteral("3"),        QStringLiteral("0.78") };
    QTest::newRow("1000kbps 88.9 % rounds to 0.89")
        << 1000 << 2
        << QStringList { QStringLiteral("2"),  QStringLiteral("1000kbps"), QStringLiteral("4"),
                         QStringLiteral("14"), QStringLiteral("1"),        QStringLiteral("0.89") };
    QTest::newRow("1000kbps last")
        << 1000 << 10
        << QStringList { QStringLiteral("10"), QStringLiteral("1000kbps"), QStringLiteral("18"),
                         QStringLiteral("1"),  QStringLiteral("0"),        QStringLiteral("0.75") };
    QTest::newRow("250kbps first")
        << 250 << 0
        << QStringList { QStringLiteral("0"),  QStringLiteral("250kbps"), QStringLiteral("16"),
                         QStringLiteral("12"), QStringLiteral("3"),       QStringLiteral("0.78") };
    QTest::newRow("250kbps fifth is the standard code")
        << 250 << 4
        << QStringList { QStringLiteral("4"),  QStringLiteral("250kbps"), QStringLiteral("18"),
                         QStringLiteral("11"), QStringLiteral("2"),       QStringLiteral("0.81") };
}

void tst_CANbaudRateCalculator::tableRows()
{
    QFETCH(int, baud);
    QFETCH(int, row);
    QFETCH(QStringList, cells);
    Form form;
    QVERIFY(form.complete());
    form.calculateFor(baud);
    QCOMPARE(form.table->rowCount(), CANbaudRateCalculator::candidatesFor(baud).size());
    QCOMPARE(form.table->columnCount(), 6);
    for (int column = 0; column < cells.size(); ++column) {
        QTableWidgetItem *item = form.table->item(row, column);
        QVERIFY(item);
        QCOMPARE(item->text(), cells.at(column));
        QCOMPARE(Qt::Alignment(item->textAlignment()), Qt::Alignment(Qt::AlignCenter));
    }
    QCOMPARE(form.table->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(form.table->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(form.table->selectionMode(), QAbstractItemView::SingleSelection);
}

void tst_CANbaudRateCalculator::confirmReportsChosenRow_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("clickedRow"); // -1: none clicked, the first row stays selected
    QTest::addColumn<int>("regsCode");
    QTest::newRow("1000kbps default row") << 1000 << -1 << 0x030C0004;
    QTest::newRow("1000kbps last row") << 1000 << 10 << 0x00010012;
    QTest::newRow("250kbps fifth row") << 250 << 4 << 0x020B0012;
    QTest::newRow("250kbps first row") << 250 << 0 << 0x030C0010;
    QTest::newRow("40kbps") << 40 << -1 << 0x040D005A;
}

void tst_CANbaudRateCalculator::confirmReportsChosenRow()
{
    QFETCH(int, baud);
    QFETCH(int, clickedRow);
    QFETCH(int, regsCode);
    Form form;
    QVERIFY(form.complete());
    QSignalSpy spy(&form.window, &CANbaudRateCalculator::user_BaudRateConfirmed);
    QVERIFY(spy.isValid());
    form.window.show();
    form.calculateFor(baud);
    if (clickedRow >= 0)
        form.clickRow(clickedRow);
    form.confirm->click();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), baud);
    QCOMPARE(spy.at(0).at(1).toInt(), regsCode);
    QVERIFY(form.window.isHidden());
}

void tst_CANbaudRateCalculator::emptyTableConfirmEmitsNothing()
{
    Form form;
    QVERIFY(form.complete());
    form.calculateFor(1000);
    QCOMPARE(form.table->rowCount(), 11);
    form.calculateFor(33);
    QCOMPARE(form.table->rowCount(), 0);
    QSignalSpy spy(&form.window, &CANbaudRateCalculator::user_BaudRateConfirmed);
    form.window.show();
    form.confirm->click();
    QCOMPARE(spy.count(), 0);
    QVERIFY(form.window.isHidden());
}

void tst_CANbaudRateCalculator::confirmBeforeCalculationEmitsNothing()
{
    Form form;
    QVERIFY(form.complete());
    QSignalSpy spy(&form.window, &CANbaudRateCalculator::user_BaudRateConfirmed);
    form.window.show();
    form.confirm->click();
    QCOMPARE(spy.count(), 0);
    QVERIFY(form.window.isHidden());
}

void tst_CANbaudRateCalculator::spinBoxChangeAfterCalculationIsIgnored()
{
    Form form;
    QVERIFY(form.complete());
    QSignalSpy spy(&form.window, &CANbaudRateCalculator::user_BaudRateConfirmed);
    form.calculateFor(250);
    form.clickRow(4);
    form.userbaud->setValue(1000);
    form.confirm->click();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 250);
    QCOMPARE(spy.at(0).at(1).toInt(), 0x020B0012);
}

void tst_CANbaudRateCalculator::cancelKeepsTable()
{
    Form form;
    QVERIFY(form.complete());
    QSignalSpy spy(&form.window, &CANbaudRateCalculator::user_BaudRateConfirmed);
    form.window.show();
    form.calculateFor(250);
    form.clickRow(4);
    form.cancle->click();
    QVERIFY(form.window.isHidden());
    QCOMPARE(spy.count(), 0);
    form.window.show();
    QCOMPARE(form.table->rowCount(), 14);
    form.confirm->click();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(1).toInt(), 0x020B0012);
}

QTEST_MAIN(tst_CANbaudRateCalculator)
#include "tst_canbaudratecalculator.moc"
