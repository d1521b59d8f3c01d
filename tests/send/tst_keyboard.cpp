#include "send/keyboard.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {
constexpr int HexColumn = 8;
constexpr int DecColumn = 9;

QTableWidget *tableOf(KeyBoard *editor)
{
    return editor->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
}

QPushButton *bitButton(KeyBoard *editor, int row, int column)
{
    return qobject_cast<QPushButton *>(tableOf(editor)->cellWidget(row, column));
}

QLineEdit *field(KeyBoard *editor, int row, int column)
{
    return qobject_cast<QLineEdit *>(tableOf(editor)->cellWidget(row, column));
}

QString rowBits(KeyBoard *editor, int row)
{
    QString bits;
    for (int column = 0; column < 8; ++column)
        bits += bitButton(editor, row, column)->text();
    return bits;
}

// One user step: "bit R C" clicks a bit button, "hex R TEXT" / "dec R TEXT" type into a field,
// "clearhex R" / "cleardec R" empty a field with the keyboard.
void perform(KeyBoard *editor, const QString &step)
{
    const QStringList parts = step.split(QLatin1Char(' '));
    const int row = parts.at(1).toInt();
    if (parts.at(0) == QLatin1String("bit")) {
        QTest::mouseClick(bitButton(editor, row, parts.at(2).toInt()), Qt::LeftButton);
        return;
    }
    const bool hex = parts.at(0).endsWith(QLatin1String("hex"));
    QLineEdit *edit = field(editor, row, hex ? HexColumn : DecColumn);
    if (parts.at(0).startsWith(QLatin1String("clear"))) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        return;
    }
    edit->end(false);
    QTest::keyClicks(edit, parts.at(2));
}
} // namespace

class tst_KeyBoard : public QObject
{
    Q_OBJECT
private slots:
    void editing_data();
    void editing();
    void closingDeliversNothing();
};

void tst_KeyBoard::editing_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("visibleRows");
    QTest::addColumn<QStringList>("bits"); // per visible row
    QTest::addColumn<QStringList>("hex");
    QTest::addColumn<QStringList>("dec");
    QTest::addColumn<QString>("result");

    QTest::newRow("length 0 shows no rows and gives an empty text")
        << 0 << QStringList() << 0 << QStringList() << QStringList() << QStringList() << QString();
    QTest::newRow("b7 of B0 and b0 of B2")
        << 3 << QStringList { QStringLiteral("bit 0 0"), QStringLiteral("bit 2 7") } << 3
        << QStringList { QStringLiteral("10000000"), QStringLiteral("00000000"),
                         QStringLiteral("00000001") }
        << QStringList { QStringLiteral("80"), QStringLiteral("00"), QStringLiteral("1") }
        << QStringList { QStringLiteral("128"), QString(), QStringLiteral("1") }
        << QStringLiteral("80 00 01");
    QTest::newRow("hex 0C keeps two digits in the result")
        << 1 << QStringList { QStringLiteral("clearhex 0"), QStringLiteral("hex 0 0C") } << 1
        << QStringList { QStringLiteral("00001100") } << QStringList { QStringLiteral("0C") }
        << QStringList { QStringLiteral("12") } << QStringLiteral("0C");
    QTest::newRow("decimal 255 sets every bit")
        << 2 << QStringList { QStringLiteral("dec 1 255") } << 2
        << QStringList { QStringLiteral("00000000"), QStringLiteral("11111111") }
        << QStringList { QStringLiteral("00"), QStringLiteral("FF") }
        << QStringList { QString(), QStringLiteral("255") } << QStringLiteral("00 FF");
    QTest::newRow("cleared hex field clears the bits and reads 00")
        << 1
        << QStringList { QStringLiteral("clearhex 0"), QStringLiteral("hex 0 a5"),
                         QStringLiteral("clearhex 0") }
        << 1 << QStringList { QStringLiteral("00000000") } << QStringList { QString() }
        << QStringList { QStringLiteral("0") } << QStringLiteral("00");
    QTest::newRow("a bit clicked twice is back to zero")
        << 1 << QStringList { QStringLiteral("bit 0 3"), QStringLiteral("bit 0 3") } << 1
        << QStringList { QStringLiteral("00000000") } << QStringList { QStringLiteral("0") }
        << QStringList { QStringLiteral("0") } << QStringLiteral("00");
    QTest::newRow("decimal field takes no typed 0 and no 256")
        << 1 << QStringList { QStringLiteral("dec 0 0"), QStringLiteral("dec 0 256") } << 1
        << QStringList { QStringLiteral("00011001") } << QStringList { QStringLiteral("19") }
        << QStringList { QStringLiteral("25") } << QStringLiteral("19");
    QTest::newRow("hex field takes at most two digits")
        << 1 << QStringList { QStringLiteral("clearhex 0"), QStringLiteral("hex 0 1234") } << 1
        << QStringList { QStringLiteral("00010010") } << QStringList { QStringLiteral("12") }
        << QStringList { QStringLiteral("18") } << QStringLiteral("12");
    QTest::newRow("untouched rows read 00 with an empty decimal field")
        << 2 << QStringList() << 2
        << QStringList { QStringLiteral("00000000"), QStringLiteral("00000000") }
        << QStringList { QStringLiteral("00"), QStringLiteral("00") }
        << QStringList { QString(), QString() } << QStringLiteral("00 00");
    QTest::newRow("length above 8 is cut to 8")
        << 12 << QStringList() << 8 << QStringList() << QStringList() << QStringList()
        << QStringLiteral("00 00 00 00 00 00 00 00");
    QTest::newRow("negative length is 0")
        << -3 << QStringList() << 0 << QStringList() << QStringList() << QStringList() << QString();
}

