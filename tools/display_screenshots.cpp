// Renders the receive view inside the main window in both languages, with traffic from a virtual
// adapter: running, paused, filtered and with the device time column, and the per-identifier
// overview, also past its row limit; after a language switch with filters typed and a device
// model that looks like markup; and the save progress window in the middle of a large global save.
// Uses a private settings folder.
//
//   xvfb-run -a rcan-display-screenshots <output-dir>

#include "app/applicationshell.h"
#include "app/razoradurodmainwindow.h"
#include "app/rcanresources.h"
#include "app/settings.h"
#include "device/devicemanagement.h"
#include "display/candatadisplaysupport.h"
#include "display/cantablewidget.h"
#include "display/canview_widget.h"
#include "display/idoverview.h"
#include "display/idoverviewmodel.h"
#include "display/idoverviewtable.h"
#include "link/serialcontrol.h"
#include "protocol/common.h"
#include "protocol/contextprotocol.h"
#include "recording/filesave_widget.h"
#include "recording/filesavesupport.h"
#include "simulator/virtualadapter.h"
#include "support/soakrun.h"
#include "tools/toolenvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>

#include <cstdio>

namespace {
using Screenshots::save;

template<typename T>
T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

void connectDevice(const QString &port)
{
    QWidget *panel = DeviceManagement::instance();
    auto *ports = child<QComboBox>(panel, "chose_port");
    ports->setCurrentIndex(ports->findText(port));
    child<QPushButton>(panel, "device_open")->click();
    child<QPushButton>(panel, "channel_control_1")->click();
    child<QPushButton>(panel, "channel_control_2")->click();
}
} // namespace

