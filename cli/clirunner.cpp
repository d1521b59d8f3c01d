#include "clirunner.h"

#include "cli/capturecommand.h"
#include "cli/clisupport.h"
#include "cli/convertcommand.h"
#include "cli/portscommand.h"
#include "cli/replaycommand.h"
#include "cli/sendcommand.h"
#if __has_include("cli/decodecommand.h")
#include "cli/decodecommand.h"
#define RCAN_CLI_DECODE 1
#endif

#include <QCoreApplication>

#include <cstdio>

QString CliRunner::overview()
{
    QString text = QStringLiteral(
        "Usage: rcan-cli COMMAND [OPTIONS]\n"
        "Captures, sends, replays, converts and decodes CAN traffic of the RCAN-U01 adapter "
        "without a display.\n\n"
        "Commands:\n"
        "  ports     list the adapter's serial ports\n"
        "  capture   write every frame the adapter reports, to standard output or log files\n"
        "  send      send frames in cansend syntax and wait for the adapter to confirm them\n"
        "  replay    send the frames of a log with the log's timing\n"
        "  convert   convert a log between candump, asc, trc and native\n");
#ifdef RCAN_CLI_DECODE
    text += QStringLiteral("  decode    print each frame of a log with its signals as JSON\n");
#endif
    text += QStringLiteral(
        "\n'rcan-cli COMMAND --help' describes a command. --simulate in place of -p PORT uses a "
        "virtual adapter.\nExit codes: 0 done (also after SIGINT/SIGTERM or a closed standard "
        "output), 1 failure, 2 usage error.\n");
    return text;
}

int CliRunner::run(const QStringList &arguments)
{
    const QString command = arguments.value(1);
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")
        || command == QLatin1String("help")) {
        const QByteArray text = overview().toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return Cli::Done;
    }
    if (command == QLatin1String("--version")) {
        const QByteArray text = (QStringLiteral("rcan-cli ")
                                 + QCoreApplication::applicationVersion() + QLatin1Char('\n'))
                                    .toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return Cli::Done;
    }
    if (command == QLatin1String("ports"))
        return PortsCommand().run(rest);
    if (command == QLatin1String("capture"))
        return CaptureCommand().run(rest);
    if (command == QLatin1String("send"))
        return SendCommand().run(rest);
    if (command == QLatin1String("replay"))
        return ReplayCommand().run(rest);
    if (command == QLatin1String("convert"))
        return ConvertCommand().run(rest);
#ifdef RCAN_CLI_DECODE
    if (command == QLatin1String("decode"))
        return DecodeCommand().run(rest);
#endif
    if (command.isEmpty())
        Cli::printError(QStringLiteral("a command is needed"));
    else
        Cli::printError(QStringLiteral("unknown command '%1'").arg(command));
    Cli::printLine(QStringLiteral("Try 'rcan-cli --help'."));
    return Cli::Usage;
}
