#include "app/widgets/rborderwidget.h"
#include "app/widgets/rcheckbox.h"
#include "app/widgets/rframelesswidget.h"
#include "app/widgets/rpushbutton.h"
#include "app/widgets/rspinbox.h"
#include "app/widgets/rtitle.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QWindow>
#include <QtTest>

namespace {

// A window that notes the mouse presses its children leave unaccepted.
class PressRecorder : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        ++presses;
        event->accept();
    }
};

QPushButton *button(QWidget *bar, const char *name)
{
    return bar->findChild<QPushButton *>(QLatin1String(name));
}

} // namespace

class tst_FramelessWidgets : public QObject
{
    Q_OBJECT

private slots:
    void titleGradient_data();
    void titleGradient();
    void borderOutline_data();
    void borderOutline();
    void borderWindowIsModalFramelessTool();
    void titleBarButtons_data();
    void titleBarButtons();
    void titleBarTextAndColour();
    void maxsizeFollowsTargetState_data();
    void maxsizeFollowsTargetState();
    void buttonSignals_data();
    void buttonSignals();
    void pressReachesParent_data();
    void pressReachesParent();
    void dragMovesWindow_data();
    void dragMovesWindow();
    void doubleClickTogglesMaximised();
    void disabledPushButtonIsGrey();
    void spinBoxDrawsItsArrows();
    void chromePicturesAreCompiledIn_data();
    void chromePicturesAreCompiledIn();
};

void tst_FramelessWidgets::titleGradient_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QColor>("colour");

    // A 400 x 100 strip: the logo covers its top-left 276 x 80, the ramp shows elsewhere.
    QTest::newRow("outline top row") << QPoint(300, 0) << QColor(220, 220, 220);
    QTest::newRow("outline left column") << QPoint(0, 90) << QColor(220, 220, 220);
    QTest::newRow("first column, b counts rows") << QPoint(1, 90) << QColor(0, 0, 89);
    QTest::newRow("first column bottom") << QPoint(1, 99) << QColor(0, 0, 98);
    QTest::newRow("second column restarts b") << QPoint(2, 85) << QColor(1, 1, 84);
    QTest::newRow("column 100") << QPoint(100, 95) << QColor(51, 51, 125);
    QTest::newRow("just right of the logo") << QPoint(277, 1) << QColor(104, 104, 63);
    QTest::newRow("just below the logo") << QPoint(276, 81) << QColor(104, 104, 144);
    QTest::newRow("middle") << QPoint(300, 50) << QColor(109, 109, 116);
    QTest::newRow("bottom row") << QPoint(350, 99) << QColor(119, 119, 171);
    QTest::newRow("last column top") << QPoint(399, 1) << QColor(127, 127, 78);
    QTest::newRow("bottom-right corner") << QPoint(399, 99) << QColor(127, 127, 176);
}

void tst_FramelessWidgets::titleGradient()
{
    QFETCH(QPoint, pixel);
    QFETCH(QColor, colour);

    QWidget window;
    Rtitle title(&window);
    title.resize(400, 100);
    const QImage image = title.grab().toImage();
    QCOMPARE(image.size(), QSize(400, 100));
    QCOMPARE(image.pixelColor(pixel), colour);
}

void tst_FramelessWidgets::borderOutline_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QColor>("colour");

    const QColor edge(0, 66, 99);
    QTest::newRow("top-left corner") << QPoint(0, 0) << edge;
    QTest::newRow("top edge") << QPoint(60, 0) << edge;
    QTest::newRow("left edge") << QPoint(0, 40) << edge;
    QTest::newRow("right edge") << QPoint(119, 40) << edge;
    QTest::newRow("bottom edge") << QPoint(60, 79) << edge;
    QTest::newRow("bottom-right corner") << QPoint(119, 79) << edge;
    QTest::newRow("first inner pixel") << QPoint(1, 1) << QColor(Qt::white);
    QTest::newRow("centre") << QPoint(60, 40) << QColor(Qt::white);
    QTest::newRow("last inner pixel") << QPoint(118, 78) << QColor(Qt::white);
}

