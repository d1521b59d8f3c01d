#include "link/serialcontrol.h"
#include "protocol/contextprotocol.h"
#include "support/pty.h"
#include "support/signalrecorder.h"

#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {
QMutex logMutex;
QStringList logLines;

void captureLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    QMutexLocker lock(&logMutex);
    logLines.append(message);
}

QLoggingCategory::CategoryFilter previousFilter = nullptr;

// Debug output is switched off for the test run; this turns the default category back on
// whatever the environment's rules say.
void enableDefaultDebug(QLoggingCategory *category)
{
    if (previousFilter)
        previousFilter(category);
    if (qstrcmp(category->categoryName(), "default") == 0)
        category->setEnabled(QtDebugMsg, true);
}

QStringList takeLog()
{
    QMutexLocker lock(&logMutex);
    return std::exchange(logLines, {});
}

QByteArray frameRecord(quint8 channel, quint32 id, quint32 stamp)
{
    QByteArray r = QByteArray::fromHex("FF04");
    r.append(char(channel));
    r.append(char(0x08));
    Wire::appendU32(r, id);
    r.append(QByteArray::fromHex("0102030405060708"));
    Wire::appendU32(r, stamp);
    return r;
}

bool openBlocking(SerialControl *serial, const QString &path)
{
    bool opened = false;
    QMetaObject::invokeMethod(serial, "serialSocketOpen", Qt::BlockingQueuedConnection,
                              Q_RETURN_ARG(bool, opened), Q_ARG(QString, path));
    return opened;
}

void closeBlocking(SerialControl *serial)
{
    QMetaObject::invokeMethod(serial, "serialSocketClose", Qt::BlockingQueuedConnection);
}

void send(SerialControl *serial, const QByteArray &bytes)
{
    QMetaObject::invokeMethod(serial, "serialSocketSend", Qt::QueuedConnection,
                              Q_ARG(QByteArray, bytes));
}
} // namespace

class tst_SerialControl : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void livesOnItsOwnThread();
    void wholeRecordsOnly();
    void sendsReachTheDeviceByteForByte();
    void sendOnClosedPortWritesNothing();
    void debugLinesTellWhatHappened();
    void everyByteValuePassesBothWays();
    void reopenCountsRecordsAfresh();
    void answersFoundInAFullStream_data();
    void answersFoundInAFullStream();
    void vanishedDeviceClosesThePort();
    void portListKeepsOnlyAdapters_data();
    void portListKeepsOnlyAdapters();
    void refreshEmitsTheList();
    void extraPortDisappearsWithItsNode();

private:
    PseudoTerminal *m_pty = nullptr;
    SignalRecorder *m_recorder = nullptr;
};

void tst_SerialControl::init()
{
    m_pty = new PseudoTerminal;
    QVERIFY(m_pty->isValid());
    m_recorder = new SignalRecorder(contextProtocol::instance(), this);
}

void tst_SerialControl::cleanup()
{
    closeBlocking(SerialControl::instance());
    delete m_recorder;
    m_recorder = nullptr;
    delete m_pty;
    m_pty = nullptr;
    SerialControl::instance()->setPortSource({});
}

void tst_SerialControl::livesOnItsOwnThread()
{
    SerialControl *serial = SerialControl::instance();
    QVERIFY(serial->thread() != QThread::currentThread());
    QVERIFY(serial->thread()->isRunning());
    QCOMPARE(contextProtocol::instance()->thread(), serial->thread());
}

void tst_SerialControl::wholeRecordsOnly()
{
    SerialControl *serial = SerialControl::instance();
    QVERIFY(openBlocking(serial, m_pty->slavePath()));
    QVERIFY(serial->isOpen());

    const QByteArray stream = frameRecord(1, 0x11, 1) + frameRecord(2, 0x22, 2) + frameRecord(1, 0x33, 3);
    QVERIFY(m_pty->write(stream.left(45)));
    QVERIFY(m_recorder->waitFor(2));
    QTest::qWait(100);
    QCOMPARE(m_recorder->count(), 2); // the 5 extra bytes wait for the rest of their record

    QVERIFY(m_pty->write(stream.mid(45)));
    QVERIFY(m_recorder->waitFor(3));
    const QStringList events = m_recorder->events();
    QCOMPARE(events.size(), 3);
    QVERIFY(events.at(2).startsWith(QStringLiteral("frame 1 08 33 00 00 00")));
    QVERIFY(events.at(2).endsWith(QStringLiteral(" 3 0")));
}

