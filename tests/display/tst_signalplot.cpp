#include "display/signalplot.h"
#include "support/signaltestdb.h"

#include <QSignalSpy>
#include <QtTest>

#include <qcustomplot.h>

// The plot's data path: values already in the history come from one decode of it, later ones
// from the store, none twice and none lost; freezing holds the picture, following moves it.
class tst_SignalPlot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_db.isValid()); }

    void historyThenLiveThenFreeze()
    {
        SignalStore store(m_db.databases());
        CanRecordBuffer history;
        // Speed counts up by 0.25 per frame, Gear toggles Park/Drive; a frame every 10 ms.
        int next = 0;
        auto feed = [&](int count) {
            QVector<LogFrame> frames;
            for (int i = 0; i < count; ++i, ++next) {
                const QByteArray hex = QByteArray::number(next & 0xff, 16).rightJustified(2, '0')
                    + QByteArray::number(next >> 8, 16).rightJustified(2, '0') + "28"
                    + (next % 2 ? "01" : "00");
                frames << SignalTestDb::frame(1, 0x100, quint32(next * 100), hex);
                history.append(CanRecord::fromFrame(frames.constLast(), 0));
            }
            store.add(frames.constData(), frames.size());
        };
        feed(500);

        int copies = 0;
        SignalPlot plot(&store, m_db.databases(), [&](const std::function<void()> &atCopy) {
            ++copies;
            atCopy();
            return history;
        });
        QSignalSpy backfilled(&plot, &SignalPlot::backfilled);
        QVERIFY(backfilled.isValid());
        const SignalKey speed { 1, 0x100, false, QStringLiteral("Speed") };
        const SignalKey gear { 1, 0x100, false, QStringLiteral("Gear") };
        plot.addSignals({ speed, gear });
        QCOMPARE(copies, 1);
        feed(300); // arrives while the history is decoded
        QVERIFY(backfilled.wait(30000));
        plot.update();
        expectSeries(plot.graph(speed), 800);
        QCOMPARE(plot.graph(gear)->lineStyle(), QCPGraph::lsStepLeft);
        // Following shows the newest value at the right edge.
        QCOMPARE(plot.graph(speed)->keyAxis()->range().upper, 799 * 0.01);

        plot.setCursor(1.005);
        QCOMPARE(plot.cursorTexts(),
                 QStringList({ QStringLiteral("Engine.Speed = 25 rpm"),
                               QStringLiteral("Engine.Gear = Park") }));

        plot.setFrozen(true);
        const QCPRange shown = plot.graph(speed)->keyAxis()->range();
        feed(200);
        plot.update();
        QCOMPARE(plot.graph(speed)->data()->size(), 800);
        QCOMPARE(plot.graph(speed)->keyAxis()->range(), shown);
        plot.setFrozen(false);
        expectSeries(plot.graph(speed), 1000);
        QCOMPARE(plot.graph(speed)->keyAxis()->range().upper, 999 * 0.01);

        // Not following: new values are drawn, the view stays where the user put it.
        plot.setFollow(false);
        plot.graph(speed)->keyAxis()->setRange(1, 2);
        feed(100);
        plot.update();
        expectSeries(plot.graph(speed), 1100);
        QCOMPARE(plot.graph(gear)->keyAxis()->range(), QCPRange(1, 2));

        // Adding a signal already plotted copies no history again.
        plot.addSignals({ speed });
        QCOMPARE(copies, 1);

        store.clear();
        QCOMPARE(plot.graph(speed)->data()->size(), 0);

        // A log opened: the store is emptied and refilled on the display thread, and the news of
        // the clear may come after the new frames. The plot shows the new frames only, all of them.
        plot.setFollow(true);
        feed(50);
        plot.update();
        {
            const QSignalBlocker late(&store);
            store.clear();
            history = CanRecordBuffer();
            next = 0;
            feed(30);
        }
        plot.update();
        expectSeries(plot.graph(speed), 30);

        // As deep as the history: past its size the oldest values go.
        plot.setMaxPointsSource([] { return 40; });
        feed(20);
        plot.update();
        QCOMPARE(plot.graph(speed)->data()->size(), 40);
        QCOMPARE(plot.graph(speed)->data()->constBegin()->key, 10 * 0.01);
    }

private:
    // Frame n at n * 10 ms with Speed n * 0.25, each once and in order.
    static void expectSeries(QCPGraph *graph, int count)
    {
        QVERIFY(graph);
        const QSharedPointer<QCPGraphDataContainer> data = graph->data();
        QCOMPARE(data->size(), count);
        int n = 0;
        for (auto it = data->constBegin(); it != data->constEnd(); ++it, ++n) {
            QCOMPARE(it->key, n * 0.01);
            QCOMPARE(it->value, n * 0.25);
        }
    }

    SignalTestDb m_db;
};

QTEST_MAIN(tst_SignalPlot)
#include "tst_signalplot.moc"