void tst_FramelessWidgets::borderOutline()
{
    QFETCH(QPoint, pixel);
    QFETCH(QColor, colour);

    RborderWidget window;
    window.resize(120, 80);
    QCOMPARE(window.grab().toImage().pixelColor(pixel), colour);
}

void tst_FramelessWidgets::borderWindowIsModalFramelessTool()
{
    QWidget owner;
    RborderWidget window(&owner);
    QCOMPARE(int(window.windowFlags() & 0x80B), 0x80B);
    QVERIFY(window.isWindow());
    QCOMPARE(window.windowModality(), Qt::ApplicationModal);
}

void tst_FramelessWidgets::titleBarButtons_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("minimise");
    QTest::addColumn<bool>("maximise");
    QTest::addColumn<bool>("close");

    QTest::newRow("0: none (save progress)") << 0 << false << false << false;
    QTest::newRow("1 has no effect") << 1 << false << false << false;
    QTest::newRow("2: minimise") << 2 << true << false << false;
    QTest::newRow("4: maximise") << 4 << false << true << false;
    QTest::newRow("8: close (about, calculator)") << 8 << false << false << true;
    QTest::newRow("9: close, like 8 (device, bus load)") << 9 << false << false << true;
    QTest::newRow("15: all three (send, main)") << 15 << true << true << true;
}

void tst_FramelessWidgets::titleBarButtons()
{
    QFETCH(int, flags);
    QFETCH(bool, minimise);
    QFETCH(bool, maximise);
    QFETCH(bool, close);

    QWidget window;
    rFrameLessWidget bar(&window, QStringLiteral(" CAN"), flags, QColor(0, 66, 99));
    window.show();
    QCOMPARE(button(&bar, "minsize")->isVisible(), minimise);
    QCOMPARE(button(&bar, "maxsize")->isVisible(), maximise);
    QCOMPARE(button(&bar, "close")->isVisible(), close);
    QVERIFY(!button(&bar, "help")->isVisible());
    for (const char *name : { "help", "minsize", "maxsize", "close" }) {
        QCOMPARE(button(&bar, name)->size(), QSize(30, 30));
        QVERIFY(!button(&bar, name)->icon().isNull());
        QVERIFY(button(&bar, name)->text().isEmpty());
    }
}

void tst_FramelessWidgets::titleBarTextAndColour()
{
    QWidget window;
    rFrameLessWidget bar(&window, QStringLiteral(" 设备管理"), 9, QColor(0, 66, 99));
    auto *label = bar.findChild<QLabel *>(QStringLiteral("label"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral(" 设备管理"));
    bar.setTitle(QStringLiteral(" Device"));
    QCOMPARE(label->text(), QStringLiteral(" Device"));

    bar.resize(300, 35);
    const QImage image = bar.grab().toImage();
    QCOMPARE(image.pixelColor(150, 33), QColor(0, 66, 99));
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 255, 255));
}

void tst_FramelessWidgets::maxsizeFollowsTargetState_data()
{
    QTest::addColumn<bool>("maximised");
    QTest::newRow("normal window asks to maximise") << false;
    QTest::newRow("maximised window asks to restore") << true;
}

void tst_FramelessWidgets::maxsizeFollowsTargetState()
{
    QFETCH(bool, maximised);

    QWidget window;
    auto *bar = new rFrameLessWidget(&window, QString(), 15, QColor(0, 77, 126));
    (new QVBoxLayout(&window))->addWidget(bar);
    if (maximised)
        window.showMaximized();
    else
        window.showNormal();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.isMaximized(), maximised);

    QSignalSpy maxSpy(bar, &rFrameLessWidget::Signal_MaxSize);
    QSignalSpy normalSpy(bar, &rFrameLessWidget::Signal_NormalSize);
    QVERIFY(maxSpy.isValid());
    QVERIFY(normalSpy.isValid());
    QTest::mouseClick(button(bar, "maxsize"), Qt::LeftButton);
    QCOMPARE(maxSpy.count(), maximised ? 0 : 1);
    QCOMPARE(normalSpy.count(), maximised ? 1 : 0);
    // The bar only reports; the window decides.
    QCOMPARE(window.isMaximized(), maximised);
}