void tst_SerialControl::sendsReachTheDeviceByteForByte()
{
    SerialControl *serial = SerialControl::instance();
    QVERIFY(openBlocking(serial, m_pty->slavePath()));
    const QByteArray commands = contextProtocol::buildDeviceOpen()
                                + contextProtocol::buildBaudRateConfig(1, QByteArray::fromHex("12000B02"))
                                + contextProtocol::buildDeviceClose();
    send(serial, contextProtocol::buildDeviceOpen());
    send(serial, contextProtocol::buildBaudRateConfig(1, QByteArray::fromHex("12000B02")));
    send(serial, contextProtocol::buildDeviceClose());
    QCOMPARE(m_pty->read(commands.size()).toHex(' '), commands.toHex(' '));
}

void tst_SerialControl::sendOnClosedPortWritesNothing()
{
    SerialControl *serial = SerialControl::instance();
    QVERIFY(openBlocking(serial, m_pty->slavePath()));
    closeBlocking(serial);
    QVERIFY(!serial->isOpen());
    send(serial, contextProtocol::buildDeviceOpen());
    QVERIFY(m_pty->read(1, 300).isEmpty());
}

void tst_SerialControl::debugLinesTellWhatHappened()
{
    SerialControl *serial = SerialControl::instance();
    previousFilter = QLoggingCategory::installFilter(enableDefaultDebug);
    const QtMessageHandler previous = qInstallMessageHandler(captureLog);
    takeLog();

    QVERIFY(openBlocking(serial, m_pty->slavePath()));
    send(serial, contextProtocol::buildDeviceOpen());
    QVERIFY(!m_pty->read(4).isEmpty());
    closeBlocking(serial);
    send(serial, contextProtocol::buildDeviceClose());
    QTest::qWait(100);
    const QStringList lines = takeLog();

    qInstallMessageHandler(previous);
    QLoggingCategory::installFilter(previousFilter);

    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).startsWith(QStringLiteral("SerialControl>>Thread-ID:")));
    QCOMPARE(lines.at(1), QStringLiteral("[SerialSocket:BytesSend]F0 01 0D 0A"));
}

void tst_SerialControl::everyByteValuePassesBothWays()
{
    SerialControl *serial = SerialControl::instance();
    QVERIFY(openBlocking(serial, m_pty->slavePath()));

    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    send(serial, all);
    QCOMPARE(m_pty->read(256).toHex(), all.toHex());

    // Inbound: every byte value inside frame records (13 frames x 20 bytes covers 0..255 in
    // the identifier, data and time stamp fields).
    QByteArray stream;
    QStringList expected;
    for (int k = 0; k < 16; ++k) {
        QByteArray r = QByteArray::fromHex("FF0401");
        r.append(char(0x08));
        QByteArray payload;
        for (int j = 0; j < 16; ++j)
            payload.append(char(k * 16 + j));
        r.append(payload);
        stream.append(r);
        expected.append(QStringLiteral("frame 1 %1 %2 0")
                            .arg(QString::fromLatin1(r.mid(3, 13).toHex(' ').toUpper()))
                            .arg(Wire::readU32(r.constData() + 16)));
    }
    QVERIFY(m_pty->write(stream));
    QVERIFY(m_recorder->waitFor(16));
    QCOMPARE(m_recorder->events(), expected);
}

