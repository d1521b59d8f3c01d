#include "busload/occupancyrate_widget.h"
#include "device/devicemanagement.h"
#include "link/serialcontrol.h"
#include "protocol/contextprotocol.h"
#include "simulator/virtualadapter.h"
#include "support/translationcheck.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <memory>
#include "support/privatesettingsmain.h"

namespace {
constexpr int RefreshWaitMs = 2000; // a few 200 ms refresh periods, generous for a busy machine
const QString Model = QStringLiteral("RCAN-U01");
} // namespace

class tst_OccupancyRate_Widget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void reportUpdatesLabelsAndHistory_data();
    void reportUpdatesLabelsAndHistory();
    void otherChannelsChangeNothing_data();
    void otherChannelsChangeNothing();
    void historyKeepsTheLastHundred();
    void openResetsHistoriesAndPlotsThem();
    void closeEmptiesPlotsAndKeepsLabels();
    void reportsWhileIdleUpdateLabelsAndHistories();
    void plotsAreLabelled();
    void titleBarHidesPage();
    void busLoadFromVirtualAdapter();
    void englishTranslationIsComplete();

private:
    QString text(const char *name) const
    {
        return m_page->findChild<QLabel *>(QLatin1String(name))->text();
    }
    QCPGraph *graph(int channel) const;
    static void report(uchar channel, ushort frameSpeed, float prct)
    {
        // Delivered as the codec's queued report would be, on this thread.
        emit contextProtocol::instance()->signal_REP_DeviceStates(channel, frameSpeed, prct);
    }
    static void deviceModel(const QString &model)
    {
        emit DeviceManagement::instance()->signals_deviceModelCommand(model);
    }
    static QVector<double> graphValues(QCPGraph *graph);

    std::unique_ptr<QWidget> m_parent;
    OccupancyRate_Widget *m_page = nullptr;
};

void tst_OccupancyRate_Widget::initTestCase()
{
    SerialControl::instance()->setPortSource([] { return QList<SerialPortEntry>(); });
    DeviceManagement::instance();
}

void tst_OccupancyRate_Widget::init()
{
    deviceModel(QString());
    m_parent = std::make_unique<QWidget>();
    m_page = new OccupancyRate_Widget(m_parent.get());
}

QCPGraph *tst_OccupancyRate_Widget::graph(int channel) const
{
    const QColor wanted = channel == 1 ? QColor(255, 0, 0) : QColor(0, 0, 255);
    const auto plots = m_page->findChildren<QCustomPlot *>();
    for (QCustomPlot *plot : plots) {
        if (plot->graphCount() == 1 && plot->graph(0)->pen().color() == wanted)
            return plot->graph(0);
    }
    return nullptr;
}

QVector<double> tst_OccupancyRate_Widget::graphValues(QCPGraph *graph)
{
    QVector<double> values;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        values.append(it->value);
    return values;
}

void tst_OccupancyRate_Widget::reportUpdatesLabelsAndHistory_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<float>("prct");
    QTest::addColumn<int>("frameSpeed");
    QTest::addColumn<QString>("loadText");
    QTest::addColumn<double>("sample");
    QTest::newRow("over 100 is clamped")
        << 1 << 150.0f << 820 << QStringLiteral("100.00%") << 100.0;
    QTest::newRow("exactly 100") << 2 << 100.0f << 7000 << QStringLiteral("100.00%") << 100.0;
    QTest::newRow("two decimals") << 2 << 12.5f << 300 << QStringLiteral("12.50%") << 12.5;
    QTest::newRow("rounded label, exact sample")
        << 1 << 33.337f << 65535 << QStringLiteral("33.34%") << double(33.337f);
    QTest::newRow("idle bus") << 1 << 0.0f << 0 << QStringLiteral("0.00%") << 0.0;
    QTest::newRow("lower end not clamped") << 2 << -2.0f << 1 << QStringLiteral("-2.00%") << -2.0;
}

