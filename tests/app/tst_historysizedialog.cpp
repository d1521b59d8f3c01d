#include "app/applicationshell.h"
#include "app/historysetting.h"
#include "app/razoradurodmainwindow.h"
#include "app/settings.h"
#include "app/widgets/historysizedialog.h"
#include "app/widgets/rframelesswidget.h"
#include "display/candatadisplaysupport.h"
#include "support/mainwindowdriver.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QtTest>

#include <cmath>
#include <memory>

// Before the application object: nothing in this process may reach the user's own store.
static const bool sandboxed = [] {
    MainWindowDriver::sandboxSettings();
    return true;
}();

namespace {
const QString key = QStringLiteral("HistorySize");
}

class tst_HistorySizeDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void sizeAtStart_data();
    void sizeAtStart();
    void fromTheSettingMenu_data();
    void fromTheSettingMenu();
    void memoryFollowsTheFrames_data();
    void memoryFollowsTheFrames();
    void stepsLandOnMillions_data();
    void stepsLandOnMillions();

private:
    CAN_DataDisplaySupport *display() const { return CAN_DataDisplaySupport::instance(); }

    std::unique_ptr<RAZOradurodMainWindow> m_window;
    std::unique_ptr<HistorySizeDialog> m_memoryDialog;
};

void tst_HistorySizeDialog::initTestCase()
{
    QVERIFY(sandboxed);
    ApplicationShell::setUpApplicationFont();
    m_window = std::make_unique<RAZOradurodMainWindow>();
    m_window->show();
}

void tst_HistorySizeDialog::init()
{
    MainWindowDriver::clearSettings();
}

void tst_HistorySizeDialog::cleanupTestCase()
{
    m_memoryDialog.reset();
    m_window.reset();
}

void tst_HistorySizeDialog::sizeAtStart_data()
{
    QTest::addColumn<QVariant>("stored"); // invalid: nothing stored
    QTest::addColumn<int>("runFrames"); // from the command line; 0: none
    QTest::addColumn<int>("inForce");

    QTest::newRow("nothing stored") << QVariant() << 0 << 1000000;
    QTest::newRow("stored") << QVariant(20000000) << 0 << 20000000;
    QTest::newRow("stored as text") << QVariant(QStringLiteral("3000000")) << 0 << 3000000;
    QTest::newRow("no number") << QVariant(QStringLiteral("lots")) << 0 << 1000000;
    QTest::newRow("below the smallest") << QVariant(5) << 0 << 10000;
    QTest::newRow("above the largest") << QVariant(60000000) << 0 << 50000000;
    QTest::newRow("beyond an int") << QVariant(QStringLiteral("4294977296")) << 0 << 50000000;
    QTest::newRow("command line over stored") << QVariant(20000000) << 2000000 << 2000000;
    QTest::newRow("command line, nothing stored") << QVariant() << 40000000 << 40000000;
}

void tst_HistorySizeDialog::sizeAtStart()
{
    QFETCH(QVariant, stored);
    QFETCH(int, runFrames);
    QFETCH(int, inForce);

    if (stored.isValid())
        writeSetting(key, stored);
    // A size none of the rows ends with, so that a start that applies nothing is seen.
    display()->setMaxBuffSize(12345678);
    QCOMPARE(HistorySetting::applyAtStart(runFrames), inForce);
    QCOMPARE(display()->maxBuffSize(), inForce);
    // Starting never rewrites what the user stored, not even a value it could not use.
    QCOMPARE(readSetting(key).toString(), stored.toString());
}

void tst_HistorySizeDialog::fromTheSettingMenu_data()
{
    QTest::addColumn<int>("runFrames");
    QTest::addColumn<QString>("typed"); // empty: the number the window opens with is kept
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("storedAfter");
    QTest::addColumn<int>("inForceAfter");

    // 2,000,000 is stored before each row.
    QTest::newRow("OK") << 0 << "7000000"
                        << "ok" << 7000000 << 7000000;
    QTest::newRow("Enter") << 0 << "7000000"
                           << "enter" << 7000000 << 7000000;
    QTest::newRow("Cancel") << 0 << "7000000"
                            << "cancel" << 2000000 << 2000000;
    QTest::newRow("Escape") << 0 << "7000000"
                            << "escape" << 2000000 << 2000000;
    QTest::newRow("title bar close") << 0 << "7000000"
                                     << "close" << 2000000 << 2000000;
    QTest::newRow("typed below the smallest") << 0 << "500"
                                              << "ok" << 10000 << 10000;
    QTest::newRow("command line size, OK") << 30000000 << QString() << "ok" << 30000000 << 30000000;
    QTest::newRow("command line size, Cancel")
        << 30000000 << QString() << "cancel" << 2000000 << 30000000;
}

