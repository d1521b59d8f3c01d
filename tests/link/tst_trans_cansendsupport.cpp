#include "link/serialcontrol.h"
#include "link/trans_cansendsupport.h"
#include "protocol/canframe.h"
#include "protocol/contextprotocol.h"

#include <QtTest>

namespace {
// How the stand-in adapter answers each send command.
enum class Answer { Confirm, Refuse, Silent, ForeignRank, OtherChannel };

struct Sent
{
    uchar channel = 0;
    QByteArray frame;
    quint32 rank = 0;
};
} // namespace

Q_DECLARE_METATYPE(Answer)

// Plays the adapter on the GUI thread: takes the scheduler's commands and answers through the
// codec's send-result signal, exactly as decoded records would arrive.
class FakeAdapter : public QObject
{
    Q_OBJECT
public:
    explicit FakeAdapter(Trans_canSendSupport *scheduler)
    {
        connect(scheduler, &Trans_canSendSupport::Signal_payLoad_Send, this,
                &FakeAdapter::onCommand, Qt::QueuedConnection);
        connect(scheduler, &Trans_canSendSupport::signal_RSP_CANSendDisplay, this,
                &FakeAdapter::onDisplay, Qt::QueuedConnection);
        connect(
            scheduler, &Trans_canSendSupport::signal_Trans_End, this,
            [this](int status) { ends.append(status); }, Qt::QueuedConnection);
    }

    Answer answer = Answer::Confirm;
    uint stamp = 1000;
    std::function<void()> afterAnswer;

    QList<Sent> sent;
    QList<QByteArray> shown;
    QList<qulonglong> shownStamps;
    QList<int> ends;

signals:
    void request(bool start);

private:
    void onCommand(const QByteArray &command)
    {
        QCOMPARE(command.size(), Wire::CANSendLength);
        Sent s;
        s.channel = uchar(command.at(2));
        s.frame = command.mid(3, CanFrame::Size);
        s.rank = Wire::readU32(command.constData() + 16);
        sent.append(s);

        auto *codec = contextProtocol::instance();
        stamp += 7;
        switch (answer) {
        case Answer::Confirm:
            emit codec->signal_RSP_CANSend(s.channel, 1, s.rank, stamp);
            break;
        case Answer::Refuse:
            emit codec->signal_RSP_CANSend(s.channel, 0, s.rank, stamp);
            break;
        case Answer::ForeignRank:
            emit codec->signal_RSP_CANSend(s.channel, 1, s.rank + 1, stamp);
            break;
        case Answer::OtherChannel:
            emit codec->signal_RSP_CANSend(uchar(3 - s.channel), 1, s.rank, stamp);
            break;
        case Answer::Silent:
            break;
        }
        if (afterAnswer)
            afterAnswer();
    }

    void onDisplay(uchar channel, const QByteArray &frame, qulonglong stamp, uint dir)
    {
        QCOMPARE(dir, 1u);
        Q_UNUSED(channel)
        shown.append(frame);
        shownStamps.append(stamp);
    }
};

class tst_Trans_canSendSupport : public QObject
{
    Q_OBJECT
private slots:
    void ranksAreDrawnInCreationOrder();
    void frameData_data();
    void frameData();
    void nextIdentifier_data();
    void nextIdentifier();
    void run_data();
    void run();
    void stopDuringPauseEndsRunAndSendsNothingMore();
    void closedPortEndsTheRunAsDeviceGone();
    void lateStopAfterRunEndedStartsNothing();
    void startWhileRunningIsIgnored();
    void stopWhileIdleDoesNothing();
    void lateConfirmationStillShowsTheFrame_data();
    void lateConfirmationStillShowsTheFrame();

private:
    struct Scheduler
    {
        SendParams params;
        SendFrameSpec frameDesc;
        Trans_canSendSupport *scheduler = nullptr;
        FakeAdapter *adapter = nullptr;
        Scheduler()
        {
            scheduler = new Trans_canSendSupport(&params, &frameDesc);
            adapter = new FakeAdapter(scheduler);
            QObject::connect(adapter, &FakeAdapter::request, scheduler,
                             &Trans_canSendSupport::On_SendCommand_Hander);
        }
        ~Scheduler()
        {
            scheduler->release();
            delete adapter;
        }
    };
};

void tst_Trans_canSendSupport::ranksAreDrawnInCreationOrder()
{
    SendParams params;
    SendFrameSpec frameDesc;
    auto *first = new Trans_canSendSupport(&params, &frameDesc);
    auto *second = new Trans_canSendSupport(&params, &frameDesc);
    QCOMPARE(first->rank(), quint32(0x01234678));
    QCOMPARE(second->rank(), quint32(0x01234679));
    first->release();
    second->release();
}