void tst_OccupancyRate_Widget::reportUpdatesLabelsAndHistory()
{
    QFETCH(int, channel);
    QFETCH(float, prct);
    QFETCH(int, frameSpeed);
    QFETCH(QString, loadText);
    QFETCH(double, sample);

    report(uchar(channel), ushort(frameSpeed), prct);
    const bool first = channel == 1;
    QCOMPARE(text(first ? "label_prc_1" : "label_prc_2"), loadText);
    QCOMPARE(text(first ? "label_speed_1" : "label_speed_2"), QString::number(frameSpeed));
    QCOMPARE(m_page->history(channel).size(), 100);
    QCOMPARE(m_page->history(channel).last(), sample);
    // The other channel is untouched.
    QCOMPARE(text(first ? "label_prc_2" : "label_prc_1"), QStringLiteral("0.00%"));
    QCOMPARE(m_page->history(first ? 2 : 1), QVector<double>(100, 0.0));
}

void tst_OccupancyRate_Widget::otherChannelsChangeNothing_data()
{
    QTest::addColumn<int>("channel");
    QTest::newRow("channel 0") << 0;
    QTest::newRow("channel 3") << 3;
    QTest::newRow("channel 255") << 255;
}

void tst_OccupancyRate_Widget::otherChannelsChangeNothing()
{
    QFETCH(int, channel);
    report(1, 10, 5.0f);
    report(2, 20, 6.0f);
    const QVector<double> before1 = m_page->history(1);
    const QVector<double> before2 = m_page->history(2);
    report(uchar(channel), 999, 77.0f);
    QCOMPARE(m_page->history(1), before1);
    QCOMPARE(m_page->history(2), before2);
    QCOMPARE(text("label_prc_1"), QStringLiteral("5.00%"));
    QCOMPARE(text("label_speed_1"), QStringLiteral("10"));
    QCOMPARE(text("label_prc_2"), QStringLiteral("6.00%"));
    QCOMPARE(text("label_speed_2"), QStringLiteral("20"));
}

void tst_OccupancyRate_Widget::historyKeepsTheLastHundred()
{
    for (int i = 1; i <= 101; ++i)
        report(1, ushort(i), float(i) / 2);
    const QVector<double> &history = m_page->history(1);
    QCOMPARE(history.size(), 100);
    QCOMPARE(history.first(), 1.0); // the second report; the first dropped out
    QCOMPARE(history.last(), 50.5);
    for (int i = 1; i < history.size(); ++i)
        QCOMPARE(history.at(i) - history.at(i - 1), 0.5);
}

