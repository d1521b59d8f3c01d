#include "display/canframeformatter.h"
#include "display/canrecordbuffer.h"
#include "display/lockedhandoff.h"
#include "recording/filesave_widget.h"
#include "recording/filesavesupport.h"
#include "support/testdatapath.h"

#include <QtTest>

namespace {
CanRecord record(
    const char *time, quint8 channel, quint32 id, bool extended, quint8 dir, const QByteArray &data)
{
    CanRecord r;
    r.msecsOfDay = QTime::fromString(QLatin1String(time), QStringLiteral("hh:mm:ss.zzz"))
                       .msecsSinceStartOfDay();
    r.timeStamp = 123456; // never written
    r.channel = channel;
    r.id = id;
    r.info = quint8(data.size()) | (extended ? LogFrame::Extended : 0);
    r.dir = dir;
    std::copy(data.begin(), data.end(), r.data);
    return r;
}

CanRecord firstExample()
{
    return record("14:05:09.042", 1, 0x7ef, false, 0, QByteArray::fromHex("01ab0f"));
}

CanRecord secondExample()
{
    return record("14:05:09.050", 2, 0x1f3a5, true, 1, QByteArray::fromHex("1122334455667788"));
}

// A line the way the real-time log gets it from the display.
void write(FileSaveSupport *writer, const CanRecord &record)
{
    writer->writeRecords({ record });
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<cannot open>");
}

// The expected files hold "@DATE@" where the file's opening time goes; that time must be now.
QByteArray expectedWithDate(const QString &expectedFile, const QByteArray &actual)
{
    const QByteArray firstLine = actual.left(actual.indexOf("\r\n"));
    const QDateTime stamp = QDateTime::fromString(QString::fromLatin1(firstLine.mid(5)),
                                                  QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (!firstLine.startsWith("date ") || !stamp.isValid()
        || qAbs(stamp.secsTo(QDateTime::currentDateTime())) > 120) {
        return "<bad date line: " + firstLine + ">";
    }
    QByteArray expected = readAll(expectedFile);
    expected.replace("@DATE@", firstLine.mid(5));
    return expected;
}
} // namespace

class tst_FileSaveSupport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void realTimeLogOfTwoFrames();
    void dlcZeroLineEndsInBlank();
    void stoppingKeepsEveryLine();
    void startingOnAnExistingFileReplacesIt();
    void runningLogReachesTheDiskWithoutStop();
    void globalSave_data();
    void globalSave();
    void globalSaveReplacesAnExistingFile();
    void globalSaveToUnwritablePathKeepsHistory();
    void globalSaveKeepsACopyHandedOverDuringTheSave();
    void progressWindow();

private:
    QString path(const char *name) const { return m_dir->filePath(QLatin1String(name)); }

    QTemporaryDir *m_dir = nullptr;
    LockedHandoff<CanRecordBuffer> *m_history = nullptr;
    FileSaveSupport *m_writer = nullptr;
};

void tst_FileSaveSupport::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_history = new LockedHandoff<CanRecordBuffer>;
    m_writer = new FileSaveSupport(m_history);
}

void tst_FileSaveSupport::cleanup()
{
    delete m_writer;
    delete m_history;
    delete m_dir;
}

void tst_FileSaveSupport::realTimeLogOfTwoFrames()
{
    const QString file = path("rt.txt");
    m_writer->realTimeSaveCommand(file, true);
    QVERIFY(m_writer->isRealTimeSaving());
    // Texts made by the receive path, or numbers made into texts by the writer: the same lines.
    CanFrameFormatter formatter;
    FileSaveSupport::CAN_StructureDescription a;
    formatter.format(a, firstExample());
    m_writer->writeFrame(a);
    write(m_writer, secondExample());
    m_writer->realTimeSaveCommand(QString(), false);
    QVERIFY(!m_writer->isRealTimeSaving());

    const QByteArray actual = readAll(file);
    QCOMPARE(actual, expectedWithDate(RCAN_TESTDATA("expected/realtime_two_frames.log"), actual));

    // Lines after a stop go nowhere.
    m_writer->writeFrame(a);
    QCOMPARE(readAll(file), actual);
}

