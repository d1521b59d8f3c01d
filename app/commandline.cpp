#include "app/commandline.h"

#include "display/candatadisplaysupport.h"
#include "simulator/portoptions.h"

#include <QCommandLineParser>
#include <QFileInfo>

struct CommandLine::Parser
{
    Parser()
    {
        parser.setApplicationDescription(tr("RCAN-U01 双通道 USB-CAN 适配器的 CAN 总线分析仪。"));
        parser.addOptions({ simulate, rate, port, history });
        parser.addPositionalArgument(QStringLiteral("FILE"), tr("要打开的日志文件。"),
                                     QStringLiteral("[FILE]"));
    }

    QCommandLineParser parser;
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption simulate { QStringLiteral("simulate"),
                                        tr("在程序内启动一个虚拟 RCAN-U01 适配器，它的端口"
                                           "列在设备页中。") };
    const QCommandLineOption rate {
        QStringLiteral("simulate-rate"),
        tr("虚拟适配器在每个已启动的通道上每秒产生的帧数（默认 %1）。").arg(DefaultSimulatedRate),
        QStringLiteral("N")
    };
    const QCommandLineOption port { QStringLiteral("port"),
                                    tr("把没有 USB 标识的串口设备（例如伪终端）列在设备页中；"
                                       "可以给出多次。"),
                                    QStringLiteral("PATH") };
    const QCommandLineOption history {
        QStringLiteral("history"),
        tr("接收视图在本次运行中保存的历史帧数（%1 到 %2），不改变设置中记住的容量。")
            .arg(CAN_DataDisplaySupport::MinBuffSize)
            .arg(CAN_DataDisplaySupport::MaxBuffSize),
        QStringLiteral("N")
    };
};

CommandLineResult CommandLine::parse(const QStringList &arguments)
{
    Parser p;
    QCommandLineParser &parser = p.parser;
    const QCommandLineOption &help = p.help;
    const QCommandLineOption &version = p.version;
    const QCommandLineOption &simulate = p.simulate;
    const QCommandLineOption &rate = p.rate;
    const QCommandLineOption &port = p.port;
    const QCommandLineOption &history = p.history;

    CommandLineResult result;
    const auto fail = [&](const QString &why) {
        result.exit = true;
        result.exitCode = UsageError;
        result.errors = why + QLatin1Char('\n') + tr("用 --help 查看用法。") + QLatin1Char('\n');
        return result;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.exit = true;
        result.output = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.exit = true;
        result.output = QStringLiteral("RCAN Tools %1\n").arg(QStringLiteral(RCAN_VERSION));
        return result;
    }

    CommandLineOptions &options = result.options;
    options.simulate = parser.isSet(simulate);
    options.simulateRate = DefaultSimulatedRate;
    if (parser.isSet(rate)) {
        bool ok = false;
        const int value = parser.value(rate).toInt(&ok);
        if (!ok || value < 0)
            return fail(tr("--simulate-rate 需要 0 或更大的整数。"));
        options.simulateRate = value;
    }
    if (parser.isSet(history)) {
        bool ok = false;
        const int value = parser.value(history).toInt(&ok);
        if (!ok || value < CAN_DataDisplaySupport::MinBuffSize
            || value > CAN_DataDisplaySupport::MaxBuffSize) {
            return fail(tr("--history 需要 %1 到 %2 之间的整数。")
                            .arg(CAN_DataDisplaySupport::MinBuffSize)
                            .arg(CAN_DataDisplaySupport::MaxBuffSize));
        }
        options.historySize = value;
    }
    options.ports = parser.values(port);
    if (options.ports.contains(QString()))
        return fail(tr("--port 需要一个设备路径。"));
    // A mistyped path would otherwise only show as a port missing from the device page.
    for (const QString &path : qAsConst(options.ports)) {
        if (!QFileInfo::exists(path))
            return fail(tr("--port：设备 %1 不存在。").arg(path));
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return fail(tr("只能给出一个日志文件。"));
    options.logFile = files.value(0);
    return result;
}

bool CommandLine::asksForUsage(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Options meant for the Qt application object make this parse fail; the answer stands.
    Parser p;
    p.parser.parse(arguments);
    return p.parser.isSet(p.help) || p.parser.isSet(QStringLiteral("help-all"))
        || p.parser.isSet(p.version);
}