void tst_OccupancyRate_Widget::openResetsHistoriesAndPlotsThem()
{
    report(1, 1, 40.0f);
    report(2, 1, 60.0f);
    deviceModel(Model);
    QCOMPARE(m_page->history(1), QVector<double>(100, 0.0));
    QCOMPARE(m_page->history(2), QVector<double>(100, 0.0));

    report(1, 100, 25.0f);
    report(2, 200, 75.0f);
    QCPGraph *g1 = graph(1);
    QCPGraph *g2 = graph(2);
    QVERIFY(g1 && g2);
    // The plots follow on the next refresh tick, newest sample at x = 99.
    QTRY_COMPARE_WITH_TIMEOUT(graphValues(g1).value(99), 25.0, RefreshWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(graphValues(g2).value(99), 75.0, RefreshWaitMs);
    QCOMPARE(g1->data()->size(), 100);
    QCOMPARE(g1->data()->constBegin()->key, 0.0);
    QCOMPARE((g1->data()->constEnd() - 1)->key, 99.0);
    QCOMPARE(graphValues(g1).mid(0, 99), QVector<double>(99, 0.0));

    // Each later sample shifts the curve one point to the left.
    report(1, 100, 30.0f);
    QTRY_COMPARE_WITH_TIMEOUT(graphValues(g1).value(99), 30.0, RefreshWaitMs);
    QCOMPARE(graphValues(g1).value(98), 25.0);
}

void tst_OccupancyRate_Widget::closeEmptiesPlotsAndKeepsLabels()
{
    deviceModel(Model);
    report(1, 123, 45.0f);
    report(2, 456, 55.0f);
    QTRY_COMPARE_WITH_TIMEOUT(graph(1)->data()->size(), 100, RefreshWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(graphValues(graph(2)).value(99), 55.0, RefreshWaitMs);

    deviceModel(QString());
    QVERIFY(graph(1)->data()->isEmpty());
    QVERIFY(graph(2)->data()->isEmpty());
    QCOMPARE(text("label_prc_1"), QStringLiteral("45.00%"));
    QCOMPARE(text("label_speed_1"), QStringLiteral("123"));
    QCOMPARE(text("label_prc_2"), QStringLiteral("55.00%"));
    QCOMPARE(text("label_speed_2"), QStringLiteral("456"));
    // The histories keep their values until the next open.
    QCOMPARE(m_page->history(1).last(), 45.0);

    // No more refreshes: the graphs stay empty.
    report(1, 1, 10.0f);
    QTest::qWait(600);
    QVERIFY(graph(1)->data()->isEmpty());
    QVERIFY(graph(2)->data()->isEmpty());
}

void tst_OccupancyRate_Widget::reportsWhileIdleUpdateLabelsAndHistories()
{
    deviceModel(Model);
    deviceModel(QString());
    report(1, 42, 12.0f);
    report(2, 43, 13.0f);
    QCOMPARE(text("label_prc_1"), QStringLiteral("12.00%"));
    QCOMPARE(text("label_speed_2"), QStringLiteral("43"));
    QCOMPARE(m_page->history(1).last(), 12.0);
    QCOMPARE(m_page->history(2).last(), 13.0);
    QCOMPARE(m_page->history(1).size(), 100);
    QTest::qWait(600);
    QVERIFY(graph(1)->data()->isEmpty());
}

void tst_OccupancyRate_Widget::plotsAreLabelled()
{
    for (int channel : { 1, 2 }) {
        QCPGraph *g = graph(channel);
        QVERIFY(g);
        QCOMPARE(g->pen().widthF(), 1.0);
        QCOMPARE(g->keyAxis()->range(), QCPRange(0, 100));
        QCOMPARE(g->valueAxis()->range(), QCPRange(-5, 105));
        QCOMPARE(g->keyAxis()->label(), QStringLiteral("历史点位（个）"));
        QCOMPARE(g->valueAxis()->label(), QStringLiteral("总线利用率（%）"));
        // Before any open the plot shows the flat initial history.
        QCOMPARE(graphValues(g), QVector<double>(100, 0.0));
    }
    QCOMPARE(m_page->windowModality(), Qt::NonModal);
    QVERIFY(m_page->windowFlags() & Qt::FramelessWindowHint);
}

void tst_OccupancyRate_Widget::titleBarHidesPage()
{
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page));
    auto *close = m_page->findChild<QPushButton *>(QStringLiteral("close"));
    QVERIFY(close);
    close->click();
    QVERIFY(m_page->isHidden());
}