void tst_Trans_canSendSupport::frameData_data()
{
    QTest::addColumn<quint64>("data");
    QTest::addColumn<int>("dlc");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("AA BB, length 2")
        << quint64(0xAABB) << 2 << QByteArray::fromHex("AABB000000000000");
    QTest::newRow("11 22 33, length 3")
        << quint64(0x112233) << 3 << QByteArray::fromHex("1122330000000000");
    QTest::newRow("length 0 sends no bytes") << quint64(0x1234) << 0 << QByteArray(8, '\0');
    QTest::newRow("carry beyond the length is not sent")
        << quint64(0x100) << 1 << QByteArray::fromHex("0000000000000000");
    QTest::newRow("all eight bytes")
        << quint64(0xABCD000000000001) << 8 << QByteArray::fromHex("ABCD000000000001");
}

void tst_Trans_canSendSupport::frameData()
{
    QFETCH(quint64, data);
    QFETCH(int, dlc);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Trans_canSendSupport::frameData(data, dlc), bytes);
}

void tst_Trans_canSendSupport::nextIdentifier_data()
{
    QTest::addColumn<quint32>("id");
    QTest::addColumn<unsigned>("frameType");
    QTest::addColumn<quint32>("next");

    QTest::newRow("standard counts") << quint32(0x123) << 0u << quint32(0x124);
    QTest::newRow("standard wraps after 7FF") << quint32(0x7FF) << 0u << quint32(0);
    QTest::newRow("extended passes 7FF") << quint32(0x7FF) << 128u << quint32(0x800);
    QTest::newRow("extended wraps after 1FFFFFFF") << quint32(0x1FFFFFFF) << 128u << quint32(0);
}

void tst_Trans_canSendSupport::nextIdentifier()
{
    QFETCH(quint32, id);
    QFETCH(unsigned, frameType);
    QFETCH(quint32, next);
    QCOMPARE(Trans_canSendSupport::nextIdentifier(id, frameType), next);
}

void tst_Trans_canSendSupport::run_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<unsigned>("frameType");
    QTest::addColumn<unsigned>("frameFormat");
    QTest::addColumn<int>("dlc");
    QTest::addColumn<quint32>("id");
    QTest::addColumn<quint64>("data");
    QTest::addColumn<bool>("idIncrement");
    QTest::addColumn<bool>("dataIncrement");
    QTest::addColumn<int>("times");
    QTest::addColumn<int>("interval");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QStringList>("frames"); // the 13-byte records in hex
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("status");

    QTest::newRow("standard identifier wraps after 7FF")
        << 1 << 0u << 0u << 2 << quint32(0x7FF) << quint64(0xAABB) << true << false << 3 << 0
        << Answer::Confirm
        << QStringList { QStringLiteral("02ff070000aabb000000000000"),
                         QStringLiteral("0200000000aabb000000000000"),
                         QStringLiteral("0201000000aabb000000000000") }
        << 3 << int(TransEnd_Finished);
    QTest::newRow("extended identifier wraps after 1FFFFFFF")
        << 2 << 128u << 0u << 0 << quint32(0x1FFFFFFF) << quint64(0) << true << false << 2 << 0
        << Answer::Confirm
        << QStringList { QStringLiteral("80ffffff1f0000000000000000"),
                         QStringLiteral("80000000000000000000000000") }
        << 2 << int(TransEnd_Finished);
    QTest::newRow("data FF with length 1 is followed by 00")
        << 1 << 0u << 0u << 1 << quint32(0x10) << quint64(0xFF) << false << true << 2 << 0
        << Answer::Confirm
        << QStringList { QStringLiteral("0110000000ff00000000000000"),
                         QStringLiteral("01100000000000000000000000") }
        << 2 << int(TransEnd_Finished);
    QTest::newRow("data increment counts in the last byte of eight")
        << 1 << 0u << 0u << 8 << quint32(0x1) << quint64(0xABCD000000000000) << false << true << 2
        << 0 << Answer::Confirm
        << QStringList { QStringLiteral("0801000000abcd000000000000"),
                         QStringLiteral("0801000000abcd000000000001") }
        << 2 << int(TransEnd_Finished);
    QTest::newRow("remote frame with an interval")
        << 1 << 0u << 64u << 1 << quint32(0x55) << quint64(0x7) << false << false << 3 << 30
        << Answer::Confirm
        << QStringList { QStringLiteral("41550000000700000000000000"),
                         QStringLiteral("41550000000700000000000000"),
                         QStringLiteral("41550000000700000000000000") }
        << 3 << int(TransEnd_Finished);
    QTest::newRow("a count of 0 still sends one frame")
        << 1 << 0u << 0u << 0 << quint32(0x1) << quint64(0) << false << false << 0 << 0
        << Answer::Confirm << QStringList { QStringLiteral("00010000000000000000000000") } << 1
        << int(TransEnd_Finished);
    QTest::newRow("silent adapter ends after one frame")
        << 1 << 0u << 0u << 0 << quint32(0x1) << quint64(0) << false << false << 5 << 0
        << Answer::Silent << QStringList { QStringLiteral("00010000000000000000000000") } << 0
        << int(TransEnd_NoResponse);
    QTest::newRow("refused frame ends the run and is not shown")
        << 2 << 0u << 0u << 0 << quint32(0x1) << quint64(0) << false << false << 5 << 0
        << Answer::Refuse << QStringList { QStringLiteral("00010000000000000000000000") } << 0
        << int(TransEnd_SendFailed);
    QTest::newRow("another scheduler's confirmation is not ours")
        << 1 << 0u << 0u << 0 << quint32(0x1) << quint64(0) << false << false << 5 << 0
        << Answer::ForeignRank << QStringList { QStringLiteral("00010000000000000000000000") } << 0
        << int(TransEnd_NoResponse);
    QTest::newRow("a confirmation for the other channel is not ours")
        << 1 << 0u << 0u << 0 << quint32(0x1) << quint64(0) << false << false << 5 << 0
        << Answer::OtherChannel << QStringList { QStringLiteral("00010000000000000000000000") } << 0
        << int(TransEnd_NoResponse);
}

