#include "display/candatadisplaysupport.h"
#include "display/cantablewidget.h"
#include "display/canview_widget.h"
#include "display/idoverview.h"
#include "display/idoverviewfilter.h"
#include "display/idoverviewmodel.h"
#include "display/idoverviewtable.h"
#include "protocol/contextprotocol.h"
#include "recording/logcodec.h"
#include "support/privatesettingsmain.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>
#include <numeric>

namespace {
// Frames of one identifier at fixed gaps of device time (0.1 ms), the gaps taken in turn.
struct Stream
{
    quint8 channel;
    quint32 id;
    quint8 flags; // LogFrame::Extended, LogFrame::Remote
    quint8 dir;
    quint32 firstTick;
    QVector<quint32> gaps;
    int frames;
};
using Streams = QVector<Stream>;

// Every frame of `streams` in device time order, stamps counted from `start`; the first data byte
// runs with each identifier's frames, the others stay.
QVector<LogFrame> merged(const Streams &streams, quint32 start)
{
    QVector<LogFrame> frames;
    QVector<quint64> ticks;
    for (const Stream &s : streams) {
        quint64 tick = s.firstTick;
        for (int i = 0; i < s.frames; ++i) {
            LogFrame f;
            f.channel = s.channel;
            f.id = s.id;
            f.info = quint8(s.flags | 8);
            f.dir = s.dir;
            f.data[0] = quint8(i);
            f.data[7] = 0x5A;
            f.timeStamp = quint32(start + tick);
            frames << f;
            ticks << tick;
            tick += s.gaps.at(i % s.gaps.size());
        }
    }
    QVector<int> order(frames.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return ticks[a] < ticks[b]; });
    QVector<LogFrame> sorted;
    for (int i : order)
        sorted << frames[i];
    return sorted;
}
} // namespace
Q_DECLARE_METATYPE(Streams)

class tst_IdOverview : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void statistics_data();
    void statistics();
    void sortingAndFilters();
    void pauseHoldsAndClearEmpties();
    void rowLimitCountsTheRest();
    void changedBytesFadeAndQuietRowsDim();

private:
    QAbstractItemModel *shown() const { return view->overview()->model(); }
    QStringList shownRows(int columns = IdOverviewModel::DataColumn) const
    {
        QStringList rows;
        for (int r = 0; r < shown()->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < columns; ++c)
                cells << shown()->index(r, c).data().toString();
            rows << cells.join(QLatin1Char(' '));
        }
        return rows;
    }
    void sendLive(const QVector<LogFrame> &frames)
    {
        for (const LogFrame &f : frames)
            emit contextProtocol::instance()->signal_REP_CANFrame(f.channel, f.toDeviceFrame(),
                                                                  f.timeStamp, f.dir);
    }
    void frame(quint32 id, int times, quint8 flags = 0)
    {
        Stream s { 1, id, flags, 0, 0, { 100 }, times };
        sendLive(merged({ s }, 0));
    }

    CANView_Widget *view = nullptr;
    QAbstractItemModelTester *sourceTester = nullptr;
    QAbstractItemModelTester *shownTester = nullptr;
    QTemporaryDir dir;
};

