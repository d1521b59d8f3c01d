#include "candb/databaseset.h"
#include "display/signalhub.h"
#include "send/signalcomposerwindow.h"
#include "send/tablepanel_widget.h"
#include "support/privatesettingsmain.h"
#include "support/textfile.h"
#include "support/vehicledbc.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

// The composer as the user works it: typed values become bytes, typed bytes become values, a
// value that does not fit leaves both as they were, and the frame goes to the list or the panel.
class tst_SignalComposerWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void valuesAndBytesFollowEachOther();
    void panelTakesTheFrame();

private:
    QTemporaryDir m_dir;
};

void tst_SignalComposerWindow::initTestCase()
{
    const QString path = m_dir.filePath(QStringLiteral("vehicle.dbc"));
    QVERIFY(writeTestFile(path, vehicleDbc()));
    SignalHub::instance()->databases()->add(path, DatabaseSet::Channel2);
}

void tst_SignalComposerWindow::valuesAndBytesFollowEachOther()
{
    SignalComposerWindow window;
    window.loadMessages();
    QCOMPARE(window.messageBox()->count(), 3);
    QTableWidget *table = window.signalTable();
    const auto value
        = [table](int row) { return table->item(row, SignalComposerWindow::ValueColumn); };

    value(0)->setText(QStringLiteral("2000"));
    value(2)->setText(QStringLiteral("Drive"));
    value(3)->setText(QStringLiteral("-10.5"));
    QCOMPARE(window.bytesEdit()->text(), QStringLiteral("40 1F 00 03 0F FB 00 00"));
    QVERIFY(window.errorLabel()->text().isEmpty());

    value(1)->setText(QStringLiteral("88"));
    QVERIFY(!window.errorLabel()->text().isEmpty());
    QCOMPARE(value(1)->text().toDouble(), -40.0);
    QCOMPARE(window.bytesEdit()->text(), QStringLiteral("40 1F 00 03 0F FB 00 00"));

    window.bytesEdit()->setText(QStringLiteral("00 00 F6 01"));
    emit window.bytesEdit()->editingFinished();
    QVERIFY(window.errorLabel()->text().isEmpty());
    QCOMPARE(value(1)->text().toDouble(), -50.0);
    QCOMPARE(value(2)->text(), QStringLiteral("Reverse"));

    QVector<TransmitEntry> composed;
    connect(&window, &SignalComposerWindow::entryComposed, this,
            [&composed](const TransmitEntry &entry) { composed.append(entry); });
    window.findChild<QPushButton *>(QStringLiteral("composerAdd"))->click();
    QCOMPARE(composed.size(), 1);
    const TransmitEntry entry = composed.first();
    QCOMPARE(entry.name, QStringLiteral("Engine"));
    QCOMPARE(entry.id, 0x100u);
    QVERIFY(!entry.extended);
    QCOMPARE(entry.channel, 2);
    QCOMPARE(entry.dlc, 8);
    QCOMPARE(entry.data, QByteArray::fromHex("0000F60100000000"));

    // Listed again, as when the window is shown again, the work stays.
    window.loadMessages();
    QCOMPARE(window.bytesEdit()->text(), QStringLiteral("00 00 F6 01 00 00 00 00"));

    window.messageBox()->setCurrentIndex(1);
    value(2)->setText(QStringLiteral("1234"));
    QCOMPARE(window.bytesEdit()->text(), QStringLiteral("02 D2 04 00"));
    QVERIFY(window.entry().extended);
    QCOMPARE(window.entry().id, 0x18FF50E5u);
}

void tst_SignalComposerWindow::panelTakesTheFrame()
{
    tablePanel_Widget panel;
    panel.findChild<QPushButton *>(QStringLiteral("panelFromDatabase"))->click();
    auto *composer = panel.findChild<SignalComposerWindow *>();
    QVERIFY(composer);
    composer->messageBox()->setCurrentIndex(1);
    composer->signalTable()
        ->item(1, SignalComposerWindow::ValueColumn)
        ->setText(QStringLiteral("12.34"));
    composer->findChild<QPushButton *>(QStringLiteral("composerAdd"))->click();
    QVERIFY(!composer->isVisible());
    QCOMPARE(panel.findChild<QComboBox *>(QStringLiteral("canType"))->currentIndex(), 1);
    QCOMPARE(panel.findChild<QComboBox *>(QStringLiteral("canDataLength"))->currentIndex(), 4);
    QCOMPARE(panel.findChild<QLineEdit *>(QStringLiteral("canID"))->text(),
             QStringLiteral("18FF50E5"));
    QCOMPARE(panel.findChild<QLineEdit *>(QStringLiteral("canData"))->text(),
             QStringLiteral("01 D2 04 00"));
}

RCAN_TEST_MAIN_PRIVATE_SETTINGS(tst_SignalComposerWindow)
#include "tst_signalcomposerwindow.moc"