void tst_KeyBoard::editing()
{
    QFETCH(int, length);
    QFETCH(QStringList, steps);
    QFETCH(int, visibleRows);
    QFETCH(QStringList, bits);
    QFETCH(QStringList, hex);
    QFETCH(QStringList, dec);
    QFETCH(QString, result);

    QWidget owner;
    QPointer<KeyBoard> editor = new KeyBoard(&owner, length);
    QVERIFY(editor->isWindow());
    QCOMPARE(editor->size(), QSize(360, 380));
    QCOMPARE(editor->byteCount(), visibleRows);
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor));

    QTableWidget *table = tableOf(editor);
    int shown = 0;
    for (int row = 0; row < 8; ++row)
        shown += table->isRowHidden(row) ? 0 : 1;
    QCOMPARE(shown, visibleRows);

    for (const QString &step : qAsConst(steps))
        perform(editor, step);

    for (int row = 0; row < bits.size(); ++row) {
        QCOMPARE(rowBits(editor, row), bits.at(row));
        QCOMPARE(field(editor, row, HexColumn)->text(), hex.at(row));
        QCOMPARE(field(editor, row, DecColumn)->text(), dec.at(row));
    }

    QStringList delivered;
    connect(editor, &KeyBoard::signal_transResult, this,
            [&delivered](QString &text) { delivered.append(text); });
    QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("pushButton")),
                      Qt::LeftButton);
    QCOMPARE(delivered, QStringList { result });
    QTRY_VERIFY(editor.isNull());
}

void tst_KeyBoard::closingDeliversNothing()
{
    QWidget owner;
    QPointer<KeyBoard> editor = new KeyBoard(&owner, 2);
    editor->show();
    int delivered = 0;
    connect(editor, &KeyBoard::signal_transResult, this, [&delivered] { ++delivered; });
    QPushButton *close = nullptr;
    for (QPushButton *button : editor->findChildren<QPushButton *>(QStringLiteral("close")))
        close = button;
    QVERIFY(close);
    QTest::mouseClick(close, Qt::LeftButton);
    QTRY_VERIFY(editor.isNull());
    QCOMPARE(delivered, 0);
}

QTEST_MAIN(tst_KeyBoard)
#include "tst_keyboard.moc"