void tst_SerialControl::reopenCountsRecordsAfresh()
{
    SerialControl *serial = SerialControl::instance();
    QVERIFY(openBlocking(serial, m_pty->slavePath()));
    QVERIFY(m_pty->write(frameRecord(1, 1, 1).left(7)));
    QTest::qWait(100);
    closeBlocking(serial);
    QVERIFY(openBlocking(serial, m_pty->slavePath()));
    QVERIFY(m_pty->write(frameRecord(2, 2, 2)));
    QVERIFY(m_recorder->waitFor(1));
    QVERIFY(m_recorder->events().constFirst().startsWith(QStringLiteral("frame 2 ")));
}

void tst_SerialControl::answersFoundInAFullStream_data()
{
    QTest::addColumn<int>("recordsPerSecond");
    QTest::newRow("2,300 records/s") << 2300;
    QTest::newRow("20,000 records/s") << 20000;
    QTest::newRow("50,000 records/s") << 50000;
}

// An adapter that streams from before the port is opened and puts each answer into the middle
// of the record it is sending: every answer must still be found, at the first request.
void tst_SerialControl::answersFoundInAFullStream()
{
    QFETCH(int, recordsPerSecond);
    const int master = m_pty->masterFd();
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    std::atomic<bool> running { true };
    std::thread adapter([&] {
        QByteArray backlog;
        QByteArray commands;
        QList<QByteArray> answers;
        QElapsedTimer clock;
        clock.start();
        qint64 made = 0;
        while (running) {
            char in[256];
            const ssize_t got = ::read(master, in, sizeof in);
            if (got > 0)
                commands.append(in, int(got));
            for (int at; (at = commands.indexOf("\r\n")) >= 0; commands.remove(0, at + 2)) {
                const QByteArray c = commands.left(at);
                QByteArray answer = QByteArray::fromHex("FF") + c.mid(1, 1);
                answer.append(c.startsWith("\xF0\x01") ? QByteArray("\x01\x02RCAN-U01", 10)
                                                       : c.mid(2, 1) + QByteArray("\0\0\0\x01", 4));
                answers.append(answer.leftJustified(Wire::RecordSize, '\0'));
            }
            for (; made < clock.nsecsElapsed() * recordsPerSecond / 1000000000; ++made) {
                QByteArray r = frameRecord(1 + (made & 1), quint32(made) & 0x7FF, quint32(made));
                if (!answers.isEmpty())
                    r.insert(1 + int(made % 19), answers.takeFirst());
                if (backlog.size() < 64 * 1024 || r.size() > Wire::RecordSize)
                    backlog.append(r);
            }
            const ssize_t put = ::write(master, backlog.constData(), size_t(backlog.size()));
            if (put > 0)
                backlog.remove(0, int(put));
            pollfd pfd { master, POLLIN, 0 };
            poll(&pfd, 1, 1);
        }
    });
    const auto stop = qScopeGuard([&] {
        running = false;
        adapter.join();
    });
    QTest::qWait(100); // the adapter has been streaming for a while

    SerialControl *serial = SerialControl::instance();
    QVERIFY(openBlocking(serial, m_pty->slavePath()));
    const auto answered = [&](const QString &answer) {
        return QTest::qWaitFor([&] { return m_recorder->events().contains(answer); }, 10000);
    };
    send(serial, contextProtocol::buildDeviceOpen());
    QVERIFY(answered(QStringLiteral("open 1 2 RCAN-U01")));
    send(serial, contextProtocol::buildBaudRateConfig(1, QByteArray::fromHex("04000C03")));
    QVERIFY(answered(QStringLiteral("baud 1 true")));
    send(serial, contextProtocol::buildDeviceClose());
    QVERIFY(answered(QStringLiteral("close")));
    closeBlocking(serial);
    // Nothing invented: besides the answers, only frames whose fields agree with their stamp.
    QStringList answers;
    int frames = 0;
    for (const QString &event : m_recorder->events()) {
        const QStringList f = event.split(QLatin1Char(' '));
        if (f.first() != QLatin1String("frame")) {
            answers.append(event);
            continue;
        }
        const uint stamp = f.at(f.size() - 2).toUInt();
        const uint id = QString(f.at(4) + f.at(3)).toUInt(nullptr, 16);
        QVERIFY2(f.at(1).toUInt() == 1 + (stamp & 1) && id == (stamp & 0x7FF), qPrintable(event));
        ++frames;
    }
    QCOMPARE(answers,
             (QStringList { QStringLiteral("open 1 2 RCAN-U01"), QStringLiteral("baud 1 true"),
                            QStringLiteral("close") }));
    QVERIFY(frames > 0);
}

