#include "app/applicationshell.h"
#include "display/cantablewidget.h"
#include "display/rstanditemmodel.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

namespace {
CanRecord record(int n)
{
    CanRecord r;
    r.msecsOfDay = 10 * 3600000 + n;
    r.timeStamp = quint32(n);
    r.channel = quint8(1 + n % 2);
    r.id = quint32(0x100 + n);
    r.info = 4;
    // Every hex digit next to every other across the rows, for fonts that kern some pairs.
    r.data[0] = quint8(n);
    r.data[1] = quint8((n % 16) << 4 | (15 - n % 16));
    r.data[2] = 0x1D;
    r.data[3] = 0xAF;
    return r;
}

// Newest first, as the display buffer builds it.
CanRecordList newestFirst(int count)
{
    CanRecordList list;
    for (int n = count - 1; n >= 0; --n)
        list.append(record(n));
    return list;
}
} // namespace

class tst_RstandItemModel : public QObject
{
    Q_OBJECT
private slots:
    void emptySnapshotHasNoRows();
    void cells_data();
    void cells();
    void rowNumbersCountDown();
    void invalidRequestsGiveNothing_data();
    void invalidRequestsGiveNothing();
    void refreshTakesASharedSnapshot();
    void timeFormatSwitchesAtOnce();
    void tableHeaderAndEditors();
    void tableShowsTheSnapshot();
    void dataColumnTakesTheWidth_data();
    void dataColumnTakesTheWidth();
    void cellsDrawLikeThePlainDelegate_data();
    void cellsDrawLikeThePlainDelegate();
};

void tst_RstandItemModel::emptySnapshotHasNoRows()
{
    LockedHandoff<CanRecordView> source;
    RstandItemModel model(&source);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.refresh();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 8);
}

void tst_RstandItemModel::cells_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    // Row 0 of a three-row snapshot is the newest record, number 2.
    QTest::newRow("number") << 0 << QStringLiteral("3");
    QTest::newRow("host time") << 1 << QStringLiteral("10:00:00.002");
    QTest::newRow("channel") << 2 << QStringLiteral("1");
    QTest::newRow("identifier") << 3 << QStringLiteral("0x102");
    QTest::newRow("type") << 4 << QStringLiteral("STD");
    QTest::newRow("direction") << 5 << QStringLiteral("Rx");
    QTest::newRow("length") << 6 << QStringLiteral("4");
    QTest::newRow("data") << 7 << QStringLiteral("02 2D 1D AF");
}

void tst_RstandItemModel::cells()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    LockedHandoff<CanRecordView> source;
    source.set(newestFirst(3));
    RstandItemModel model(&source);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.refresh();
    const QModelIndex index = model.index(0, column);
    QCOMPARE(model.data(index, Qt::DisplayRole), QVariant(text));
    QCOMPARE(model.data(index, Qt::EditRole), QVariant(text));
}

void tst_RstandItemModel::rowNumbersCountDown()
{
    LockedHandoff<CanRecordView> source;
    source.set(newestFirst(3));
    RstandItemModel model(&source);
    model.refresh();
    QStringList numbers;
    for (int row = 0; row < model.rowCount(); ++row)
        numbers << model.index(row, 0).data().toString();
    QCOMPARE(numbers,
             (QStringList { QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1") }));
}

void tst_RstandItemModel::invalidRequestsGiveNothing_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::newRow("row equal to the row count") << 3 << 1 << int(Qt::DisplayRole);
    QTest::newRow("column past the last") << 0 << 8 << int(Qt::DisplayRole);
    QTest::newRow("alignment role") << 0 << 1 << int(Qt::TextAlignmentRole);
    QTest::newRow("colour role") << 0 << 1 << int(Qt::ForegroundRole);
    QTest::newRow("font role") << 0 << 1 << int(Qt::FontRole);
}

void tst_RstandItemModel::invalidRequestsGiveNothing()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, role);
    LockedHandoff<CanRecordView> source;
    source.set(newestFirst(3));
    RstandItemModel model(&source);
    model.refresh();
    // index() refuses rows and columns outside the table; ask data() with a forged one as well.
    QVERIFY(!model.data(model.index(row, column), role).isValid());
    QVERIFY(!model.data(QModelIndex(), Qt::DisplayRole).isValid());
}

void tst_RstandItemModel::refreshTakesASharedSnapshot()
{
    LockedHandoff<CanRecordView> source;
    source.set(newestFirst(2));
    RstandItemModel model(&source);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.refresh();
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(reset.count(), 1);

    // The snapshot stays as taken while the source moves on; the next refresh follows it.
    source.set(newestFirst(5));
    QCOMPARE(model.rowCount(), 2);
    model.refresh();
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.index(0, 3).data().toString(), QStringLiteral("0x104"));
}

void tst_RstandItemModel::timeFormatSwitchesAtOnce()
{
    LockedHandoff<CanRecordView> source;
    source.set(newestFirst(3));
    RstandItemModel model(&source);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.refresh();
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.setTimeStampeFormat(1);
    QCOMPARE(reset.count(), 1);
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(model.index(row, 1).data().toString(),
                 QStringLiteral("000000.000") + QString::number(2 - row));
    }
    model.setTimeStampeFormat(2); // ignored
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("000000.0002"));
    model.setTimeStampeFormat(0);
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("10:00:00.002"));
}

