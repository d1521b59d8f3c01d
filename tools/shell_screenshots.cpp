// Renders the main window, the about window, the history size window and the pages in both
// languages to PNG files, for looking at the interface and for the picture in the README. The main
// window shows live traffic from a virtual adapter opened through the device panel, as a user
// would. Uses a private settings folder, so the user's stored language and bit rates are left
// alone.
//
//   xvfb-run -a rcan-shell-screenshots <output-dir>

#include "app/applicationshell.h"
#include "app/razoradurodmainwindow.h"
#include "app/rcanresources.h"
#include "app/rivexabout.h"
#include "app/settings.h"
#include "app/widgets/historysizedialog.h"
#include "busload/occupancyrate_widget.h"
#include "device/devicemanagement.h"
#include "display/candatadisplaysupport.h"
#include "link/serialcontrol.h"
#include "protocol/common.h"
#include "send/generallyframesendwidget.h"
#include "simulator/virtualadapter.h"
#include "tools/toolenvironment.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>
#include <QWidget>

#include <cstdio>

namespace {

using Screenshots::save;

template<typename T>
T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

// Opens the virtual adapter from the device panel and starts both channels.
void connectDevice(const QString &port)
{
    QWidget *panel = DeviceManagement::instance();
    auto *ports = child<QComboBox>(panel, "chose_port");
    auto *open = child<QPushButton>(panel, "device_open");
    if (!ports || !open || ports->findText(port) < 0)
        return;
    ports->setCurrentIndex(ports->findText(port));
    open->click();
    for (const char *start : { "channel_control_1", "channel_control_2" }) {
        if (auto *button = child<QPushButton>(panel, start))
            button->click();
    }
}

void disconnectDevice()
{
    if (auto *close = child<QPushButton>(DeviceManagement::instance(), "device_close"))
        close->click();
}

} // namespace

int main(int argc, char *argv[])
{
    const ProgramTool tool(argc, argv, ProgramTool::AsGiven);
    QDir out;
    if (!Screenshots::outputDir("rcan-shell-screenshots", &out))
        return 2;

    VirtualAdapter adapter;
    adapter.setFrameRate(1, 40);
    adapter.setFrameRate(2, 15);
    if (adapter.start())
        SerialControl::instance()->addExtraPort(adapter.slavePath());

    bool ok = true;
    const QString languages[] = { QStringLiteral("CN"), QStringLiteral("EN") };
    for (const QString &lang : languages) {
        writeSetting(QStringLiteral("Language"), lang);
        auto *window = new RAZOradurodMainWindow;
        window->show();
        connectDevice(adapter.slavePath());
        DeviceManagement::instance()->hide();
        common::delayMsec(1500);
        ok &= save(window, out.filePath(QStringLiteral("mainwindow_%1.png").arg(lang)));
        window->aboutPage()->showNormal();
        common::delayMsec(300);
        ok &= save(window->aboutPage(), out.filePath(QStringLiteral("about_%1.png").arg(lang)));
        // Everything on screen, for checking how the windows sit together.
        if (QScreen *screen = QGuiApplication::primaryScreen())
            screen->grabWindow(0).save(out.filePath(QStringLiteral("screen_%1.png").arg(lang)));
        window->aboutPage()->hide();
        // The settings menu and the history size window it leads to, at a size whose memory
        // figure is in gigabytes.
        if (auto *button = child<QToolButton>(window, "toolButton_Setting")) {
            QMenu *menu = button->menu();
            menu->popup(button->mapToGlobal(QPoint(0, button->height())));
            menu->setActiveAction(window->historySizeAction());
            common::delayMsec(300);
            ok &= save(menu, out.filePath(QStringLiteral("settingmenu_%1.png").arg(lang)));
            menu->hide();
        }
        {
            HistorySizeDialog history(CAN_DataDisplaySupport::instance(), window);
            history.showForCurrentSize();
            history.framesBox()->setValue(40000000);
            history.framesBox()->selectAll();
            common::delayMsec(300);
            ok &= save(&history, out.filePath(QStringLiteral("historysize_%1.png").arg(lang)));
            // The same size on a machine with 2 GB.
            history.setPhysicalMemory(2000000000);
            common::delayMsec(100);
            ok &= save(&history,
                       out.filePath(QStringLiteral("historysize_small_machine_%1.png").arg(lang)));
        }
        // The pages too, to look them over in both languages.
        const std::pair<QWidget *, QString> pages[] = {
            { DeviceManagement::instance(), QStringLiteral("device") },
            { window->sendPage(), QStringLiteral("send") },
            { window->busLoadPage(), QStringLiteral("busload") },
        };
        for (const auto &page : pages) {
            page.first->showNormal();
            common::delayMsec(300);
            ok &= save(page.first,
                       out.filePath(QStringLiteral("%1_%2.png").arg(page.second, lang)));
            page.first->hide();
        }
        disconnectDevice();
        window->hide();
        delete window;
    }
    return ok ? 0 : 1;
}