void tst_SerialControl::vanishedDeviceClosesThePort()
{
    SerialControl *serial = SerialControl::instance();
    QSignalSpy refreshed(serial, &SerialControl::Signal_Host_SerialRefresh);
    QVERIFY(refreshed.isValid());
    QVERIFY(openBlocking(serial, m_pty->slavePath()));
    m_pty->closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(!serial->isOpen(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(refreshed.count() >= 1, 3000);
}

void tst_SerialControl::portListKeepsOnlyAdapters_data()
{
    QTest::addColumn<QList<SerialPortEntry>>("ports");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("none") << QList<SerialPortEntry>{} << QStringList{};
    QTest::newRow("adapters in enumeration order")
        << QList<SerialPortEntry>{{QStringLiteral("ttyACM1"), true, 0x5722},
                                  {QStringLiteral("ttyS0"), false, 0},
                                  {QStringLiteral("ttyUSB0"), true, 0x6001},
                                  {QStringLiteral("ttyACM0"), true, 0x5722}}
        << QStringList{QStringLiteral("ttyACM1"), QStringLiteral("ttyACM0")};
    QTest::newRow("product id without vendor id is not an adapter")
        << QList<SerialPortEntry>{{QStringLiteral("ttyACM0"), false, 0x5722}} << QStringList{};
}

void tst_SerialControl::portListKeepsOnlyAdapters()
{
    QFETCH(QList<SerialPortEntry>, ports);
    QFETCH(QStringList, expected);
    QCOMPARE(SerialControl::adapterPorts(ports), expected);
}

void tst_SerialControl::refreshEmitsTheList()
{
    SerialControl *serial = SerialControl::instance();
    QList<SerialPortEntry> ports{{QStringLiteral("ttyACM3"), true, 0x5722}};
    serial->setPortSource([&ports] { return ports; });

    QStringList seen;
    int emitted = 0;
    auto connection = connect(serial, &SerialControl::Signal_Host_SerialRefresh, this,
                              [&](QList<QString> *list) {
                                  seen = *list;
                                  ++emitted;
                              });
    serial->refreshPortList();
    QCOMPARE(emitted, 1);
    QCOMPARE(seen, QStringList{QStringLiteral("ttyACM3")});

    // The poll only speaks up when something changed.
    serial->refreshPortListIfChanged();
    QCOMPARE(emitted, 1);

    // A removal still announces the (now empty) list.
    ports.clear();
    serial->refreshPortListIfChanged();
    QCOMPARE(emitted, 2);
    QVERIFY(seen.isEmpty());
    serial->refreshPortList();
    QCOMPARE(emitted, 3);
    disconnect(connection);
}

void tst_SerialControl::extraPortDisappearsWithItsNode()
{
    SerialControl *serial = SerialControl::instance();
    serial->setPortSource([] {
        return QList<SerialPortEntry>{{QStringLiteral("ttyACM0"), true, 0x5722}};
    });
    const QString path = m_pty->slavePath();
    serial->addExtraPort(path);
    QCOMPARE(serial->availablePorts(), (QStringList{QStringLiteral("ttyACM0"), path}));
    m_pty->closeMaster();
    QTRY_COMPARE_WITH_TIMEOUT(serial->availablePorts(), QStringList{QStringLiteral("ttyACM0")}, 2000);
    serial->removeExtraPort(path);
}

QTEST_GUILESS_MAIN(tst_SerialControl)
#include "tst_serialcontrol.moc"
