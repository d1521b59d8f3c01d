#include "app/applicationshell.h"
#include "app/razoradurodmainwindow.h"
#include "app/settings.h"
#include "support/mainwindowdriver.h"

#include <QAction>
#include <QSettings>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

// Before the application object: nothing in this process may reach the user's own store.
static const bool sandboxed = [] {
    MainWindowDriver::sandboxSettings();
    return true;
}();

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void storeIsPrivateToTheTest();
    void roundTrip_data();
    void roundTrip();
    void absentKeysGiveTheDefault_data();
    void absentKeysGiveTheDefault();
    void writtenValueIsOnDiskAtOnce();
    void languageSwitch_data();
    void languageSwitch();
};

void tst_Settings::initTestCase()
{
    QVERIFY(sandboxed);
    ApplicationShell::setUpApplicationFont();
}

void tst_Settings::init()
{
    MainWindowDriver::clearSettings();
}

void tst_Settings::storeIsPrivateToTheTest()
{
    const QSettings settings(QStringLiteral("QJN-QT"), QStringLiteral("VEDOvozevoz_Iviz"));
    QVERIFY2(settings.fileName().startsWith(MainWindowDriver::sandboxFolder()),
             qPrintable(settings.fileName()));
    QVERIFY(settings.fileName().endsWith(QLatin1String("QJN-QT/VEDOvozevoz_Iviz.conf")));
}

void tst_Settings::roundTrip_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");

    QTest::newRow("language") << QStringLiteral("Language") << QVariant(QStringLiteral("CN"));
    QTest::newRow("channel 1 code") << QStringLiteral("CBAUDRATE1") << QVariant(0x001C0009);
    QTest::newRow("channel 1 name")
        << QStringLiteral("CBAUDNAME1") << QVariant(QStringLiteral("500kbps"));
    QTest::newRow("channel 2 user rate")
        << QStringLiteral("CBAUDNAME2") << QVariant(QStringLiteral("UserBaud:33kbps"));
    QTest::newRow("channel 2 code") << QStringLiteral("CBAUDRATE2") << QVariant(0x0A0B0024);
}

void tst_Settings::roundTrip()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);

    writeSetting(key, value);
    QCOMPARE(readSetting(key, QStringLiteral("unused")).toString(), value.toString());
    if (value.type() == QVariant::Int)
        QCOMPARE(readSetting(key, 0).toInt(), value.toInt());
}

void tst_Settings::absentKeysGiveTheDefault_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("defaultValue");

    QTest::newRow("language") << QStringLiteral("Language") << QVariant(QStringLiteral("EN"));
    QTest::newRow("channel 1 name")
        << QStringLiteral("CBAUDNAME1") << QVariant(QStringLiteral("1000kbps"));
    QTest::newRow("channel 2 code") << QStringLiteral("CBAUDRATE2") << QVariant(0);
}

void tst_Settings::absentKeysGiveTheDefault()
{
    QFETCH(QString, key);
    QFETCH(QVariant, defaultValue);
    QCOMPARE(readSetting(key, defaultValue), defaultValue);
}

void tst_Settings::writtenValueIsOnDiskAtOnce()
{
    writeSetting(QStringLiteral("Language"), QStringLiteral("CN"));
    QFile file(QSettings(QStringLiteral("QJN-QT"), QStringLiteral("VEDOvozevoz_Iviz")).fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("Language=CN"));
}

void tst_Settings::languageSwitch_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("englishBefore");
    QTest::addColumn<QString>("storedAfter");

    QTest::newRow("nothing stored: English, switch to CN") << QVariant() << true << "CN";
    QTest::newRow("EN: switch to CN") << QVariant(QStringLiteral("EN")) << true << "CN";
    QTest::newRow("CN: switch to EN") << QVariant(QStringLiteral("CN")) << false << "EN";
    QTest::newRow("cn is not CN") << QVariant(QStringLiteral("cn")) << false << "CN";
    QTest::newRow("unknown value") << QVariant(QStringLiteral("DE")) << false << "CN";
}

void tst_Settings::languageSwitch()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, englishBefore);
    QFETCH(QString, storedAfter);

    if (stored.isValid())
        writeSetting(QStringLiteral("Language"), stored);

    QStringList captions;
    int windows = 0;
    QPointer<RAZOradurodMainWindow> last;
    const int code = ApplicationShell::runMainWindows([&](RAZOradurodMainWindow *window) {
        ++windows;
        last = window;
        captions
            << MainWindowDriver::toolButton(window, QStringLiteral("toolButton_Setting"))->text();
        if (windows == 1) {
            QTimer::singleShot(50, window, [window] {
                MainWindowDriver::chooseFromSettingMenu(window, window->languageAction());
            });
        } else {
            QTimer::singleShot(50, window, [window] { MainWindowDriver::pressClose(window); });
        }
    });

    // The program leaves its last window to the end of the process; the next row needs it gone
    // together with its translator.
    delete last;
    QCOMPARE(code, 0);
    QCOMPARE(windows, 2);
    QCOMPARE(readSetting(QStringLiteral("Language")).toString(), storedAfter);
    const QString english = QStringLiteral("Settings && Help");
    const QString chinese = QStringLiteral("设置&&帮助");
    QCOMPARE(captions.at(0), englishBefore ? english : chinese);
    QCOMPARE(captions.at(1), storedAfter == QLatin1String("EN") ? english : chinese);
}

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
