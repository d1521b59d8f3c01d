#include "replaycommand.h"

#include "cli/clidevice.h"
#include "cli/clisupport.h"
#include "link/serialcontrol.h"
#include "link/trans_cansendsupport.h"
#include "protocol/contextprotocol.h"
#include "recording/logfilereader.h"

#include "app/terminationsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <cmath>

namespace {
// Frames due within this are sent together: a timer cannot wake much finer.
constexpr qint64 DueSlackUs = 500;
} // namespace

int ReplayCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends the frames of a log (any format the program reads) with the log's timing, and "
        "prints each frame the adapter confirmed in candump form (with candump -x's T mark) "
        "and the adapter's time "
        "stamps. Exits with 1 when the adapter refused or did not confirm a frame."));
    CliDevice device;
    device.addOptions(parser);
    const QCommandLineOption rates({ QStringLiteral("b"), QStringLiteral("bitrate") },
                                   QStringLiteral("Bit rates of the channels sent on: "
                                                  "1=500k[,2=250k] (default 500k)."),
                                   QStringLiteral("CH=RATE"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("Play this many times faster (default 1)."),
                                   QStringLiteral("X"), QStringLiteral("1"));
    const QCommandLineOption map(QStringLiteral("map"),
                                 QStringLiteral("Send the frames of one channel on another: "
                                                "1=2[,2=1]."),
                                 QStringLiteral("FROM=TO"));
    const QCommandLineOption loop(QStringLiteral("loop"),
                                  QStringLiteral("Play the log this many times (default 1)."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    parser.addOptions({ rates, speed, map, loop });
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Log to replay."),
                                 QStringLiteral("FILE"));

    int exit = Cli::Done;
    if (!device.parse(parser, arguments, &exit))
        return exit;
    const QString command = arguments.value(0);
    QString error;
    if (parser.positionalArguments().size() != 1)
        return Cli::usageError(command, QStringLiteral("one log file to replay is needed"));
    bool ok = false;
    m_speed = parser.value(speed).toDouble(&ok);
    if (!ok || !(m_speed > 0) || !std::isfinite(m_speed))
        return Cli::usageError(command, QStringLiteral("--speed needs a factor above 0"));
    m_loops = parser.value(loop).toInt(&ok);
    if (!ok || m_loops < 1)
        return Cli::usageError(command, QStringLiteral("--loop needs a number above 0"));
    for (const QString &text : parser.values(map)) {
        for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QStringList sides = item.split(QLatin1Char('='));
            const int from = sides.value(0).toInt();
            const int to = sides.value(1).toInt();
            if (sides.size() != 2 || from < 1 || from > 2 || to < 1 || to > 2)
                return Cli::usageError(command,
                                       QStringLiteral("--map '%1' is not FROM=TO with channels "
                                                      "1 or 2")
                                           .arg(item));
            m_channelMap[from] = to;
        }
    }
    QList<QPair<int, quint32>> channels;
    if (!CliDevice::parseRates(parser.values(rates), &channels, &error))
        return Cli::usageError(command, error);

    const QString path = parser.positionalArguments().first();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Cli::printError(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return Cli::Failure;
    }
    bool usesChannel[3] = { false, false, false };
    const LogReadResult read = LogFileReader::read(file, [&](const LogFrame &frame) {
        LogFrame mapped = frame;
        mapped.channel = quint8(m_channelMap[frame.channel == 2 ? 2 : 1]);
        usesChannel[mapped.channel] = true;
        m_frames.append(mapped);
        return true;
    });
    if (!read.recognised) {
        Cli::printError(QStringLiteral("%1 is not a log this program reads").arg(path));
        return Cli::Failure;
    }
    if (read.badLines > 0)
        Cli::printError(QStringLiteral("%1: %2 lines not understood, the first at line %3")
                            .arg(path)
                            .arg(read.badLines)
                            .arg(read.firstBadLine));
    // Channels the log uses and -b left out start at 500 kbps.
    for (int channel = 1; channel <= 2; ++channel) {
        bool given = false;
        for (const auto &rate : channels)
            given = given || rate.first == channel;
        quint32 code = 0;
        if (usesChannel[channel] && !given
            && AdapterSession::timingCodeFor(QStringLiteral("500k"), &code))
            channels.append({ channel, code });
    }

    m_output.open(QStringLiteral("-"), LogFormat::CandumpWithDirection, nullptr);
    if (!device.open(&error) || !device.startChannels(channels, &error)) {
        Cli::printError(error);
        return Cli::Failure;
    }
    m_rank = Trans_canSendSupport::takeRank();
    connect(contextProtocol::instance(), &contextProtocol::signal_RSP_CANSend, this,
            &ReplayCommand::onSendResult);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ReplayCommand::sendDue);
    m_lastAnswers.setSingleShot(true);
    connect(&m_lastAnswers, &QTimer::timeout, this, &ReplayCommand::finish);
    // A pulled cable ends the replay at once instead of sending the rest of the log into nothing.
    connect(SerialControl::instance(), &SerialControl::signal_portClosed, this, [this] {
        m_portGone = true;
        m_timer.stop();
        finish();
    });

    m_clock.start();
    if (m_frames.isEmpty())
        m_allSent = true;
    QTimer::singleShot(0, this,
                       m_frames.isEmpty() ? &ReplayCommand::finish : &ReplayCommand::sendDue);
    if (!TerminationSignals::closeRequested())
        QCoreApplication::exec();
    m_timer.stop();
    // Closing the port on purpose is no failure.
    disconnect(SerialControl::instance(), &SerialControl::signal_portClosed, this, nullptr);
    device.close();
    if (m_outputOpen)
        m_output.close();

    const qint64 unanswered = m_inFlight.size() + m_lost;
    Cli::printLine(QStringLiteral("%1 frames confirmed, %2 refused, %3 not answered")
                       .arg(m_confirmed)
                       .arg(m_refused)
                       .arg(unanswered));
    if (m_portGone) {
        Cli::printError(QStringLiteral("the adapter's port closed: the adapter was unplugged or "
                                       "failed"));
        return Cli::Failure;
    }
    if (TerminationSignals::closeRequested() && !m_allSent)
        return Cli::Done;
    return m_refused == 0 && unanswered == 0 ? Cli::Done : Cli::Failure;
}

