#include "portscommand.h"

#include "cli/clisupport.h"
#include "link/serialcontrol.h"
#include "simulator/virtualadapter.h"

#include <QCommandLineParser>
#include <QSerialPortInfo>

#include <cstdio>

int PortsCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists the adapter's serial ports (USB product 0x5722) as PORT<TAB>VID:PID<TAB>"
        "DESCRIPTION; with --all every serial port."));
    const QCommandLineOption all(QStringLiteral("all"), QStringLiteral("List every serial port."));
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Also list a virtual adapter's port."));
    parser.addOptions({ all, simulate });
    int exit = Cli::Done;
    if (!Cli::parse(parser, arguments, &exit))
        return exit;
    if (!parser.positionalArguments().isEmpty())
        return Cli::usageError(
            arguments.value(0),
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    VirtualAdapter adapter;
    QString error;
    if (parser.isSet(simulate)) {
        if (!adapter.start(&error)) {
            Cli::printError(QStringLiteral("cannot start the virtual adapter: %1").arg(error));
            return Cli::Failure;
        }
        SerialControl::instance()->addExtraPort(adapter.slavePath());
    }

    const QStringList adapterPorts = SerialControl::instance()->availablePorts();
    QByteArray out;
    const auto hex
        = [](quint16 value) { return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')); };
    QStringList listed;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const bool isAdapter = adapterPorts.contains(info.portName())
            || adapterPorts.contains(info.systemLocation());
        if (!isAdapter && !parser.isSet(all))
            continue;
        const QString ids = info.hasVendorIdentifier()
            ? hex(info.vendorIdentifier()) + QLatin1Char(':') + hex(info.productIdentifier())
            : QStringLiteral("-");
        out += (info.systemLocation() + QLatin1Char('\t') + ids + QLatin1Char('\t')
                + info.description() + QLatin1Char('\n'))
                   .toLocal8Bit();
        listed << info.portName() << info.systemLocation();
    }
    // Ports without USB identifiers (a virtual adapter) are not enumerated by the system.
    for (const QString &port : adapterPorts) {
        if (!listed.contains(port))
            out += (port + QStringLiteral("\t-\tvirtual or named port\n")).toLocal8Bit();
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    adapter.stop();
    return Cli::Done;
}
