// Renders the device panel (closed, open with both channels started, and its status line after
// each fault the user must act on), the bit-rate calculator with the 250 kbps table and the bus
// load page with both channels loaded differently, in both languages, against the virtual
// adapter. Uses a private settings folder.
//
//   xvfb-run -a device-screenshots <output-dir>      (or QT_QPA_PLATFORM=offscreen)

#include "app/runtimefiles.h"
#include "busload/occupancyrate_widget.h"
#include "device/canbaudratecalculator.h"
#include "device/devicemanagement.h"
#include "link/serialcontrol.h"
#include "protocol/common.h"
#include "simulator/virtualadapter.h"
#include "tools/toolenvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QSerialPort>
#include <QSpinBox>
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

void click(QWidget *parent, const char *name)
{
    child<QPushButton>(parent, name)->click();
}

void select(QWidget *parent, const char *box, const QString &text)
{
    auto *combo = child<QComboBox>(parent, box);
    combo->setCurrentIndex(combo->findText(text));
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Microsoft Yahei"), 10));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);

    VirtualAdapter adapter;
    if (!adapter.start())
        return 1;
    SerialControl *serial = SerialControl::instance();
    serial->setPortSource([] { return QList<SerialPortEntry>(); });
    serial->addExtraPort(adapter.slavePath());

    DeviceManagement *panel = DeviceManagement::instance();
    auto *calculator = panel->findChild<CANbaudRateCalculator *>();
    QTranslator english;
    bool ok = true;
    for (const QString &language : { QStringLiteral("cn"), QStringLiteral("en") }) {
        if (language == QLatin1String("en")) {
            english.load(RuntimeFiles::locate(QStringLiteral("language/Language_EN.qm")));
            QCoreApplication::installTranslator(&english);
        }
        panel->retranslate();
        const auto file = [&](const char *name) -> QString {
            return out + QLatin1Char('/') + QLatin1String(name) + QLatin1Char('_') + language
                + QLatin1String(".png");
        };

        panel->show();
        common::delayMsec(200);
        ok &= save(panel, file("device_closed"));

        adapter.setFrameRate(1, 400);
        adapter.setFrameRate(2, 250);
        click(panel, "device_open");
        select(panel, "baud_1", QStringLiteral("500kbps"));
        select(panel, "baud_2", QStringLiteral("125kbps"));
        click(panel, "channel_control_1");
        click(panel, "channel_control_2");
        common::delayMsec(200);
        ok &= save(panel, file("device_open"));

        calculator->show();
        child<QSpinBox>(calculator, "userbaud")->setValue(250);
        click(calculator, "calculate");
        common::delayMsec(200);
        ok &= save(calculator, file("calculator_250kbps"));
        calculator->hide();

        // A fresh page, as the main window builds it after installing the translator; it
        // starts plotting on the next open.
        click(panel, "device_close");
        QWidget owner;
        auto *page = new OccupancyRate_Widget(&owner);
        page->show();
        click(panel, "device_open");
        click(panel, "channel_control_1");
        click(panel, "channel_control_2");
        const int steps[] = { 400, 1500, 800, 2500, 1200, 3000 };
        for (int i = 0; i < 6; ++i) {
            adapter.setFrameRate(1, steps[i]);
            adapter.setFrameRate(2, 200 + 100 * i);
            common::delayMsec(2000);
        }
        ok &= save(page, file("busload"));
        click(panel, "device_close");
        adapter.setFrameRate(0);

        // The status line after each fault, then cleared by a successful open and close.
        const auto openAdapter = [&] {
            select(panel, "chose_port", adapter.slavePath());
            click(panel, "device_open");
        };
        const auto settle = [] { common::delayMsec(100); };
        adapter.setFault(VirtualAdapter::Fault::Silent, true);
        settle();
        openAdapter();
        ok &= save(panel, file("status_silent"));
        adapter.setFault(VirtualAdapter::Fault::Silent, false);
        adapter.setChannelCount(3);
        settle();
        openAdapter();
        ok &= save(panel, file("status_channels"));
        adapter.setChannelCount(2);
        settle();
        openAdapter();
        adapter.setFault(VirtualAdapter::Fault::Refuse, true);
        settle();
        click(panel, "channel_control_1");
        ok &= save(panel, file("status_refused"));
        adapter.setFault(VirtualAdapter::Fault::Refuse, false);
        adapter.setFault(VirtualAdapter::Fault::Silent, true);
        settle();
        click(panel, "channel_control_2");
        ok &= save(panel, file("status_unanswered"));
        adapter.setFault(VirtualAdapter::Fault::Silent, false);
        settle();
        adapter.unplug();
        for (int i = 0; i < 100 && !child<QPushButton>(panel, "device_open")->isEnabled(); ++i)
            common::delayMsec(50);
        ok &= save(panel, file("status_unplugged"));
        adapter.start();
        serial->addExtraPort(adapter.slavePath());
        serial->refreshPortList();
        {
            QSerialPort holder(adapter.slavePath());
            holder.open(QIODevice::ReadWrite);
            openAdapter();
            ok &= save(panel, file("status_held"));
        }
        openAdapter();
        click(panel, "device_close");
        ok &= save(panel, file("status_cleared"));
        panel->hide();
    }
    return ok ? 0 : 1;
}