void tst_RstandItemModel::tableHeaderAndEditors()
{
    LockedHandoff<CanRecordView> source;
    QWidget parent;
    CANTableWidget table(&parent, &source);

    QTableWidget *header = table.headerTable;
    QCOMPARE(header->rowCount(), 2);
    QCOMPARE(header->columnCount(), 8);
    QCOMPARE(header->rowSpan(0, 0), 2);
    QCOMPARE(header->minimumHeight(), 62);
    QCOMPARE(header->maximumHeight(), 62);
    const QStringList titles { QStringLiteral("序号"),    QStringLiteral("时间标识"),
                               QStringLiteral("源通道"),  QStringLiteral("帧ID"),
                               QStringLiteral("CAN类型"), QStringLiteral("方向"),
                               QStringLiteral("长度"),    QStringLiteral("数据") };
    const QList<int> headerWidths { 70, 170, 60, 100, 70, 60, 50, 300 };
    const QList<int> viewWidths { 70, 170, 50, 100, 70, 60, 50, 300 };
    for (int c = 0; c < 8; ++c) {
        QCOMPARE(header->item(0, c)->text(), titles.at(c));
        QVERIFY(!(header->item(0, c)->flags() & Qt::ItemIsEditable));
        if (c == 7)
            break; // the data column follows the window (below)
        QCOMPARE(header->columnWidth(c), headerWidths.at(c));
        QCOMPARE(table.tableView->columnWidth(c), viewWidths.at(c));
    }

    const QList<QWidget *> editors { table.timeEdit,  table.channelEdit, table.idEdit,
                                     table.typeCombo, table.dirCombo,    table.lengthEdit,
                                     table.dataEdit };
    const QList<int> editorWidths { 165, 55, 95, 65, 55, 45, 300 };
    for (int i = 0; i < editors.size(); ++i) {
        QCOMPARE(header->cellWidget(1, i + 1), editors.at(i));
        QCOMPARE(editors.at(i)->minimumWidth(), editorWidths.at(i));
        if (editors.at(i) != table.dataEdit)
            QCOMPARE(editors.at(i)->maximumWidth(), editorWidths.at(i));
        QCOMPARE(editors.at(i)->styleSheet(), QStringLiteral("border:1px solid #ADD8E6"));
    }
    QCOMPARE(table.typeCombo->count(), 5);
    QCOMPARE(table.typeCombo->itemText(0), QStringLiteral("全部"));
    QCOMPARE(table.typeCombo->itemText(2), QStringLiteral("EXT"));
    QCOMPARE(table.typeCombo->itemText(3), QStringLiteral("STD-R"));
    QCOMPARE(table.typeCombo->itemText(4), QStringLiteral("EXT-R"));
    QCOMPARE(table.dirCombo->itemText(1), QStringLiteral("Tx"));
    QCOMPARE(table.dirCombo->itemText(2), QStringLiteral("Rx"));
    QCOMPARE(table.dirCombo->currentIndex(), 0);
}

void tst_RstandItemModel::tableShowsTheSnapshot()
{
    LockedHandoff<CanRecordView> source;
    source.set(newestFirst(4));
    CANTableWidget table(nullptr, &source);
    QCOMPARE(table.tableView->model(), table.model());
    QCOMPARE(table.tableView->model()->rowCount(), 0);
    table.model()->refresh();
    QCOMPARE(table.tableView->model()->rowCount(), 4);
    // A reset keeps the column widths.
    QCOMPARE(table.tableView->columnWidth(2), 50);
}

void tst_RstandItemModel::dataColumnTakesTheWidth_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("as wide as the columns") << 900;
    QTest::newRow("wide window") << 1600;
}

void tst_RstandItemModel::dataColumnTakesTheWidth()
{
    QFETCH(int, width);
    LockedHandoff<CanRecordView> source;
    source.set(newestFirst(400)); // enough rows for a vertical scroll bar
    CANTableWidget table(nullptr, &source);
    table.model()->refresh();
    table.resize(width, 500);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));

    // The last column ends where each table's visible area ends; its filter fills its cell.
    for (QTableView *view : { static_cast<QTableView *>(table.headerTable), table.tableView }) {
        const int end = view->columnViewportPosition(7) + view->columnWidth(7);
        QCOMPARE(end, view->viewport()->width());
        QVERIFY(view->columnWidth(7) >= 300 - 20); // the scroll bar may take its share
    }
    QTRY_COMPARE(table.dataEdit->width(), table.headerTable->columnWidth(7));
}

QTEST_MAIN(tst_RstandItemModel)
#include "tst_rstanditemmodel.moc"

void tst_RstandItemModel::cellsDrawLikeThePlainDelegate_data()
{
    QTest::addColumn<bool>("applicationFont");
    QTest::newRow("platform font") << false;
    QTest::newRow("application font") << true;
}

void tst_RstandItemModel::cellsDrawLikeThePlainDelegate()
{
    QFETCH(bool, applicationFont);
    const QFont platformFont = QApplication::font();
    if (applicationFont)
        ApplicationShell::setUpApplicationFont();
    const auto restoreFont = qScopeGuard([&] { QApplication::setFont(platformFont); });
    // Repeated texts are drawn from pictures of earlier cells; the table must look the same as
    // with the plain delegate, on the first drawing and on later ones, after shifting rows too.
    LockedHandoff<CanRecordView> source;
    source.set(newestFirst(60));
    CANTableWidget table(nullptr, &source);
    table.resize(1000, 500);
    table.model()->refresh();
    const auto picture = [&table] { return table.tableView->grab().toImage(); };
    const QImage first = picture();
    QCOMPARE(picture(), first);
    source.set(newestFirst(63));
    table.model()->refresh();
    const QImage shifted = picture();
    table.tableView->setItemDelegate(new QStyledItemDelegate(table.tableView));
    QCOMPARE(picture(), shifted);
    source.set(newestFirst(60));
    table.model()->refresh();
    QCOMPARE(picture(), first);
}
