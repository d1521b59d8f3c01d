// Renders what the CAN databases add, in both languages: the databases window with a file that
// has a problem and one that is gone, the trace's tooltip and detail line, the overview's message
// and signal columns, and the frame composer with a refused value. Frames come from a log file
// opened in the receive view. Uses a private settings folder.
//
//   xvfb-run -a rcan-dbc-screenshots <output-dir>

#include "app/applicationshell.h"
#include "app/razoradurodmainwindow.h"
#include "app/rcanresources.h"
#include "app/settings.h"
#include "candb/databaseset.h"
#include "device/devicemanagement.h"
#include "display/cantablewidget.h"
#include "display/canview_widget.h"
#include "display/databaseswindow.h"
#include "display/framesignaldetail.h"
#include "display/idoverviewtable.h"
#include "display/signalhub.h"
#include "protocol/common.h"
#include "send/generallyframesendwidget.h"
#include "send/signalcomposerwindow.h"
#include "send/transmitlistwidget.h"
#include "tools/toolenvironment.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolTip>

#include <cstdio>

namespace {
using Screenshots::save;

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const QByteArray Database
    = QByteArrayLiteral("VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: ECU GW\n\n"
                        "BO_ 256 Engine: 8 ECU\n"
                        " SG_ Speed : 0|16@1+ (0.25,0) [0|16383.75] \"rpm\" GW\n"
                        " SG_ Temp : 16|8@1- (1,-40) [-168|87] \"\xC2\xB0"
                        "C\" GW\n"
                        " SG_ Gear : 24|3@1+ (1,0) [0|7] \"\" GW\n"
                        " SG_ Torque : 35|12@0- (0.1,-10) [-214.8|194.7] \"Nm\" GW\n"
                        " SG_ Tail : 48|8@1+ (1,0) [0|255] \"\" GW\n\n"
                        "BO_ 2566869221 BatteryMux: 4 GW\n"
                        " SG_ Selector M : 0|8@1+ (1,0) [0|255] \"\" ECU\n"
                        " SG_ Volt m1 : 8|16@1+ (0.01,0) [0|655.35] \"V\" ECU\n"
                        " SG_ Count m2 : 8|16@1+ (1,0) [0|65535] \"\" ECU\n\n"
                        "VAL_ 256 Gear 0 \"Park\" 1 \"Reverse\" 2 \"Neutral\" 3 \"Drive\" ;\n");

// A candump log: interface can0 is channel 1.
QByteArray trafficLog()
{
    QByteArray log;
    for (int i = 0; i < 40; ++i) {
        const double t = 1.0 + i * 0.05;
        const int speed = 6000 + i * 40;
        log += QByteArray("(") + QByteArray::number(t, 'f', 6) + ") can0 100#"
            + QByteArray::number(speed & 0xFF, 16).rightJustified(2, '0')
            + QByteArray::number(speed >> 8, 16).rightJustified(2, '0') + "F6030FFB2A00\n";
        log += QByteArray("(") + QByteArray::number(t + 0.01, 'f', 6) + ") can0 18FF50E5#"
            + (i % 2 ? "02D20400" : "01D20400") + "\n";
        log += QByteArray("(") + QByteArray::number(t + 0.02, 'f', 6)
            + ") can0 200#1122334455667788\n";
    }
    log += "(3.100000) can0 100#401FF601\n";
    return log;
}
} // namespace