void tst_Trans_canSendSupport::run()
{
    QFETCH(int, channel);
    QFETCH(unsigned, frameType);
    QFETCH(unsigned, frameFormat);
    QFETCH(int, dlc);
    QFETCH(quint32, id);
    QFETCH(quint64, data);
    QFETCH(bool, idIncrement);
    QFETCH(bool, dataIncrement);
    QFETCH(int, times);
    QFETCH(int, interval);
    QFETCH(Answer, answer);
    QFETCH(QStringList, frames);
    QFETCH(int, shown);
    QFETCH(int, status);

    Scheduler s;
    s.params = { channel, dataIncrement, idIncrement, times, interval };
    s.frameDesc = { frameType, frameFormat, dlc, id, data };
    s.adapter->answer = answer;
    emit s.adapter->request(true);

    QTRY_COMPARE_WITH_TIMEOUT(s.adapter->ends.size(), 1, 5000);
    QCOMPARE(s.adapter->ends.first(), status);
    // Nothing follows the end of a run.
    QTest::qWait(150);
    QCOMPARE(s.adapter->ends.size(), 1);

    QStringList sentFrames;
    for (const Sent &sent : qAsConst(s.adapter->sent)) {
        QCOMPARE(int(sent.channel), channel);
        QCOMPARE(sent.rank, s.scheduler->rank());
        sentFrames.append(QString::fromLatin1(sent.frame.toHex()));
    }
    QCOMPARE(sentFrames, frames);
    QCOMPARE(s.adapter->shown.size(), shown);
    for (int i = 0; i < shown; ++i)
        QCOMPARE(s.adapter->shown.at(i), s.adapter->sent.at(i).frame);
}

void tst_Trans_canSendSupport::stopDuringPauseEndsRunAndSendsNothingMore()
{
    Scheduler s;
    s.params = { 1, false, false, 10, 100000 };
    s.frameDesc = { 0, 0, 1, 0x42, 0x1 };
    emit s.adapter->request(true);
    QTRY_COMPARE_WITH_TIMEOUT(s.adapter->shown.size(), 1, 5000);
    emit s.adapter->request(false);
    QTRY_COMPARE_WITH_TIMEOUT(s.adapter->ends, QList<int> { TransEnd_Stopped }, 5000);
    QTest::qWait(600); // past the response time-out: no late status either
    QCOMPARE(s.adapter->sent.size(), 1);
    QCOMPARE(s.adapter->ends, QList<int> { TransEnd_Stopped });
}