void tst_FileSaveSupport::dlcZeroLineEndsInBlank()
{
    const QString file = path("dlc0.txt");
    m_writer->realTimeSaveCommand(file, true);
    write(m_writer, record("14:05:09.042", 1, 0x100, false, 0, QByteArray()));
    m_writer->realTimeSaveCommand(QString(), false);
    const QByteArray actual = readAll(file);
    QCOMPARE(actual, expectedWithDate(RCAN_TESTDATA("expected/realtime_dlc_zero.log"), actual));
    QVERIFY(actual.endsWith(" 0 \r\n"));
}

void tst_FileSaveSupport::stoppingKeepsEveryLine()
{
    const QString file = path("many.txt");
    m_writer->realTimeSaveCommand(file, true);
    const QVector<CanRecord> batch(20000, secondExample());
    m_writer->writeRecords(batch);
    m_writer->realTimeSaveCommand(QString(), false);
    const QByteArray actual = readAll(file);
    QCOMPARE(actual.count("\r\n"), FileSaveSupport::HeaderLines + 20000);
    QCOMPARE(actual.count('\n'), FileSaveSupport::HeaderLines + 20000);
    QCOMPARE(actual.count("\r\r"), 0);
    QVERIFY(actual.endsWith("14:05:09.050 2 0x1f3a5 EXT Tx 8 11 22 33 44 55 66 77 88\r\n"));
}

void tst_FileSaveSupport::startingOnAnExistingFileReplacesIt()
{
    const QString file = path("old.txt");
    {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, '#'));
    }
    m_writer->realTimeSaveCommand(file, true);
    write(m_writer, firstExample());
    m_writer->realTimeSaveCommand(QString(), false);
    const QByteArray actual = readAll(file);
    QVERIFY(!actual.contains('#'));
    QCOMPARE(actual.count("\r\n"), FileSaveSupport::HeaderLines + 1);

    // Starting again on the same file starts it afresh.
    m_writer->realTimeSaveCommand(file, true);
    m_writer->realTimeSaveCommand(QString(), false);
    QCOMPARE(readAll(file).count("\r\n"), FileSaveSupport::HeaderLines);
}

void tst_FileSaveSupport::runningLogReachesTheDiskWithoutStop()
{
    // A killed program keeps what was flushed: lines reach the file while saving runs.
    const QString file = path("live.txt");
    m_writer->realTimeSaveCommand(file, true);
    for (int i = 0; i < 10; ++i)
        write(m_writer, firstExample());
    QTRY_COMPARE_WITH_TIMEOUT(readAll(file).count("\r\n"), FileSaveSupport::HeaderLines + 10,
                              10000);
    m_writer->realTimeSaveCommand(QString(), false);
}

void tst_FileSaveSupport::globalSave_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("expectedFile");
    QTest::addColumn<QList<int>>("progress");

    QTest::newRow("empty") << 0 << QStringLiteral("expected/global_empty.log")
                           << QList<int> { 0, 100 };
    QTest::newRow("two frames") << 2 << QStringLiteral("expected/global_two_frames.log")
                                << QList<int> { 0, 1, 2, 100 };
    QList<int> hundred { 0 };
    for (int p = 1; p <= 100; ++p)
        hundred << p;
    hundred << 100;
    QTest::newRow("100 frames, step 1") << 100 << QString() << hundred;
    QList<int> oneFifty { 0 };
    for (int p = 1; p <= 150; ++p)
        oneFifty << p;
    oneFifty << 100;
    QTest::newRow("150 frames pass 100") << 150 << QString() << oneFifty;
    QList<int> twoFifty { 0 };
    for (int p = 1; p <= 125; ++p)
        twoFifty << p;
    twoFifty << 100;
    QTest::newRow("250 frames, step 2") << 250 << QString() << twoFifty;
}