void tst_HistorySizeDialog::fromTheSettingMenu()
{
    QFETCH(int, runFrames);
    QFETCH(QString, typed);
    QFETCH(QString, answer);
    QFETCH(int, storedAfter);
    QFETCH(int, inForceAfter);

    writeSetting(key, 2000000);
    HistorySetting::applyAtStart(runFrames);
    MainWindowDriver::chooseFromSettingMenu(m_window.get(), m_window->historySizeAction());
    QTRY_VERIFY_WITH_TIMEOUT(
        m_window->historySizeDialog() && m_window->historySizeDialog()->isVisible(), 5000);
    HistorySizeDialog *dialog = m_window->historySizeDialog();
    QSpinBox *frames = dialog->framesBox();
    QCOMPARE(frames->value(), runFrames > 0 ? runFrames : 2000000);

    if (!typed.isEmpty())
        QTest::keyClicks(frames, typed);
    if (answer == QLatin1String("ok"))
        dialog->findChild<QPushButton *>(QStringLiteral("historyOk"))->click();
    else if (answer == QLatin1String("cancel"))
        dialog->findChild<QPushButton *>(QStringLiteral("historyCancel"))->click();
    else if (answer == QLatin1String("enter"))
        QTest::keyClick(frames, Qt::Key_Return);
    else if (answer == QLatin1String("escape"))
        QTest::keyClick(frames, Qt::Key_Escape);
    else
        dialog->findChild<rFrameLessWidget *>()
            ->findChild<QPushButton *>(QStringLiteral("close"))
            ->click();

    QVERIFY(!dialog->isVisible());
    QCOMPARE(readSetting(key).toInt(), storedAfter);
    QCOMPARE(display()->maxBuffSize(), inForceAfter);
    // The next start, without a size on its command line, takes what was stored.
    display()->setMaxBuffSize(CAN_DataDisplaySupport::DefaultMaxBuffSize);
    QCOMPARE(HistorySetting::applyAtStart(), storedAfter);
}

void tst_HistorySizeDialog::memoryFollowsTheFrames_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<double>("physicalGb"); // the machine's memory; 0: unknown
    QTest::addColumn<bool>("warned");

    QTest::newRow("smallest") << 10000 << 16.0 << false;
    QTest::newRow("a few megabytes") << 100000 << 16.0 << false;
    QTest::newRow("default") << 1000000 << 16.0 << false;
    QTest::newRow("odd size") << 7654321 << 16.0 << false;
    QTest::newRow("largest") << 50000000 << 16.0 << false;
    QTest::newRow("largest on a small machine") << 50000000 << 2.0 << true;
    QTest::newRow("half a small machine") << 31250000 << 2.0 << false;
    QTest::newRow("just past half") << 31250001 << 2.0 << true;
    QTest::newRow("memory unknown") << 50000000 << 0.0 << false;
}

void tst_HistorySizeDialog::memoryFollowsTheFrames()
{
    QFETCH(int, frames);
    QFETCH(double, physicalGb);
    QFETCH(bool, warned);

    // One window for every row: the label must follow each change, not only show the first size.
    if (!m_memoryDialog)
        m_memoryDialog = std::make_unique<HistorySizeDialog>(display());
    m_memoryDialog->setPhysicalMemory(qint64(physicalGb * 1e9));
    m_memoryDialog->framesBox()->setValue(frames);
    const QString text = m_memoryDialog->memoryLabel()->text();
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("([0-9.,]+) (MB|GB)")).match(text);
    QVERIFY2(match.hasMatch(), qPrintable(text));
    bool ok = false;
    const double shown = m_memoryDialog->locale().toDouble(match.captured(1), &ok);
    QVERIFY2(ok, qPrintable(text));
    // Rounded to the last digit shown, and in gigabytes from one gigabyte on.
    const bool gigabytes = match.captured(2) == QLatin1String("GB");
    const int point = match.captured(1).indexOf(m_memoryDialog->locale().decimalPoint());
    const int decimals = point < 0 ? 0 : match.captured(1).size() - point - 1;
    const double bytes = double(CAN_DataDisplaySupport::historyBytes(frames));
    const double exact = bytes / (gigabytes ? 1e9 : 1e6);
    QVERIFY2(qAbs(shown - exact) <= 0.5 * std::pow(10.0, -decimals) + 1e-9, qPrintable(text));
    // Never "0 MB" for a history that takes memory.
    QVERIFY2(shown > 0, qPrintable(text));
    QCOMPARE(gigabytes, bytes >= 1e9);
    QCOMPARE(
        text.contains(QCoreApplication::translate("HistorySizeDialog", "，超过本机内存的一半")),
        warned);
}

void tst_HistorySizeDialog::stepsLandOnMillions_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("to");

    QTest::newRow("up from the smallest") << 10000 << 1 << 1000000;
    QTest::newRow("down to the smallest") << 1000000 << -1 << 10000;
    QTest::newRow("up between millions") << 2500000 << 1 << 3000000;
    QTest::newRow("down between millions") << 2500000 << -1 << 2000000;
    QTest::newRow("three up") << 2000000 << 3 << 5000000;
    QTest::newRow("up past the largest") << 49500000 << 1 << 50000000;
}

void tst_HistorySizeDialog::stepsLandOnMillions()
{
    QFETCH(int, from);
    QFETCH(int, steps);
    QFETCH(int, to);

    HistorySizeDialog dialog(display());
    dialog.framesBox()->setValue(from);
    dialog.framesBox()->stepBy(steps);
    QCOMPARE(dialog.framesBox()->value(), to);
}

QTEST_MAIN(tst_HistorySizeDialog)
#include "tst_historysizedialog.moc"