void tst_IdOverview::init()
{
    view = new CANView_Widget;
    view->setUserPrompts([](const QString &) {}, [](const QString &) { return true; });
    view->resize(1200, 600);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    view->overviewButton()->click();
    QVERIFY(view->overview()->isVisible());
    QVERIFY(!view->table()->tableView->isVisible());
    sourceTester = new QAbstractItemModelTester(
        view->overview()->overviewModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    shownTester = new QAbstractItemModelTester(
        shown(), QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void tst_IdOverview::cleanup()
{
    QTest::mouseClick(view->findChild<QPushButton *>(QStringLiteral("button_clear")),
                      Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(view->overview()->overviewModel()->rowCount(), 0, 10000);
    for (QLineEdit *edit : view->table()->findChildren<QLineEdit *>())
        edit->clear();
    view->table()->typeCombo->setCurrentIndex(0);
    view->overviewButton()->setChecked(false);
    delete shownTester;
    delete sourceTester;
    delete view;
    view = nullptr;
}

void tst_IdOverview::statistics_data()
{
    QTest::addColumn<Streams>("streams");
    QTest::addColumn<quint32>("start");
    QTest::addColumn<QStringList>("rows"); // channel, ID, type, dir, counts, cycle ms, DLC

    constexpr quint8 Ext = LogFrame::Extended;
    constexpr quint8 Rtr = LogFrame::Remote;
    const struct
    {
        const char *name;
        Streams streams;
        quint32 start;
        QStringList rows;
    } cases[] = {
        { "one period per identifier",
          { { 1, 0x100, 0, 0, 0, { 100 }, 50 },
            { 1, 0x18FF0001, Ext, 0, 30, { 250 }, 20 },
            { 2, 0x100, 0, 0, 7, { 50 }, 40 } },
          0,
          { QStringLiteral("1 0x100 STD Rx 50 0 10.0 10.0 10.0 10.0 8"),
            QStringLiteral("2 0x100 STD Rx 40 0 5.0 5.0 5.0 5.0 8"),
            QStringLiteral("1 0x18ff0001 EXT Rx 20 0 25.0 25.0 25.0 25.0 8") } },
        { "jittering gaps",
          { { 1, 0x200, 0, 0, 0, { 90, 110, 105, 95 }, 41 } },
          5000,
          { QStringLiteral("1 0x200 STD Rx 41 0 9.5 10.0 9.0 11.0 8") } },
        { "remote frames apart",
          { { 1, 0x300, 0, 0, 0, { 100 }, 10 }, { 1, 0x300, Rtr, 0, 50, { 200 }, 5 } },
          0,
          { QStringLiteral("1 0x300 STD Rx 10 5 10.0 10.0 10.0 10.0 8") } },
        { "across the stamp wrap",
          { { 1, 0x7EF, 0, 0, 0, { 10 }, 100 } },
          0xFFFFFF00u,
          { QStringLiteral("1 0x7ef STD Rx 100 0 1.0 1.0 1.0 1.0 8") } },
        { "sent frames",
          { { 2, 0x55, 0, 1, 0, { 1000 }, 3 } },
          0,
          { QStringLiteral("2 0x55 STD Tx 3 0 100.0 100.0 100.0 100.0 8") } },
    };
    for (const auto &c : cases) {
        QTest::addRow("%s, live", c.name) << c.streams << c.start << c.rows;
        QTest::addRow("%s, from a log", c.name) << c.streams << c.start << c.rows;
    }
}

void tst_IdOverview::statistics()
{
    QFETCH(Streams, streams);
    QFETCH(quint32, start);
    QFETCH(QStringList, rows);
    const QVector<LogFrame> frames = merged(streams, start);

    if (QByteArray(QTest::currentDataTag()).endsWith("live")) {
        sendLive(frames);
    } else {
        const std::unique_ptr<LogCodec> codec = LogCodec::create(LogFormat::CandumpWithDirection);
        QByteArray text = codec->header(1765180800000000, -1);
        for (const LogFrame &f : frames) {
            CanRecord record = CanRecord::fromFrame(f, 0);
            record.hostTimeUs = 1765180800000000;
            codec->appendRecord(text, record);
        }
        const QString path = dir.filePath(QStringLiteral("stream.log"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        view->openLogFile(path);
    }
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(), rows, 10000);
}

void tst_IdOverview::sortingAndFilters()
{
    frame(0x21, 3);
    frame(0x10, 5);
    frame(0x1234, 1, LogFrame::Extended);
    frame(0x22, 2, LogFrame::Remote);
    QTRY_COMPARE_WITH_TIMEOUT(shown()->rowCount(), 4, 10000);

    const auto column = [this](int c) {
        QStringList cells;
        for (int r = 0; r < shown()->rowCount(); ++r)
            cells << shown()->index(r, c).data().toString();
        return cells;
    };
    using M = IdOverviewModel;
    view->overview()->sortByColumn(M::CountColumn, Qt::DescendingOrder);
    QCOMPARE(column(M::IdColumn),
             (QStringList { QStringLiteral("0x10"), QStringLiteral("0x21"),
                            QStringLiteral("0x1234"), QStringLiteral("0x22") }));
    view->overview()->sortByColumn(M::RemoteColumn, Qt::DescendingOrder);
    QCOMPARE(column(M::IdColumn).first(), QStringLiteral("0x22"));
    view->overview()->sortByColumn(M::IdColumn, Qt::AscendingOrder);

    // The trace's filters, tested on each identifier's newest frame.
    view->table()->idEdit->setText(QStringLiteral("0x2"));
    QCOMPARE(column(M::IdColumn), (QStringList { QStringLiteral("0x21"), QStringLiteral("0x22") }));
    view->table()->typeCombo->setCurrentText(QStringLiteral("STD-R"));
    QCOMPARE(column(M::IdColumn), QStringList { QStringLiteral("0x22") });
    view->table()->idEdit->clear();
    view->table()->typeCombo->setCurrentIndex(0);
    QCOMPARE(shown()->rowCount(), 4);

    // The overview's own filter editors stand under its columns, where the trace's title and
    // filter row (other columns) is gone, and set the same filters.
    QVERIFY(!view->table()->headerTable->isVisible());
    QHeaderView *header = view->overview()->horizontalHeader();
    QLineEdit *idFilter = nullptr;
    QComboBox *typeFilter = nullptr;
    for (QLineEdit *edit : header->findChildren<QLineEdit *>()) {
        if (edit->geometry().center().x() > header->sectionViewportPosition(M::IdColumn)
            && edit->geometry().center().x()
                < header->sectionViewportPosition(M::IdColumn) + header->sectionSize(M::IdColumn))
            idFilter = edit;
    }
    for (QComboBox *combo : header->findChildren<QComboBox *>()) {
        if (combo->geometry().left() >= header->sectionViewportPosition(M::TypeColumn)
            && combo->geometry().right() < header->sectionViewportPosition(M::TypeColumn)
                    + header->sectionSize(M::TypeColumn))
            typeFilter = combo;
    }
    QVERIFY(idFilter && idFilter->isVisible());
    QVERIFY(typeFilter);
    idFilter->setText(QStringLiteral("0x2"));
    QCOMPARE(view->table()->idEdit->text(), QStringLiteral("0x2"));
    QCOMPARE(column(M::IdColumn), (QStringList { QStringLiteral("0x21"), QStringLiteral("0x22") }));
    typeFilter->setCurrentText(QStringLiteral("STD-R"));
    QCOMPARE(view->table()->typeCombo->currentText(), QStringLiteral("STD-R"));
    QCOMPARE(column(M::IdColumn), QStringList { QStringLiteral("0x22") });
    // And the other way round.
    view->table()->idEdit->setText(QStringLiteral("0x22"));
    QCOMPARE(idFilter->text(), QStringLiteral("0x22"));
    view->table()->idEdit->clear();
    QVERIFY(idFilter->text().isEmpty());
    typeFilter->setCurrentIndex(0);
    QCOMPARE(view->table()->typeCombo->currentIndex(), 0);
    QCOMPARE(shown()->rowCount(), 4);
    view->overviewButton()->setChecked(false);
    QVERIFY(view->table()->headerTable->isVisible());
    view->overviewButton()->setChecked(true);

    // New frames re-sort: 0x1234 overtakes the others in count.
    view->overview()->sortByColumn(M::CountColumn, Qt::DescendingOrder);
    frame(0x1234, 9, LogFrame::Extended);
    QTRY_COMPARE_WITH_TIMEOUT(column(M::IdColumn).first(), QStringLiteral("0x1234"), 10000);
    QCOMPARE(column(M::CountColumn).first(), QStringLiteral("10"));

    // A view rebuilt on a language switch comes back in the mode the user left.
    CANView_Widget rebuilt;
    QVERIFY(rebuilt.overviewButton()->isChecked());
    QVERIFY(rebuilt.overview()->isVisibleTo(&rebuilt));
    QVERIFY(!rebuilt.table()->tableView->isVisibleTo(&rebuilt));
}

void tst_IdOverview::pauseHoldsAndClearEmpties()
{
    frame(0x10, 2);
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(5), QStringList { QStringLiteral("1 0x10 STD Rx 2") },
                              10000);
    auto *pause = view->findChild<QPushButton *>(QStringLiteral("Button_pause"));
    auto *received = view->findChild<QLabel *>(QStringLiteral("label_recvCount"));
    QTest::mouseClick(pause, Qt::LeftButton);
    frame(0x10, 3);
    frame(0x11, 1);
    // The counters go on during a pause; once they show the frames, the overview has had its
    // chance to change.
    QTRY_COMPARE_WITH_TIMEOUT(received->text(), QStringLiteral("6"), 10000);
    QCOMPARE(shownRows(5), QStringList { QStringLiteral("1 0x10 STD Rx 2") });
    QTest::mouseClick(pause, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(
        shownRows(5),
        (QStringList { QStringLiteral("1 0x10 STD Rx 5"), QStringLiteral("1 0x11 STD Rx 1") }),
        10000);

    // Hidden behind the trace it takes nothing; shown again it catches up at once.
    view->overviewButton()->click();
    frame(0x11, 1);
    QTRY_COMPARE_WITH_TIMEOUT(view->table()->tableView->model()->rowCount(), 7, 10000);
    QCOMPARE(shownRows(5).last(), QStringLiteral("1 0x11 STD Rx 1"));
    view->overviewButton()->click();
    QCOMPARE(shownRows(5).last(), QStringLiteral("1 0x11 STD Rx 2"));

    QTest::mouseClick(view->findChild<QPushButton *>(QStringLiteral("button_clear")),
                      Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(shown()->rowCount(), 0, 10000);
    // Counting starts afresh: no cycle spans the clear.
    frame(0x10, 1);
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(),
                              QStringList { QStringLiteral("1 0x10 STD Rx 1 0     8") }, 10000);
}

void tst_IdOverview::rowLimitCountsTheRest()
{
    IdOverview *overview = CAN_DataDisplaySupport::instance()->idOverview();
    overview->setMaxRows(2);
    const auto restore
        = qScopeGuard([overview] { overview->setMaxRows(IdOverview::DefaultMaxRows); });
    auto *unlisted = view->findChild<QLabel *>(QStringLiteral("label_overviewUnlisted"));
    frame(0x10, 2);
    frame(0x11, 1);
    frame(0x12, 3);
    frame(0x13, 1);
    frame(0x10, 1);
    QTRY_COMPARE_WITH_TIMEOUT(
        shownRows(5),
        (QStringList { QStringLiteral("1 0x10 STD Rx 3"), QStringLiteral("1 0x11 STD Rx 1") }),
        10000);
    QTRY_COMPARE_WITH_TIMEOUT(view->overview()->overviewModel()->unlistedFrames(), quint64(4),
                              10000);
    QVERIFY(unlisted->isVisible());
    QVERIFY(unlisted->text().contains(QLatin1String("4")));
    view->overviewButton()->click();
    QVERIFY(!unlisted->isVisible());
    view->overviewButton()->click();
    QVERIFY(unlisted->isVisible());

    QTest::mouseClick(view->findChild<QPushButton *>(QStringLiteral("button_clear")),
                      Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!unlisted->isVisible(), 10000);
    QCOMPARE(view->overview()->overviewModel()->unlistedFrames(), quint64(0));
}

void tst_IdOverview::changedBytesFadeAndQuietRowsDim()
{
    IdOverview overview;
    IdOverviewModel model(&overview);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    constexpr qint64 StartUs = 1765180800000000;
    qint64 hostUs = StartUs;
    model.setHostClock([&hostUs] { return hostUs; });
    // Four frames 100 ms apart; the last one changes byte 2 and brings byte 3.
    for (int i = 0; i < 4; ++i) {
        CanRecord record;
        record.id = 0x10;
        record.info = i < 3 ? 3 : 4;
        record.data[2] = i < 3 ? 1 : 2;
        record.data[3] = 7;
        record.timeStamp = quint32(1000 * i);
        record.hostTimeUs = StartUs + 100000 * i;
        overview.add(record, true);
    }
    hostUs = StartUs + 300000;
    overview.publish();
    model.refresh();
    const QModelIndex data = model.index(0, IdOverviewModel::DataColumn);
    const auto levels = [&] { return data.data(IdOverviewModel::ChangeLevelsRole).toByteArray(); };
    const auto dimmed = [&] { return model.index(0, 0).data(Qt::ForegroundRole).isValid(); };
    QCOMPARE(levels(), QByteArray::fromHex("0000080800000000"));
    QVERIFY(!dimmed());

    // Half a second on, the marks are half as strong; only the data cell is repainted.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(changed.isValid());
    hostUs += 500000;
    model.updateLooks();
    QCOMPARE(levels(), QByteArray::fromHex("0000040400000000"));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex(), data);
    QCOMPARE(changed.first().at(1).toModelIndex(), data);
    model.updateLooks();
    QCOMPARE(changed.size(), 1);

    // Silent past three mean cycles and past one second: dimmed, the marks gone.
    hostUs += 500001;
    model.updateLooks();
    QVERIFY(dimmed());
    QCOMPARE(levels(), QByteArray(8, '\0'));
}

RCAN_TEST_MAIN_PRIVATE_SETTINGS(tst_IdOverview)
#include "tst_idoverview.moc"
