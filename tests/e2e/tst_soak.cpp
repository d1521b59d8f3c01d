// The soak at a size that fits a test run: the whole program against the virtual adapter on the
// real serial path, with real-time saving, a global save, pause, filter changes and clears along
// the way, then every frame checked in the logs. The soak tool runs the same for millions.

#include "support/mainwindowdriver.h"
#include "support/soakrun.h"

#include <QtTest>

namespace {
const int sandbox = [] {
    MainWindowDriver::sandboxSettings();
    return 0;
}();
} // namespace

class tst_Soak : public QObject
{
    Q_OBJECT
private slots:
    void everyFrameReachesTheLog_data();
    void everyFrameReachesTheLog();
};

void tst_Soak::everyFrameReachesTheLog_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("ratePerChannel");
    QTest::newRow("100000 frames at 5000/s per channel") << 100000 << 5000;
    QTest::newRow("40000 frames at 20000/s per channel") << 40000 << 20000;
}

void tst_Soak::everyFrameReachesTheLog()
{
    QFETCH(int, frames);
    QFETCH(int, ratePerChannel);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SoakOptions options;
    options.frames = quint64(frames);
    options.ratePerChannel = ratePerChannel;
    options.folder = dir.path();
    const SoakResult result = Soak::run(options);
    qInfo().noquote() << result.summary();
    QVERIFY2(result.ok(), qPrintable(result.summary()));
    QVERIFY(result.framesRecorded >= quint64(frames));
    QCOMPARE(result.framesLogged, result.framesRecorded);
    // The clear at 30 % and the save at 50 %: the save holds what came in between (the run itself
    // checks the exact count against the buffer).
    QVERIFY(result.globalSaveLines >= quint64(frames) / 10);
    QVERIFY(result.largestTable > 0);
}

QTEST_MAIN(tst_Soak)
#include "tst_soak.moc"