void ReplayCommand::sendDue()
{
    SerialControl *serial = SerialControl::instance();
    const qint64 firstUs = m_frames.first().hostTimeUs;
    const qint64 passUs = qint64((m_frames.last().hostTimeUs - firstUs) / m_speed);
    QByteArray batch;
    while (true) {
        if (m_next >= m_frames.size()) {
            if (++m_loop >= m_loops)
                break;
            m_next = 0;
            // The next pass starts one step after the last frame, not on top of it.
            m_loopStartUs += passUs + 1;
        }
        const LogFrame &frame = m_frames.at(m_next);
        const qint64 dueUs = m_loopStartUs + qint64((frame.hostTimeUs - firstUs) / m_speed);
        const qint64 nowUs = m_clock.nsecsElapsed() / 1000;
        if (dueUs > nowUs + DueSlackUs) {
            m_timer.start(int((dueUs - nowUs) / 1000));
            break;
        }
        batch += contextProtocol::buildCanSend(frame.channel, frame.toDeviceFrame(), m_rank);
        m_inFlight.enqueue(frame);
        ++m_next;
    }
    if (!batch.isEmpty())
        QMetaObject::invokeMethod(serial, [serial, batch] { serial->serialSocketSend(batch); });
    if (m_loop >= m_loops) {
        m_allSent = true;
        m_lastAnswers.start(Trans_canSendSupport::ResponseTimeoutMs);
    }
}

void ReplayCommand::onSendResult(uchar channel, uchar state, uint rank, uint timeStamp)
{
    if (rank != m_rank || m_inFlight.isEmpty())
        return;
    // The adapter answers in order; an answer for another channel than the oldest frame's means
    // answers were lost, and the frames before it will not be answered any more.
    while (!m_inFlight.isEmpty() && m_inFlight.head().channel != channel) {
        m_inFlight.dequeue();
        ++m_lost;
    }
    if (m_inFlight.isEmpty())
        return;
    LogFrame frame = m_inFlight.dequeue();
    if (state == 0) {
        ++m_refused;
    } else {
        ++m_confirmed;
        frame.timeStamp = timeStamp;
        frame.dir = 1;
        frame.hostTimeUs = QDateTime::currentMSecsSinceEpoch() * 1000;
        if (m_outputOpen) {
            m_output.write(frame);
            if (m_output.flush() != CliLogOutput::Status::Ok)
                m_outputOpen = false;
        }
    }
    if (m_allSent && m_inFlight.isEmpty())
        finish();
    else if (m_allSent)
        m_lastAnswers.start(Trans_canSendSupport::ResponseTimeoutMs);
}

void ReplayCommand::finish()
{
    QCoreApplication::exit(0);
}
