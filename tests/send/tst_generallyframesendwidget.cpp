#include "send/generallyframesendwidget.h"

#include "app/razoradurodmainwindow.h"
#include "app/widgets/rframelesswidget.h"
#include "device/devicemanagement.h"
#include "send/keyboard.h"
#include "send/tablepanel_widget.h"
#include "send/transmitlistwidget.h"
#include "support/translationcheck.h"

#include "support/privatesettingsmain.h"
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTranslator>
#include <QtTest>

namespace {
QStringList tabTitles(generallyFrameSendWidget *window)
{
    auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles.append(tabs->tabText(i));
    return titles;
}
} // namespace

class tst_generallyFrameSendWidget : public QObject
{
    Q_OBJECT
private slots:
    void layoutAndStyle();
    void tabTitlesFollowTheDevice_data();
    void tabTitlesFollowTheDevice();
    void closeAndMinimiseHide();
    void panelsAreIndependent();
    void englishLeavesNoChinese();
    // Last: the main window installs the stored language for the rest of the process.
    void sendToolButtonShowsTheOneSendWindow();
};

void tst_generallyFrameSendWidget::layoutAndStyle()
{
    generallyFrameSendWidget window;
    QCOMPARE(window.size(), QSize(957, 545));
    QCOMPARE(window.windowModality(), Qt::NonModal);
    QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->widget(0), window.panel(0));
    QCOMPARE(tabs->widget(1), window.panel(1));
    QCOMPARE(tabs->widget(2), window.listPage());
    QCOMPARE(tabs->iconSize(), QSize(25, 25));
    QVERIFY(
        tabs->styleSheet().startsWith(QLatin1String("QTabWidget:pane{border: 1px solid #006699;")));
    QVERIFY(tabs->styleSheet().endsWith(QLatin1String("background-color:#87CEFA;}")));
    QCOMPARE(window.findChild<QWidget *>(QStringLiteral("widget"))->maximumHeight(), 35);
}

void tst_generallyFrameSendWidget::tabTitlesFollowTheDevice_data()
{
    QTest::addColumn<QStringList>("models");
    QTest::addColumn<QString>("title");

    QTest::newRow("nothing opened yet") << QStringList() << QStringLiteral("Tab");
    QTest::newRow("opened") << QStringList { QStringLiteral("RCAN-U01") }
                            << QStringLiteral("已连接设备：RCAN-U01");
    QTest::newRow("opened and closed")
        << QStringList { QStringLiteral("RCAN-U01"), QString() } << QStringLiteral("Tab");
}

void tst_generallyFrameSendWidget::tabTitlesFollowTheDevice()
{
    QFETCH(QStringList, models);
    QFETCH(QString, title);

    generallyFrameSendWidget window;
    for (const QString &model : qAsConst(models))
        emit DeviceManagement::instance()->signals_deviceModelCommand(model);
    QCOMPARE(tabTitles(&window), (QStringList { title, title, QStringLiteral("列表发送") }));
}

void tst_generallyFrameSendWidget::closeAndMinimiseHide()
{
    generallyFrameSendWidget window;
    for (const char *button : { "close", "minsize" }) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // The window's own title bar, not one of a dialog it owns.
        rFrameLessWidget *titleBar = nullptr;
        for (rFrameLessWidget *bar : window.findChildren<rFrameLessWidget *>()) {
            if (bar->window() == &window)
                titleBar = bar;
        }
        QVERIFY(titleBar);
        auto *found = titleBar->findChild<QPushButton *>(QLatin1String(button));
        QVERIFY(found && !found->isHidden());
        found->click();
        QVERIFY(window.isHidden());
    }
}

void tst_generallyFrameSendWidget::panelsAreIndependent()
{
    generallyFrameSendWidget window;
    tablePanel_Widget *first = window.panel(0);
    tablePanel_Widget *second = window.panel(1);
    QVERIFY(first != second);
    QCOMPARE(second->scheduler()->rank(), first->scheduler()->rank() + 1);

    auto *data1 = first->findChild<QLineEdit *>(QStringLiteral("canData"));
    auto *data2 = second->findChild<QLineEdit *>(QStringLiteral("canData"));
    QTest::keyClicks(data1, QStringLiteral("ABC"));
    QTest::keyClicks(data2, QStringLiteral("12"));
    QTest::keyClicks(data2, QStringLiteral("G"));
    QCOMPARE(data1->text(), QStringLiteral("AB C"));
    // The second panel's last accepted text is its own, not the first panel's.
    QCOMPARE(data2->text(), QStringLiteral("1"));
}

void tst_generallyFrameSendWidget::englishLeavesNoChinese()
{
    QTranslator english;
    QVERIFY(TranslationCheck::installEnglish(&english));
    {
        // The device panel names the channel in its own translation.
        const QString channel1 = QCoreApplication::translate("DeviceManagement", "通道1");
        generallyFrameSendWidget window;
        emit DeviceManagement::instance()->signals_deviceModelCommand(QStringLiteral("RCAN-U01"));
        emit DeviceManagement::instance()->signals_channelStateChanged(true, channel1);
        auto *editor = new KeyBoard(window.panel(0), 8);
        QStringList left = TranslationCheck::untranslatedTexts({ &window, editor });
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
        QCOMPARE(tabTitles(&window).first(), QStringLiteral("Connected device: RCAN-U01"));
        auto *send = window.panel(0)->findChild<QPushButton *>(QStringLiteral("Button_send"));
        QCOMPARE(send->text(), QStringLiteral("Send Now"));
        // The panel knows the channel by the device panel's English name too.
        send->click();
        QCOMPARE(window.panel(0)->sendParams().channel, 1);
        QCOMPARE(send->text(), QStringLiteral("Stop Sending"));
        send->click();
        QTRY_COMPARE(send->text(), QStringLiteral("Send Now"));
        emit DeviceManagement::instance()->signals_channelStateChanged(false, channel1);
    }
    QCoreApplication::removeTranslator(&english);
}

void tst_generallyFrameSendWidget::sendToolButtonShowsTheOneSendWindow()
{
    RAZOradurodMainWindow window;
    generallyFrameSendWidget *page = window.sendPage();
    QVERIFY(page);
    QCOMPARE(page->parentWidget(), &window);
    QVERIFY(page->isHidden());

    const QString caption = QCoreApplication::translate("RAZOradurodMainWindow", "发送数据");
    QToolButton *send = nullptr;
    for (QToolButton *button : window.findChildren<QToolButton *>()) {
        if (button->text() == caption)
            send = button;
    }
    QVERIFY(send);
    send->click();
    QVERIFY(page->isVisible());
    page->hide();
    send->click();
    QVERIFY(page->isVisible());
    QCOMPARE(window.sendPage(), page);
    QCOMPARE(window.findChildren<generallyFrameSendWidget *>().size(), 1);
}

RCAN_TEST_MAIN_PRIVATE_SETTINGS(tst_generallyFrameSendWidget)
#include "tst_generallyframesendwidget.moc"