int main(int argc, char *argv[])
{
    const ProgramTool tool(argc, argv, ProgramTool::AsGiven);
    QDir out;
    if (!Screenshots::outputDir("rcan-dbc-screenshots", &out))
        return 2;
    QTemporaryDir files;
    const QString vehicle = files.filePath(QStringLiteral("vehicle.dbc"));
    const QString broken = files.filePath(QStringLiteral("body_broken.dbc"));
    const QString gone = files.filePath(QStringLiteral("chassis.dbc"));
    const QString log = files.filePath(QStringLiteral("drive.log"));
    QByteArray brokenText = Database;
    brokenText.replace("BO_ 256 Engine", "BO_ 300 Body");
    brokenText.replace("BO_ 2566869221 BatteryMux", "BO_ 2566869222 Other");
    brokenText.insert(brokenText.indexOf("\nVAL_"), "\n SG_ Door : 9x|1@1+ (1,0) [0|1] \"\" GW");
    if (!write(vehicle, Database) || !write(broken, brokenText) || !write(log, trafficLog()))
        return 1;

    DatabaseSet *databases = SignalHub::instance()->databases();
    databases->add(vehicle, DatabaseSet::BothChannels);
    databases->add(broken, DatabaseSet::Channel2);
    databases->add(gone, DatabaseSet::Channel1);

    bool ok = true;
    bool opened = false;
    for (const QString &lang : { QStringLiteral("CN"), QStringLiteral("EN") }) {
        writeSetting(QStringLiteral("Language"), lang);
        auto *window = new RAZOradurodMainWindow;
        window->resize(1100, 691);
        window->show();
        DeviceManagement::instance()->hide();
        CANView_Widget *view = window->receiveView();
        if (!opened) {
            view->openLogFile(log);
            opened = true;
        }
        common::delayMsec(1500);

        // The trace: a row picked, its tooltip.
        QTableView *trace = view->table()->tableView;
        const QModelIndex row = trace->model()->index(3, 3);
        emit trace->clicked(row);
        common::delayMsec(300);
        ok &= save(window, out.filePath(QStringLiteral("trace_detail_%1.png").arg(lang)));
        const QModelIndex shortRow = trace->model()->index(0, 3);
        QToolTip::showText(trace->viewport()->mapToGlobal(trace->visualRect(shortRow).center()),
                           shortRow.data(Qt::ToolTipRole).toString(), trace);
        common::delayMsec(300);
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top->inherits("QTipLabel") && top->isVisible())
                ok &= save(top, out.filePath(QStringLiteral("trace_tooltip_%1.png").arg(lang)));
        }
        QToolTip::hideText();

        // The overview with its message and signal columns.
        view->overviewButton()->click();
        common::delayMsec(800);
        IdOverviewTable *overview = view->overview();
        emit overview->clicked(overview->model()->index(0, 0));
        common::delayMsec(300);
        ok &= save(window, out.filePath(QStringLiteral("overview_signals_%1.png").arg(lang)));
        view->overviewButton()->click();

        // The databases window, the broken file chosen.
        window->findChild<QAction *>(QStringLiteral("databasesAction"))->trigger();
        auto *dbWindow = window->findChild<DatabasesWindow *>();
        if (dbWindow) {
            dbWindow->view()->setCurrentIndex(dbWindow->view()->model()->index(1, 0));
            common::delayMsec(300);
            ok &= save(dbWindow, out.filePath(QStringLiteral("databases_%1.png").arg(lang)));
            dbWindow->view()->setCurrentIndex(dbWindow->view()->model()->index(2, 0));
            common::delayMsec(200);
            ok &= save(dbWindow, out.filePath(QStringLiteral("databases_gone_%1.png").arg(lang)));
            dbWindow->hide();
        }

        // The composer: values typed, one refused.
        window->sendPage()
            ->listPage()
            ->findChild<QPushButton *>(QStringLiteral("listFromDatabase"))
            ->click();
        auto *composer = window->sendPage()->listPage()->findChild<SignalComposerWindow *>();
        if (composer) {
            QTableWidget *table = composer->signalTable();
            table->item(0, SignalComposerWindow::ValueColumn)->setText(QStringLiteral("2000"));
            table->item(2, SignalComposerWindow::ValueColumn)->setText(QStringLiteral("Drive"));
            table->item(3, SignalComposerWindow::ValueColumn)->setText(QStringLiteral("-10.5"));
            table->item(1, SignalComposerWindow::ValueColumn)->setText(QStringLiteral("300"));
            common::delayMsec(300);
            ok &= save(composer, out.filePath(QStringLiteral("composer_%1.png").arg(lang)));
            composer->messageBox()->setCurrentIndex(1);
            table->item(2, SignalComposerWindow::ValueColumn)->setText(QStringLiteral("1234"));
            common::delayMsec(200);
            ok &= save(composer, out.filePath(QStringLiteral("composer_mux_%1.png").arg(lang)));
            composer->hide();
        }
        // Where the composer is reached: the send panels and the transmit list.
        window->sendPage()->showNormal();
        common::delayMsec(300);
        ok &= save(window->sendPage(),
                   out.filePath(QStringLiteral("send_panels_%1.png").arg(lang)));
        auto *tabs = window->sendPage()->findChild<QTabWidget *>();
        if (tabs)
            tabs->setCurrentWidget(window->sendPage()->listPage());
        common::delayMsec(300);
        ok &= save(window->sendPage(), out.filePath(QStringLiteral("send_list_%1.png").arg(lang)));
        window->sendPage()->hide();
        delete window;
    }
    return ok ? 0 : 1;
}