// An unplugged adapter answers nothing: the run must say the device is gone, not that it was slow.
void tst_Trans_canSendSupport::closedPortEndsTheRunAsDeviceGone()
{
    Scheduler s;
    s.adapter->answer = Answer::Silent;
    s.params = { 1, false, false, 10, 0 };
    s.adapter->afterAnswer = [] { emit SerialControl::instance()->signal_portClosed(); };
    emit s.adapter->request(true);
    QTRY_COMPARE_WITH_TIMEOUT(s.adapter->ends, QList<int> { TransEnd_DeviceGone }, 5000);
    QTest::qWait(Trans_canSendSupport::ResponseTimeoutMs + 200); // no time-out status follows
    QCOMPARE(s.adapter->ends, QList<int> { TransEnd_DeviceGone });
    QCOMPARE(s.adapter->sent.size(), 1);
}

void tst_Trans_canSendSupport::lateStopAfterRunEndedStartsNothing()
{
    // The user's stop leaves the panel while the last confirmation is already on its way: the
    // scheduler sees the confirmation (run finished) and then the stop.
    Scheduler s;
    s.params = { 1, false, false, 2, 0 };
    s.frameDesc = { 0, 0, 0, 0x7, 0 };
    int answered = 0;
    s.adapter->afterAnswer = [&] {
        if (++answered == 2)
            emit s.adapter->request(false);
    };
    emit s.adapter->request(true);
    QTRY_COMPARE_WITH_TIMEOUT(s.adapter->ends.size(), 1, 5000);
    QTest::qWait(600);
    QCOMPARE(s.adapter->ends, QList<int> { TransEnd_Finished });
    QCOMPARE(s.adapter->sent.size(), 2);
}

void tst_Trans_canSendSupport::startWhileRunningIsIgnored()
{
    Scheduler s;
    s.params = { 2, true, false, 3, 40 };
    s.frameDesc = { 0, 0, 1, 0x100, 0x10 };
    int answered = 0;
    s.adapter->afterAnswer = [&] {
        if (++answered == 1)
            emit s.adapter->request(true);
    };
    emit s.adapter->request(true);
    QTRY_COMPARE_WITH_TIMEOUT(s.adapter->ends.size(), 1, 5000);
    QTest::qWait(300);
    QCOMPARE(s.adapter->ends, QList<int> { TransEnd_Finished });
    QCOMPARE(s.adapter->sent.size(), 3);
    QCOMPARE(s.adapter->sent.last().frame.at(5), char(0x12));
}

void tst_Trans_canSendSupport::stopWhileIdleDoesNothing()
{
    Scheduler s;
    emit s.adapter->request(false);
    QTest::qWait(200);
    QVERIFY(s.adapter->sent.isEmpty());
    QVERIFY(s.adapter->ends.isEmpty());
}

void tst_Trans_canSendSupport::lateConfirmationStillShowsTheFrame_data()
{
    QTest::addColumn<bool>("stop");
    QTest::addColumn<int>("end");
    QTest::newRow("after a stop") << true << int(TransEnd_Stopped);
    QTest::newRow("after the time-out") << false << int(TransEnd_NoResponse);
}

void tst_Trans_canSendSupport::lateConfirmationStillShowsTheFrame()
{
    QFETCH(bool, stop);
    QFETCH(int, end);
    Scheduler s;
    s.params = { 1, false, false, 5, 0 };
    s.frameDesc = { 0, 0, 0, 0x3, 0 };
    s.adapter->answer = Answer::Silent;
    emit s.adapter->request(true);
    QTRY_COMPARE_WITH_TIMEOUT(s.adapter->sent.size(), 1, 5000);
    if (stop)
        emit s.adapter->request(false);
    QTRY_COMPARE_WITH_TIMEOUT(s.adapter->ends, QList<int> { end }, 5000);
    // The adapter put the frame on the bus after all.
    emit contextProtocol::instance()->signal_RSP_CANSend(1, 1, s.scheduler->rank(), 77);
    QTRY_COMPARE_WITH_TIMEOUT(s.adapter->shown.size(), 1, 5000);
    QCOMPARE(s.adapter->shownStamps.first(), qulonglong(77));
    // A second, duplicate confirmation belongs to no frame.
    emit contextProtocol::instance()->signal_RSP_CANSend(1, 1, s.scheduler->rank(), 78);
    QTest::qWait(200);
    QCOMPARE(s.adapter->shown.size(), 1);
    QCOMPARE(s.adapter->ends, QList<int> { end });
    QCOMPARE(s.adapter->sent.size(), 1);
}

// The display buffer the scheduler reports to owns a window, so a full application is needed.
QTEST_MAIN(tst_Trans_canSendSupport)
#include "tst_trans_cansendsupport.moc"
