// Renders the send window (a run going, a run finished, a run the adapter did not answer) and the
// data matrix editor in both languages to PNG files, against the virtual adapter. Uses a private
// settings folder, so the user's stored settings are left alone.
//
//   xvfb-run -a rcan-send-screenshots <output-dir>

#include "app/applicationshell.h"
#include "app/rcanresources.h"
#include "app/runtimefiles.h"
#include "device/devicemanagement.h"
#include "link/serialcontrol.h"
#include "protocol/common.h"
#include "send/generallyframesendwidget.h"
#include "send/keyboard.h"
#include "send/tablepanel_widget.h"
#include "send/transmitlistwidget.h"
#include "simulator/virtualadapter.h"
#include "tools/toolenvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>

#include <cstdio>

namespace {

using Screenshots::save;

template<typename T>
T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

void compose(tablePanel_Widget *panel,
             int channelIndex,
             int typeIndex,
             const QString &id,
             const QString &data,
             int times,
             int interval)
{
    child<QComboBox>(panel, "devicec_hannel")->setCurrentIndex(channelIndex);
    child<QComboBox>(panel, "canType")->setCurrentIndex(typeIndex);
    child<QLineEdit>(panel, "canID")->setText(id);
    child<QLineEdit>(panel, "canData")->setText(data);
    child<QSpinBox>(panel, "sendTimes")->setValue(times);
    child<QSpinBox>(panel, "sendInterval")->setValue(interval);
    child<QCheckBox>(panel, "idIncrement")->setChecked(true);
}

} // namespace

