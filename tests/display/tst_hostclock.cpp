#include "display/hostclock.h"

#include <QtTest>

class tst_HostClock : public QObject
{
    Q_OBJECT
private slots:
    void followsTheLocalTimeOfDay();
};

void tst_HostClock::followsTheLocalTimeOfDay()
{
    // Frames are stamped with the local time of day, as the system clock shows it, across second
    // boundaries.
    HostClock clock;
    const int dayMs = 24 * 3600 * 1000;
    int previous = -1;
    for (int i = 0; i < 30; ++i) {
        const int expected = QTime::currentTime().msecsSinceStartOfDay();
        const int got = clock.msecsOfDay();
        QVERIFY(got >= 0 && got < dayMs);
        int diff = qAbs(got - expected);
        diff = qMin(diff, dayMs - diff); // around midnight
        QVERIFY2(diff < 2000, qPrintable(QString::number(diff)));
        if (previous >= 0 && got >= previous)
            QVERIFY(got - previous < 2000);
        previous = got;
        QTest::qSleep(70);
    }
}

QTEST_APPLESS_MAIN(tst_HostClock)
#include "tst_hostclock.moc"