void tst_FramelessWidgets::buttonSignals_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("signal");

    QTest::newRow("close") << QStringLiteral("close") << QStringLiteral("Signal_Close()");
    QTest::newRow("minsize") << QStringLiteral("minsize") << QStringLiteral("Signal_MinSize()");
    QTest::newRow("help") << QStringLiteral("help") << QStringLiteral("Signal_Help()");
}

void tst_FramelessWidgets::buttonSignals()
{
    QFETCH(QString, buttonName);
    QFETCH(QString, signal);

    QWidget window;
    rFrameLessWidget bar(&window, QString(), 15, QColor(0, 66, 99));
    window.show();
    QList<QString> emitted;
    connect(&bar, &rFrameLessWidget::Signal_Close, &bar,
            [&] { emitted << QStringLiteral("Signal_Close()"); });
    connect(&bar, &rFrameLessWidget::Signal_MinSize, &bar,
            [&] { emitted << QStringLiteral("Signal_MinSize()"); });
    connect(&bar, &rFrameLessWidget::Signal_MaxSize, &bar,
            [&] { emitted << QStringLiteral("Signal_MaxSize()"); });
    connect(&bar, &rFrameLessWidget::Signal_NormalSize, &bar,
            [&] { emitted << QStringLiteral("Signal_NormalSize()"); });
    connect(&bar, &rFrameLessWidget::Signal_Help, &bar,
            [&] { emitted << QStringLiteral("Signal_Help()"); });
    // The help button is hidden but still wired, so click() it rather than the mouse.
    bar.findChild<QPushButton *>(buttonName)->click();
    QCOMPARE(emitted, QList<QString> { signal });
    QVERIFY(window.isVisible());
}

void tst_FramelessWidgets::pressReachesParent_data()
{
    QTest::addColumn<bool>("logoStrip");
    QTest::newRow("title bar") << false;
    QTest::newRow("logo strip") << true;
}

void tst_FramelessWidgets::pressReachesParent()
{
    QFETCH(bool, logoStrip);

    PressRecorder window;
    QWidget *strip = logoStrip ? static_cast<QWidget *>(new Rtitle(&window))
                               : new rFrameLessWidget(&window, QStringLiteral("T"), 8, Qt::black);
    strip->setGeometry(0, 0, 300, 40);
    window.resize(300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(100, 20));
    QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(100, 20));
    QCOMPARE(window.presses, 1);
}

void tst_FramelessWidgets::dragMovesWindow_data()
{
    QTest::addColumn<bool>("logoStrip");
    QTest::addColumn<QPoint>("offset");
    QTest::newRow("title bar right and down") << false << QPoint(40, 25);
    QTest::newRow("title bar left and up") << false << QPoint(-30, -12);
    QTest::newRow("logo strip") << true << QPoint(55, 7);
}

void tst_FramelessWidgets::dragMovesWindow()
{
    QFETCH(bool, logoStrip);
    QFETCH(QPoint, offset);

    QWidget window;
    window.setWindowFlags(window.windowFlags() | Qt::FramelessWindowHint);
    QWidget *strip = logoStrip ? static_cast<QWidget *>(new Rtitle(&window))
                               : new rFrameLessWidget(&window, QStringLiteral("T"), 8, Qt::black);
    strip->setGeometry(0, 0, 300, 40);
    window.setGeometry(200, 150, 300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();

    // Through the window so that the events take the same route as real ones. The mouse is
    // placed by screen position: the window moves under it while it travels.
    QWindow *handle = window.windowHandle();
    const QPoint grip = handle->mapToGlobal(QPoint(100, 20));
    QTest::mousePress(handle, Qt::LeftButton, {}, handle->mapFromGlobal(grip));
    QTest::mouseMove(handle, handle->mapFromGlobal(grip + offset / 2));
    QTest::mouseMove(handle, handle->mapFromGlobal(grip + offset));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->mapFromGlobal(grip + offset));
    QTRY_COMPARE_WITH_TIMEOUT(window.pos(), start + offset, 5000);
}

