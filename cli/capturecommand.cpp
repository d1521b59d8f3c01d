#include "capturecommand.h"

#include "cli/clidevice.h"
#include "cli/clisupport.h"
#include "link/serialcontrol.h"
#include "protocol/contextprotocol.h"

#include "app/terminationsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QMutexLocker>
#include <QTimer>

namespace {
// Often enough that a pipe reader sees frames without delay, seldom enough to write in batches.
constexpr int DrainIntervalMs = 20;
} // namespace

int CaptureCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Starts the adapter's channels and writes every frame it reports, in candump form to "
        "standard output or to -o FILE in any log format. Ends after --count frames, after "
        "--duration seconds, on SIGINT/SIGTERM or when the reader of standard output goes; then "
        "prints a summary on standard error."));
    CliDevice device;
    device.addOptions(parser);
    const QCommandLineOption rates({ QStringLiteral("b"), QStringLiteral("bitrate") },
                                   QStringLiteral("Channels to start and their bit rates: "
                                                  "1=500k[,2=250k]. Standard rates by name, any "
                                                  "other the 72 MHz clock gives exactly, or a "
                                                  "timing code as 0x030C0008."),
                                   QStringLiteral("CH=RATE"));
    const QCommandLineOption output({ QStringLiteral("o"), QStringLiteral("output") },
                                    QStringLiteral("Log file to write instead of standard output."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption format({ QStringLiteral("f"), QStringLiteral("format") },
                                    QStringLiteral("Log format: candump, asc, trc or native "
                                                   "(default: from the file's suffix; candump on "
                                                   "standard output)."),
                                    QStringLiteral("FORMAT"));
    const QCommandLineOption duration(QStringLiteral("duration"),
                                      QStringLiteral("Stop after this many seconds."),
                                      QStringLiteral("SECONDS"));
    const QCommandLineOption count(QStringLiteral("count"),
                                   QStringLiteral("Stop after this many frames."),
                                   QStringLiteral("N"));
    const QCommandLineOption rotateSize(QStringLiteral("rotate-size"),
                                        QStringLiteral("Start a new file at this size (64k, 10M, "
                                                       "1G); files are named "
                                                       "STEM-yyyyMMdd-hhmmss-N.SUFFIX."),
                                        QStringLiteral("SIZE"));
    const QCommandLineOption rotateTime(QStringLiteral("rotate-time"),
                                        QStringLiteral("Start a new file after this many "
                                                       "seconds."),
                                        QStringLiteral("SECONDS"));
    const QCommandLineOption filter(QStringLiteral("filter"),
                                    QStringLiteral("Keep only frames whose identifier matches "
                                                   "ID:MASK (or not, with ID~MASK); repeat or "
                                                   "separate by commas for several. Eight hex "
                                                   "digits match extended identifiers."),
                                    QStringLiteral("ID:MASK"));
    parser.addOptions({ rates, output, format, duration, count, rotateSize, rotateTime, filter });

    int exit = Cli::Done;
    if (!device.parse(parser, arguments, &exit))
        return exit;
    const QString command = arguments.value(0);
    if (!parser.positionalArguments().isEmpty())
        return Cli::usageError(
            command,
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    QString error;
    QList<QPair<int, quint32>> channels;
    if (!CliDevice::parseRates(parser.values(rates), &channels, &error))
        return Cli::usageError(command, error);
    if (channels.isEmpty())
        return Cli::usageError(command, QStringLiteral("no channel to start: -b 1=500k"));
    LogFormat logFormat = LogFormat::Candump;
    const QString path = parser.value(output);
    if (!Cli::logFormat(parser.value(format), path, &logFormat, &error))
        return Cli::usageError(command, error);

    double seconds = 0;
    if (parser.isSet(duration)) {
        bool ok = false;
        seconds = parser.value(duration).toDouble(&ok);
        if (!ok || seconds <= 0)
            return Cli::usageError(command, QStringLiteral("--duration needs seconds above 0"));
    }
    if (parser.isSet(count)) {
        bool ok = false;
        m_countLimit = parser.value(count).toLongLong(&ok);
        if (!ok || m_countLimit <= 0)
            return Cli::usageError(command, QStringLiteral("--count needs a number above 0"));
    }
    qint64 maxBytes = 0;
    int maxSeconds = 0;
    if (parser.isSet(rotateSize) && !Cli::parseSize(parser.value(rotateSize), &maxBytes))
        return Cli::usageError(command, QStringLiteral("--rotate-size needs a size like 10M"));
    if (parser.isSet(rotateTime)) {
        bool ok = false;
        maxSeconds = parser.value(rotateTime).toInt(&ok);
        if (!ok || maxSeconds <= 0)
            return Cli::usageError(command, QStringLiteral("--rotate-time needs seconds above 0"));
    }
    if ((maxBytes > 0 || maxSeconds > 0) && (path.isEmpty() || path == QLatin1String("-")))
        return Cli::usageError(command, QStringLiteral("rotation needs -o FILE"));
    for (const QString &text : parser.values(filter)) {
        for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            CliFrames::IdFilter parsed;
            if (!CliFrames::parseFilter(item, &parsed))
                return Cli::usageError(command,
                                       QStringLiteral("filter '%1' is not ID:MASK").arg(item));
            m_filters.append(parsed);
        }
    }

    m_output.setRotation(maxBytes, maxSeconds);
    if (!m_output.open(path, logFormat, &error)) {
        Cli::printError(error);
        return Cli::Failure;
    }

    contextProtocol *codec = contextProtocol::instance();
    connect(codec, &contextProtocol::signal_REP_CANFrame, this, &CaptureCommand::takeFrame,
            Qt::DirectConnection);
    connect(codec, &contextProtocol::signal_REP_DeviceStates, this,
            [this](uchar channel, ushort, float percent) {
                if (channel != 1 && channel != 2)
                    return;
                m_loadSum[channel] += double(percent);
                m_loadMax[channel] = qMax(m_loadMax[channel], double(percent));
                ++m_loadReports[channel];
            });

    if (!device.open(&error) || !device.startChannels(channels, &error)) {
        Cli::printError(error);
        device.close();
        m_output.close();
        return Cli::Failure;
    }

    QTimer drainTimer;
    connect(&drainTimer, &QTimer::timeout, this, &CaptureCommand::drain);
    drainTimer.start(DrainIntervalMs);
    QTimer stopTimer;
    stopTimer.setSingleShot(true);
    connect(&stopTimer, &QTimer::timeout, this, [this] {
        drain();
        finish(m_exitCode);
    });
    if (seconds > 0)
        stopTimer.start(int(seconds * 1000));

    if (!TerminationSignals::closeRequested())
        QCoreApplication::exec();
    drainTimer.stop();

    // Stop the channels first, so that the last frames are in the inbox before the log closes.
    m_closing = true;
    device.close();
    disconnect(codec, nullptr, this, nullptr);
    if (!m_finished)
        drain();
    if (m_output.close() == CliLogOutput::Status::Failed && m_exitCode == Cli::Done) {
        Cli::printError(m_output.errorString());
        m_exitCode = Cli::Failure;
    }

    QStringList parts;
    for (int channel = 1; channel <= 2; ++channel) {
        QString part = QStringLiteral("channel %1: %2 frames").arg(channel).arg(m_written[channel]);
        if (m_loadReports[channel] > 0)
            part += QStringLiteral(", bus load %1 % mean, %2 % peak")
                        .arg(m_loadSum[channel] / m_loadReports[channel], 0, 'f', 1)
                        .arg(m_loadMax[channel], 0, 'f', 1);
        parts << part;
    }
    parts << QStringLiteral("framer discarded %1 bytes")
                 .arg(SerialControl::instance()->discardedBytes());
    Cli::printLine(parts.join(QStringLiteral("; ")));
    return m_exitCode;
}

void CaptureCommand::takeFrame(uchar channel, const QByteArray &frame, uint timeStamp, uint dir)
{
    const qint64 hostUs = QDateTime::currentMSecsSinceEpoch() * 1000;
    const LogFrame parsed = LogFrame::fromDevice(channel, frame, timeStamp, dir, hostUs);
    QMutexLocker lock(&m_inboxMutex);
    m_inbox.append(parsed);
}

void CaptureCommand::drain()
{
    if (m_finished)
        return;
    {
        QMutexLocker lock(&m_inboxMutex);
        m_batch.swap(m_inbox);
    }
    qint64 total = m_written[1] + m_written[2];
    for (const LogFrame &frame : qAsConst(m_batch)) {
        if (!CliFrames::passesAny(m_filters, frame))
            continue;
        if (m_countLimit > 0 && total >= m_countLimit)
            break;
        if (m_output.write(frame) != CliLogOutput::Status::Ok) {
            Cli::printError(m_output.errorString());
            finish(Cli::Failure);
            break;
        }
        ++total;
        if (frame.channel == 1 || frame.channel == 2)
            ++m_written[frame.channel];
    }
    m_batch.clear();
    if (m_finished)
        return;
    switch (m_output.flush()) {
    case CliLogOutput::Status::Closed:
        finish(Cli::Done);
        return;
    case CliLogOutput::Status::Failed:
        Cli::printError(m_output.errorString());
        finish(Cli::Failure);
        return;
    case CliLogOutput::Status::Ok:
        break;
    }
    if (m_countLimit > 0 && total >= m_countLimit) {
        finish(Cli::Done);
        return;
    }
    // The serial link closes the port when the device vanishes (a pulled cable).
    if (!m_closing && !SerialControl::instance()->isOpen()) {
        Cli::printError(QStringLiteral("the adapter's port closed: the adapter was unplugged or "
                                       "failed"));
        finish(Cli::Failure);
    }
}

void CaptureCommand::finish(int code)
{
    if (m_finished)
        return;
    // Nothing more is written: the count is reached, the reader is gone or the output failed.
    m_finished = true;
    m_exitCode = code;
    QCoreApplication::exit(code);
}