void tst_FileSaveSupport::globalSave()
{
    QFETCH(int, frames);
    QFETCH(QString, expectedFile);
    QFETCH(QList<int>, progress);

    CanRecordBuffer buffer;
    for (int i = 0; i < frames; ++i)
        buffer.append(i % 2 == 0 ? firstExample() : secondExample());
    m_history->set(buffer);

    const QString file = path("global.txt");
    m_writer->setGlobalSavePath(file);
    QSignalSpy spy(m_writer, &FileSaveSupport::signal_processSet);
    QVERIFY(spy.isValid());
    m_writer->globalSave();

    QList<int> seen;
    for (const QList<QVariant> &args : qAsConst(spy))
        seen << args.first().toInt();
    QCOMPARE(seen, progress);

    const QByteArray actual = readAll(file);
    if (!expectedFile.isEmpty())
        QCOMPARE(actual, expectedWithDate(testDataPath(expectedFile, __FILE__), actual));
    const QList<QByteArray> lines = actual.split('\n');
    QCOMPARE(lines.size(), FileSaveSupport::HeaderLines + frames + 1);
    QCOMPARE(lines.at(1), "base hex timestamps system toltal " + QByteArray::number(frames) + '\r');
    QCOMPARE(actual.count("\r\n"), FileSaveSupport::HeaderLines + frames);
    if (frames > 0)
        QCOMPARE(lines.at(FileSaveSupport::HeaderLines),
                 QByteArray("14:05:09.042 1 0x7ef STD Rx 3 01 AB 0F\r"));

    // The history is emptied once saved; the window is gone again.
    QCOMPARE(m_history->get().size(), 0);
    QVERIFY(!m_writer->progressWindow()->isVisible());
    QCOMPARE(m_writer->progressWindow()->progressValue(), 100);
}

void tst_FileSaveSupport::globalSaveReplacesAnExistingFile()
{
    const QString file = path("existing.txt");
    {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, '#'));
    }
    CanRecordBuffer buffer;
    buffer.append(firstExample());
    m_history->set(buffer);
    m_writer->setGlobalSavePath(file);
    m_writer->globalSave();
    const QByteArray actual = readAll(file);
    QVERIFY(!actual.contains('#'));
    QCOMPARE(actual.count("\r\n"), FileSaveSupport::HeaderLines + 1);
}

void tst_FileSaveSupport::globalSaveToUnwritablePathKeepsHistory()
{
    CanRecordBuffer buffer;
    buffer.append(firstExample());
    m_history->set(buffer);
    m_writer->setGlobalSavePath(path("no/such/folder/x.txt"));
    QSignalSpy spy(m_writer, &FileSaveSupport::signal_processSet);
    QSignalSpy failed(m_writer, &FileSaveSupport::signal_globalSaveFailed);
    m_writer->globalSave();
    QCOMPARE(spy.count(), 0);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().first().toString(), path("no/such/folder/x.txt"));
    QVERIFY(!failed.first().at(1).toString().isEmpty());
    QCOMPARE(m_history->get().size(), 1);
    QVERIFY(!m_writer->progressWindow()->isVisible());
}

void tst_FileSaveSupport::globalSaveKeepsACopyHandedOverDuringTheSave()
{
    // The event loop runs during a save; a newer copy handed over meanwhile must survive the end
    // of the running save and be saved next.
    CanRecordBuffer first;
    for (int i = 0; i < 300; ++i)
        first.append(firstExample());
    m_history->set(first);
    const QString file = path("first.txt");
    m_writer->setGlobalSavePath(file);

    bool handedOver = false;
    QMetaObject::Connection c = connect(
        m_writer, &FileSaveSupport::signal_processSet, this, [&](int value) {
            if (value != 50 || handedOver)
                return;
            handedOver = true;
            CanRecordBuffer second;
            second.append(secondExample());
            m_history->set(second);
            QMetaObject::invokeMethod(m_writer, &FileSaveSupport::globalSave, Qt::QueuedConnection);
        });
    m_writer->globalSave();
    disconnect(c);
    QVERIFY(handedOver);
    // The second save ran into the same path right after the first.
    const QByteArray actual = readAll(file);
    QVERIFY(actual.contains("toltal 1\r\n"));
    QCOMPARE(actual.count("\r\n"), FileSaveSupport::HeaderLines + 1);
    QCOMPARE(m_history->get().size(), 0);
}

void tst_FileSaveSupport::progressWindow()
{
    FileSave_Widget window;
    QVERIFY(!window.isVisible());
    window.setProgressValue(40);
    QCOMPARE(window.progressValue(), 40);
    window.setProgressValue(150);
    QCOMPARE(window.progressValue(), 40);
    window.setProgressValue(100);
    QCOMPARE(window.progressValue(), 100);
    QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(window.windowModality(), Qt::ApplicationModal);
    QCOMPARE(window.size(), QSize(316, 153));
}

QTEST_MAIN(tst_FileSaveSupport)
#include "tst_filesavesupport.moc"
