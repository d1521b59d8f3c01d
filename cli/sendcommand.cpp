#include "sendcommand.h"

#include "cli/clidevice.h"
#include "cli/cliframes.h"
#include "cli/clisupport.h"
#include "link/serialcontrol.h"
#include "link/trans_cansendsupport.h"
#include "protocol/contextprotocol.h"

#include "app/terminationsignals.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QTimer>

int SendCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends frames on one channel and waits for the adapter to confirm each. Frames are "
        "written as in cansend: 123#DEADBEEF (three hex digits: standard identifier), "
        "1234ABCD#11.22 (eight: extended), 123#R or 123#R2 (remote). Exits with 1 when the "
        "adapter refuses a frame or does not answer."));
    CliDevice device;
    device.addOptions(parser);
    const QCommandLineOption channelOption({ QStringLiteral("c"), QStringLiteral("channel") },
                                           QStringLiteral("Channel 1 or 2 (default 1)."),
                                           QStringLiteral("CH"), QStringLiteral("1"));
    const QCommandLineOption rateOption({ QStringLiteral("b"), QStringLiteral("bitrate") },
                                        QStringLiteral("Bit rate the channel is started at "
                                                       "(default 500k)."),
                                        QStringLiteral("RATE"), QStringLiteral("500k"));
    const QCommandLineOption repeatOption(QStringLiteral("repeat"),
                                          QStringLiteral("Send the frames this many times "
                                                         "(default 1)."),
                                          QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption intervalOption(QStringLiteral("interval"),
                                            QStringLiteral("Milliseconds between two sends "
                                                           "(default 0)."),
                                            QStringLiteral("MS"), QStringLiteral("0"));
    parser.addOptions({ channelOption, rateOption, repeatOption, intervalOption });
    parser.addPositionalArgument(QStringLiteral("frames"),
                                 QStringLiteral("Frames to send, in order."),
                                 QStringLiteral("ID#DATA..."));

    int exit = Cli::Done;
    if (!device.parse(parser, arguments, &exit))
        return exit;
    const QString command = arguments.value(0);
    QString error;
    bool ok = false;
    const int channel = parser.value(channelOption).toInt(&ok);
    if (!ok || (channel != 1 && channel != 2))
        return Cli::usageError(command, QStringLiteral("the channel is 1 or 2"));
    quint32 code = 0;
    if (!AdapterSession::timingCodeFor(parser.value(rateOption), &code))
        return Cli::usageError(command,
                               QStringLiteral("bit rate '%1' is not one the adapter can "
                                              "run at")
                                   .arg(parser.value(rateOption)));
    const int repeat = parser.value(repeatOption).toInt(&ok);
    if (!ok || repeat < 1)
        return Cli::usageError(command, QStringLiteral("--repeat needs a number above 0"));
    const int interval = parser.value(intervalOption).toInt(&ok);
    if (!ok || interval < 0)
        return Cli::usageError(command, QStringLiteral("--interval needs milliseconds, 0 or more"));
    QVector<LogFrame> frames;
    for (const QString &text : parser.positionalArguments()) {
        LogFrame frame;
        if (!CliFrames::parseSendFrame(text, &frame))
            return Cli::usageError(
                command, QStringLiteral("'%1' is not a frame like 123#DEADBEEF").arg(text));
        frames.append(frame);
    }
    if (frames.isEmpty())
        return Cli::usageError(command, QStringLiteral("no frame to send"));

    if (!device.open(&error) || !device.startChannels({ { channel, code } }, &error)) {
        Cli::printError(error);
        return Cli::Failure;
    }

    const quint32 rank = Trans_canSendSupport::takeRank();
    // The answer to the frame in flight: -1 none yet, 0 refused, 1 confirmed.
    int answer = -1;
    QEventLoop loop;
    connect(contextProtocol::instance(), &contextProtocol::signal_RSP_CANSend, this,
            [&](uchar answeredChannel, uchar state, uint answeredRank, uint) {
                if (answeredChannel != channel || answeredRank != rank || answer >= 0)
                    return;
                answer = state != 0 ? 1 : 0;
                loop.quit();
            });
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);

    SerialControl *serial = SerialControl::instance();
    int result = Cli::Done;
    for (int round = 0; round < repeat && result == Cli::Done; ++round) {
        for (int i = 0; i < frames.size() && result == Cli::Done; ++i) {
            if (TerminationSignals::closeRequested())
                break;
            if ((round > 0 || i > 0) && interval > 0) {
                QTimer::singleShot(interval, &loop, &QEventLoop::quit);
                loop.exec();
            }
            answer = -1;
            const QByteArray bytes
                = contextProtocol::buildCanSend(uchar(channel), frames.at(i).toDeviceFrame(), rank);
            QMetaObject::invokeMethod(serial, [serial, bytes] { serial->serialSocketSend(bytes); });
            timeout.start(Trans_canSendSupport::ResponseTimeoutMs);
            while (answer < 0 && timeout.isActive() && !TerminationSignals::closeRequested())
                loop.exec();
            timeout.stop();
            if (answer == 0) {
                Cli::printError(QStringLiteral("channel %1 refused frame %2")
                                    .arg(channel)
                                    .arg(parser.positionalArguments().at(i)));
                result = Cli::Failure;
            } else if (answer < 0 && !TerminationSignals::closeRequested()) {
                Cli::printError(QStringLiteral("the adapter did not confirm frame %1 within %2 ms")
                                    .arg(parser.positionalArguments().at(i))
                                    .arg(Trans_canSendSupport::ResponseTimeoutMs));
                result = Cli::Failure;
            }
        }
    }
    device.close();
    return result;
}