int main(int argc, char *argv[])
{
    const ProgramTool tool(argc, argv, ProgramTool::AsGiven);
    QDir out;
    if (!Screenshots::outputDir("rcan-send-screenshots", &out))
        return 2;

    VirtualAdapter adapter;
    if (!adapter.start())
        return 1;
    SerialControl::instance()->setPortSource([] { return QList<SerialPortEntry>(); });
    SerialControl::instance()->addExtraPort(adapter.slavePath());
    SerialControl::instance()->refreshPortList();

    DeviceManagement *device = DeviceManagement::instance();
    auto *port = child<QComboBox>(device, "chose_port");
    port->setCurrentIndex(port->findText(adapter.slavePath()));
    child<QPushButton>(device, "device_open")->click();
    child<QPushButton>(device, "channel_control_1")->click();
    child<QPushButton>(device, "channel_control_2")->click();

    bool ok = true;
    QTranslator english;
    const QString languages[] = { QStringLiteral("CN"), QStringLiteral("EN") };
    for (const QString &lang : languages) {
        if (lang == QLatin1String("EN")) {
            english.load(RuntimeFiles::locate(QStringLiteral("language/Language_EN.qm")));
            QCoreApplication::installTranslator(&english);
            device->retranslate();
        }
        auto *window = new generallyFrameSendWidget;
        // The device was opened before this window existed: tell it as the device panel does.
        emit device->signals_deviceModelCommand(QStringLiteral("RCAN-U01"));
        for (const QString &source : { QStringLiteral("通道1"), QStringLiteral("通道2") }) {
            emit device->signals_channelStateChanged(
                true, QCoreApplication::translate("DeviceManagement", source.toUtf8().constData()));
        }
        window->show();
        common::delayMsec(200);

        tablePanel_Widget *first = window->panel(0);
        compose(first, 0, 0, QStringLiteral("123"), QStringLiteral("11 22 33 44 55 66 77 88"),
                100000, 10);
        child<QPushButton>(first, "Button_send")->click();
        common::delayMsec(700);
        ok &= save(window, out.filePath(QStringLiteral("send_running_%1.png").arg(lang)));
        child<QPushButton>(first, "Button_send")->click();
        common::delayMsec(200);
        ok &= save(window, out.filePath(QStringLiteral("send_finished_%1.png").arg(lang)));

        // Second panel: the adapter goes quiet, the run ends with the information box.
        window->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
        tablePanel_Widget *second = window->panel(1);
        compose(second, 1, 1, QStringLiteral("18FF50E5"), QStringLiteral("AB C"), 5, 0);
        adapter.setFault(VirtualAdapter::Fault::Silent, true);
        common::delayMsec(50);
        child<QPushButton>(second, "Button_send")->click();
        common::delayMsec(700);
        adapter.setFault(VirtualAdapter::Fault::Silent, false);
        ok &= save(window, out.filePath(QStringLiteral("send_noresponse_%1.png").arg(lang)));
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                ok &= save(box, out.filePath(QStringLiteral("send_box_%1.png").arg(lang)));
                box->close();
            }
        }

        child<QComboBox>(second, "canDataLength")->setCurrentIndex(3);
        child<QPushButton>(second, "pushButton")->click();
        auto *editor = second->findChild<KeyBoard *>();
        if (editor) {
            auto *table = editor->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
            qobject_cast<QPushButton *>(table->cellWidget(0, 0))->click();
            qobject_cast<QLineEdit *>(table->cellWidget(1, 9))->setText(QStringLiteral("165"));
            qobject_cast<QPushButton *>(table->cellWidget(2, 7))->click();
            common::delayMsec(200);
            ok &= save(editor, out.filePath(QStringLiteral("keyboard_%1.png").arg(lang)));
            editor->close();
            delete editor;
        } else {
            ok = false;
        }

        // Third tab: a running list with one frame the adapter refuses, and a replay under way.
        window->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(2);
        TransmitListWidget *list = window->listPage();
        QVector<TransmitEntry> entries;
        const int periods[] = { 10, 100, 1000, 0 };
        for (int i = 0; i < 4; ++i) {
            TransmitEntry e;
            e.id = quint32(0x100 + i);
            e.periodMs = periods[i];
            e.extended = i == 2;
            e.name = i == 0 ? QStringLiteral("ECU 10 ms") : QString();
            e.data = QByteArray::fromHex("0102030405060708");
            e.channel = i == 3 ? 2 : 1;
            list->setEntries(entries << e);
        }
        QTemporaryDir logDir;
        const QString logPath = logDir.filePath(QStringLiteral("trace.log"));
        QFile log(logPath);
        if (log.open(QIODevice::WriteOnly)) {
            for (int i = 0; i < 2000; ++i) {
                log.write(QStringLiteral("(%1) can0 321#%2\n")
                              .arg(1700000000.0 + i * 0.005, 0, 'f', 6)
                              .arg(i % 256, 2, 16, QLatin1Char('0'))
                              .toLatin1());
            }
            log.write("not a frame\n");
            log.close();
        }
        ok &= list->openReplayLog(logPath);
        for (int i = 0; i < 100 && list->replayLogLoading(); ++i)
            common::delayMsec(50);
        ok &= save(window, out.filePath(QStringLiteral("send_list_loaded_%1.png").arg(lang)));
        list->startList();
        list->startReplay();
        common::delayMsec(900);
        ok &= save(window, out.filePath(QStringLiteral("send_list_%1.png").arg(lang)));
        list->stopList();
        list->stopReplay();
        common::delayMsec(600);
        // A damaged list file is refused with its entry and reason; the list shown stays.
        const QString broken = logDir.filePath(QStringLiteral("broken.json"));
        QFile brokenFile(broken);
        if (brokenFile.open(QIODevice::WriteOnly)) {
            brokenFile.write(R"({"frames":[{"channel":1,"id":"7","dlc":0,"periodMs":10},)"
                             R"({"name":"Motor","channel":1,"id":"9","dlc":0,"periodMs":-5}]})");
            brokenFile.close();
        }
        ok &= !list->loadList(broken);
        ok &= save(window, out.filePath(QStringLiteral("send_list_refused_%1.png").arg(lang)));
        // The 5 ms gaps at 10x ask for more than the link confirms: the page says so.
        window->findChild<QDoubleSpinBox *>(QStringLiteral("replaySpeed"))->setValue(10);
        list->startReplay();
        common::delayMsec(800);
        ok &= save(window, out.filePath(QStringLiteral("send_list_replay10x_%1.png").arg(lang)));
        list->stopReplay();
        common::delayMsec(300);
        delete window;
    }
    return ok ? 0 : 1;
}