void tst_OccupancyRate_Widget::busLoadFromVirtualAdapter()
{
    VirtualAdapter adapter;
    QVERIFY(adapter.start());
    adapter.setFrameRate(1, 400);
    adapter.setFrameRate(2, 250);
    SerialControl *serial = SerialControl::instance();
    serial->addExtraPort(adapter.slavePath());
    serial->refreshPortList();

    // What the adapter reported last, per channel, seen on this thread after the page.
    struct Last
    {
        int count = 0;
        ushort speed = 0;
        float prct = 0;
    } last[2];
    QObject receiver;
    connect(contextProtocol::instance(), &contextProtocol::signal_REP_DeviceStates, &receiver,
            [&last](uchar channel, ushort speed, float prct) {
                if (channel == 1 || channel == 2)
                    last[channel - 1] = { last[channel - 1].count + 1, speed, prct };
            });

    DeviceManagement *panel = DeviceManagement::instance();
    auto *port = panel->findChild<QComboBox *>(QStringLiteral("chose_port"));
    port->setCurrentIndex(port->findText(adapter.slavePath()));
    panel->findChild<QPushButton *>(QStringLiteral("device_open"))->click();
    QVERIFY(!panel->findChild<QPushButton *>(QStringLiteral("device_open"))->isEnabled());
    auto *baud1 = panel->findChild<QComboBox *>(QStringLiteral("baud_1"));
    auto *baud2 = panel->findChild<QComboBox *>(QStringLiteral("baud_2"));
    baud1->setCurrentIndex(baud1->findText(QStringLiteral("500kbps")));
    baud2->setCurrentIndex(baud2->findText(QStringLiteral("125kbps")));
    panel->findChild<QPushButton *>(QStringLiteral("channel_control_1"))->click();
    panel->findChild<QPushButton *>(QStringLiteral("channel_control_2"))->click();
    QVERIFY(!panel->findChild<QPushButton *>(QStringLiteral("channel_control_1"))->isEnabled());
    QVERIFY(!panel->findChild<QPushButton *>(QStringLiteral("channel_control_2"))->isEnabled());

    // Reports come every half second; skip the first, which covers the start-up.
    QTRY_VERIFY_WITH_TIMEOUT(last[0].count >= 3 && last[1].count >= 3, 15000);
    const auto labelsAgree = [&](int channel) {
        const Last &l = last[channel - 1];
        const bool first = channel == 1;
        return text(first ? "label_speed_1" : "label_speed_2") == QString::number(l.speed)
            && text(first ? "label_prc_1" : "label_prc_2")
            == QString::number(qMin(double(l.prct), 100.0), 'f', 2) + QLatin1Char('%');
    };
    QTRY_VERIFY_WITH_TIMEOUT(labelsAgree(1) && labelsAgree(2), 5000);

    const double bitRates[2] = { 500000.0, 125000.0 };
    const int frameRates[2] = { 400, 250 };
    for (int channel : { 1, 2 }) {
        const Last &l = last[channel - 1];
        // The frame rate the adapter was asked for, within what a loaded machine can keep.
        QVERIFY2(l.speed > frameRates[channel - 1] / 2 && l.speed < frameRates[channel - 1] * 2,
                 qPrintable(QString::number(l.speed)));
        // Load = frames x bits per frame / bit rate; a CAN frame takes 44 to 160 bits.
        const double bitsPerFrame = double(l.prct) / 100.0 * bitRates[channel - 1] / l.speed;
        QVERIFY2(bitsPerFrame >= 44 && bitsPerFrame <= 160,
                 qPrintable(QString::number(bitsPerFrame)));
        QCOMPARE(m_page->history(channel).last(), double(qMin(l.prct, 100.0f)));
        QTRY_COMPARE_WITH_TIMEOUT(graphValues(graph(channel)).value(99),
                                  m_page->history(channel).last(), RefreshWaitMs);
    }
    // The two channels carry clearly different loads.
    QVERIFY(last[1].prct > 1.5f * last[0].prct);

    panel->findChild<QPushButton *>(QStringLiteral("device_close"))->click();
    QVERIFY(panel->findChild<QPushButton *>(QStringLiteral("device_open"))->isEnabled());
    QVERIFY(graph(1)->data()->isEmpty());
    QVERIFY(graph(2)->data()->isEmpty());
    serial->removeExtraPort(adapter.slavePath());
}

void tst_OccupancyRate_Widget::englishTranslationIsComplete()
{
    QTranslator english;
    QVERIFY(TranslationCheck::installEnglish(&english));
    // The main window builds its pages after installing the translator.
    QWidget parent;
    auto *page = new OccupancyRate_Widget(&parent);
    const QStringList left = TranslationCheck::untranslatedTexts(page);
    QCoreApplication::removeTranslator(&english);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
}

RCAN_TEST_MAIN_PRIVATE_SETTINGS(tst_OccupancyRate_Widget)

#include "tst_occupancyrate_widget.moc"