void tst_FramelessWidgets::doubleClickTogglesMaximised()
{
    QWidget window;
    auto *strip = new Rtitle(&window);
    strip->setGeometry(0, 0, 276, 80);
    window.resize(400, 300);
    window.showNormal();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseDClick(strip, Qt::LeftButton, {}, QPoint(10, 10));
    QTRY_VERIFY_WITH_TIMEOUT(window.isMaximized(), 5000);
    QTest::mouseDClick(strip, Qt::LeftButton, {}, QPoint(10, 10));
    QTRY_VERIFY_WITH_TIMEOUT(!window.isMaximized(), 5000);
}

void tst_FramelessWidgets::disabledPushButtonIsGrey()
{
    RPushButton enabled;
    enabled.setText(QStringLiteral("OK"));
    QVERIFY(enabled.minimumWidth() >= 90);
    QVERIFY(enabled.minimumHeight() >= 20);
    enabled.resize(100, 30);
    QCOMPARE(enabled.grab().toImage().pixelColor(10, 15), QColor(0xff, 0xff, 0xff));

    RPushButton disabled;
    disabled.setEnabled(false);
    disabled.resize(100, 30);
    const QImage image = disabled.grab().toImage();
    QCOMPARE(image.pixelColor(10, 15), QColor(0xdd, 0xdd, 0xdd));
    QCOMPARE(image.pixelColor(0, 15), QColor(0xdd, 0xdd, 0xdd));
}

void tst_FramelessWidgets::spinBoxDrawsItsArrows()
{
    RSpinBox box;
    box.setRange(0, 10);
    box.setValue(5);
    box.resize(80, 26);
    const QImage image = box.grab().toImage();
    // Somewhere in each button's half of the right edge, the arrow's blue.
    const auto hasArrow = [&](int top, int bottom) {
        for (int y = top; y < bottom; ++y) {
            for (int x = image.width() - 16; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.blue() > 180 && c.red() < 150 && c.green() < 170)
                    return true;
            }
        }
        return false;
    };
    QVERIFY(hasArrow(0, image.height() / 2));
    QVERIFY(hasArrow(image.height() / 2, image.height()));
}

void tst_FramelessWidgets::chromePicturesAreCompiledIn_data()
{
    QTest::addColumn<QString>("path");
    for (const char *path :
         { ":/image/msg_question.png", ":/Images/White/minimizeHover.png",
           ":/Images/White/maximizeHover.png", ":/Images/White/closeHover.png",
           ":/images2/check2.png", ":/images2/logo_1.png", ":/images2/bar_manageV2.png",
           ":/images2/bar_manageV1.jpg", ":/images2/bar_sendV2.png", ":/images2/bar_sendV1.jpg",
           ":/images2/bar_prectV2.png", ":/images2/bar_prectV1.jpg", ":/images2/bar_helpV2.png",
           ":/images2/bar_helpv1.jpg",
           // Style sheets name them without the slash after the colon.
           ":images2/bar_manageV2.png", ":/qt/etc/qt.conf" })
        QTest::newRow(path) << QString::fromLatin1(path);
}

void tst_FramelessWidgets::chromePicturesAreCompiledIn()
{
    QFETCH(QString, path);

    // Building any chrome widget registers the pictures, whoever links the library.
    RcHECKbOX box;
    QVERIFY2(QFile::exists(path), qPrintable(path));
    if (!path.endsWith(QLatin1String(".conf")))
        QVERIFY(!QPixmap(path).isNull());
}

QTEST_MAIN(tst_FramelessWidgets)
#include "tst_framelesswidgets.moc"