int main(int argc, char *argv[])
{
    const ProgramTool tool(argc, argv, ProgramTool::AsGiven);
    QDir out;
    if (!Screenshots::outputDir("rcan-display-screenshots", &out))
        return 2;
    QTemporaryDir files;

    VirtualAdapter adapter;
    adapter.setFrameRate(1, 60);
    adapter.setFrameRate(2, 25);
    adapter.setErrorFrameRate(0.5);
    if (!adapter.start())
        return 1;
    SerialControl::instance()->addExtraPort(adapter.slavePath());

    bool ok = true;
    bool connected = false;
    // Typed in one language, shown by the window the switch builds.
    const auto typeFilters = [](CANView_Widget *view) {
        view->table()->channelEdit->setText(QStringLiteral("1"));
        view->table()->typeCombo->setCurrentText(QStringLiteral("STD"));
        view->table()->dataEdit->setText(QStringLiteral("0"));
        child<QComboBox>(view, "comboBox")->setCurrentIndex(1);
    };
    const auto markupModel = [] {
        emit DeviceManagement::instance()->signals_deviceModelCommand(
            QStringLiteral("<h1>XX</h1>"));
    };
    const auto clearFilters = [](CANView_Widget *view) {
        view->table()->channelEdit->clear();
        view->table()->typeCombo->setCurrentIndex(0);
        view->table()->dataEdit->clear();
        child<QComboBox>(view, "comboBox")->setCurrentIndex(0);
        emit DeviceManagement::instance()->signals_deviceModelCommand(QStringLiteral("RCAN-U01"));
    };
    for (const QString &lang : { QStringLiteral("CN"), QStringLiteral("EN") }) {
        writeSetting(QStringLiteral("Language"), lang);
        auto *window = new RAZOradurodMainWindow;
        window->resize(1100, 691);
        window->show();
        if (!connected) {
            connectDevice(adapter.slavePath());
            connected = true;
        }
        DeviceManagement::instance()->hide();
        CANView_Widget *view = window->receiveView();
        if (lang == QLatin1String("EN")) {
            markupModel();
            common::delayMsec(1000);
            ok &= save(window, out.filePath(QStringLiteral("receive_after_switch_EN.png")));
            clearFilters(view);
        }
        common::delayMsec(2000);
        ok &= save(window, out.filePath(QStringLiteral("receive_running_%1.png").arg(lang)));

        auto *pause = child<QPushButton>(view, "Button_pause");
        pause->click();
        common::delayMsec(1000);
        ok &= save(window, out.filePath(QStringLiteral("receive_paused_%1.png").arg(lang)));
        pause->click();

        view->table()->channelEdit->setText(QStringLiteral("2"));
        view->table()->typeCombo->setCurrentIndex(1);
        child<QComboBox>(view, "comboBox")->setCurrentIndex(1);
        const QString logPath = files.filePath(QStringLiteral("rt_%1.txt").arg(lang));
        view->setFileNameProvider([logPath] { return logPath; });
        child<QPushButton>(view, "Button_saveOnTime")->click();
        common::delayMsec(1000);
        ok &= save(window, out.filePath(QStringLiteral("receive_filtered_%1.png").arg(lang)));
        child<QPushButton>(view, "Button_saveOnTime")->click();
        view->table()->channelEdit->clear();
        view->table()->typeCombo->setCurrentIndex(0);
        child<QComboBox>(view, "comboBox")->setCurrentIndex(0);

        // The overview: bytes changed within the last second marked, rows gone quiet dimmed.
        child<QPushButton>(view, "button_overview")->click();
        common::delayMsec(2500);
        ok &= save(window, out.filePath(QStringLiteral("receive_overview_%1.png").arg(lang)));
        view->overview()->sortByColumn(4, Qt::DescendingOrder);
        view->table()->typeCombo->setCurrentIndex(2);
        common::delayMsec(500);
        ok &= save(window,
                   out.filePath(QStringLiteral("receive_overview_sorted_%1.png").arg(lang)));
        view->table()->typeCombo->setCurrentIndex(0);
        // Identifiers beyond the row limit (the virtual adapter sends some random ones).
        IdOverview *rows = CAN_DataDisplaySupport::instance()->idOverview();
        rows->setMaxRows(view->overview()->overviewModel()->rowCount());
        common::delayMsec(1500);
        ok &= save(window, out.filePath(QStringLiteral("receive_overview_limit_%1.png").arg(lang)));
        rows->setMaxRows(IdOverview::DefaultMaxRows);
        // The frames counted past the lowered limit would otherwise show in every later shot.
        child<QPushButton>(view, "button_clear")->click();
        child<QPushButton>(view, "button_overview")->click();

        if (lang == QLatin1String("EN")) {
            // A large global save: half a million more frames, then the progress window half-way.
            contextProtocol *codec = contextProtocol::instance();
            QByteArray frame = QByteArray::fromHex("0811223344AABBCCDDEEFF0011");
            for (int i = 0; i < 500000; ++i)
                emit codec->signal_REP_CANFrame(uchar(1 + (i & 1)), frame, uint(i), 0);
            common::delayMsec(2000);
            FileSaveSupport *writer = CAN_DataDisplaySupport::instance()->fileSaveSupport();
            QObject shot;
            QObject::connect(writer, &FileSaveSupport::signal_processSet, &shot, [&](int value) {
                if (value != 50)
                    return;
                ok &= save(writer->progressWindow(),
                           out.filePath(QStringLiteral("save_progress.png")));
                if (QScreen *screen = QGuiApplication::primaryScreen())
                    screen->grabWindow(0).save(
                        out.filePath(QStringLiteral("save_progress_screen.png")));
            });
            const QString globalPath = files.filePath(QStringLiteral("global.txt"));
            view->setFileNameProvider([globalPath] { return globalPath; });
            child<QPushButton>(view, "button_save")->click();
            common::delayMsec(5000);
        }
        {
            // A filter over a deep history: its progress in the bottom bar, the rows of before
            // still in the table.
            CAN_DataDisplaySupport *display = CAN_DataDisplaySupport::instance();
            contextProtocol *codec = contextProtocol::instance();
            const QByteArray frame = QByteArray::fromHex("0811223344AABBCCDDEEFF0011");
            for (int i = 0; i < 4 * CAN_DataDisplaySupport::RebuildSlice; ++i)
                emit codec->signal_REP_CANFrame(uchar(1 + (i & 1)), frame, uint(i), 0);
            common::delayMsec(2000);
            display->setRebuildProgressMs(0);
            auto *progress = child<QWidget>(view, "progressBar_filter");
            view->table()->dataEdit->setText(QStringLiteral("12 34 56"));
            Soak::waitUntil([progress] { return progress->isVisible(); }, 5000);
            ok &= progress->isVisible()
                && save(window, out.filePath(QStringLiteral("receive_filtering_%1.png").arg(lang)));
            display->setRebuildProgressMs(CAN_DataDisplaySupport::RebuildProgressMs);
            view->table()->dataEdit->clear();
            child<QPushButton>(view, "button_clear")->click();
        }
        // A log target that is no regular file: the user is told which path and why.
        view->setFileNameProvider([] { return QStringLiteral("/dev/full"); });
        child<QPushButton>(view, "Button_saveOnTime")->click();
        if (auto *box = view->findChild<QMessageBox *>()) {
            ok &= save(box, out.filePath(QStringLiteral("save_refused_%1.png").arg(lang)));
            delete box;
        }
        typeFilters(view);
        window->hide();
        delete window;
    }
    writeSetting(QStringLiteral("Language"), QStringLiteral("CN"));
    auto *window = new RAZOradurodMainWindow;
    window->resize(1100, 691);
    window->show();
    DeviceManagement::instance()->hide();
    markupModel();
    common::delayMsec(1000);
    ok &= save(window, out.filePath(QStringLiteral("receive_after_switch_CN.png")));
    delete window;
    return ok ? 0 : 1;
}
