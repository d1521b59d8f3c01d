#include "clidevice.h"

#include "cli/clisupport.h"
#include "simulator/virtualadapter.h"

#include <QCommandLineParser>
#include <QTimer>

namespace {
constexpr int UnplugAfterMs = 300;
} // namespace

CliDevice::CliDevice()
    : m_port({ QStringLiteral("p"), QStringLiteral("port") },
             QStringLiteral("Serial port of the adapter (see 'rcan-cli ports')."),
             QStringLiteral("PORT"))
    , m_simulate(QStringLiteral("simulate"),
                 QStringLiteral("Use a virtual adapter inside this process instead of a port."))
    , m_simulateRate(QStringLiteral("simulate-rate"),
                     QStringLiteral("Frames per second per started channel the virtual adapter "
                                    "generates (default 100)."),
                     QStringLiteral("N"))
    , m_simulateFault(QStringLiteral("simulate-fault"),
                      QStringLiteral("Make the virtual adapter misbehave: 'refuse' (sends and bit "
                                     "rates fail) or 'silent' (answers nothing), once the channels "
                                     "run; 'unplug' (vanishes 0.3 s later)."),
                      QStringLiteral("FAULT"))
    , m_simulateSequence(QStringLiteral("simulate-sequence"),
                         QStringLiteral("Generated frames carry a per-channel 64-bit count."))
    , m_simulateLinkLimit(QStringLiteral("simulate-link-limit"),
                          QStringLiteral("Pace the virtual adapter like the real 460800 baud "
                                         "link."))
{
}

// Made on first use: the session brings up the serial thread, which a usage error must not
// leave starting while the application object goes away.
AdapterSession &CliDevice::session()
{
    if (!m_session)
        m_session = std::make_unique<AdapterSession>();
    return *m_session;
}

CliDevice::~CliDevice()
{
    close();
}

void CliDevice::addOptions(QCommandLineParser &parser) const
{
    parser.addOptions({ m_port, m_simulate, m_simulateRate, m_simulateFault, m_simulateSequence,
                        m_simulateLinkLimit });
}

bool CliDevice::parse(QCommandLineParser &parser, const QStringList &arguments, int *exit)
{
    *exit = Cli::Done;
    if (!Cli::parse(parser, arguments, exit))
        return false;
    QString error;
    if (readOptions(parser, &error))
        return true;
    *exit = Cli::usageError(arguments.value(0), error);
    return false;
}

bool CliDevice::readOptions(const QCommandLineParser &parser, QString *error)
{
    m_portName = parser.value(m_port);
    m_useSimulator = parser.isSet(m_simulate);
    if (m_portName.isEmpty() && !m_useSimulator) {
        *error = QStringLiteral("a port is needed: -p PORT or --simulate");
        return false;
    }
    if (parser.isSet(m_simulateRate)) {
        bool ok = false;
        m_simulatedRate = parser.value(m_simulateRate).toInt(&ok);
        if (!ok || m_simulatedRate < 0) {
            *error = QStringLiteral("--simulate-rate needs a frame rate of 0 or more");
            return false;
        }
    }
    m_fault = parser.value(m_simulateFault);
    if (!m_fault.isEmpty() && m_fault != QLatin1String("refuse")
        && m_fault != QLatin1String("silent") && m_fault != QLatin1String("unplug")) {
        *error = QStringLiteral("--simulate-fault is 'refuse', 'silent' or 'unplug'");
        return false;
    }
    m_sequence = parser.isSet(m_simulateSequence);
    m_linkLimit = parser.isSet(m_simulateLinkLimit);
    return true;
}

bool CliDevice::open(QString *error)
{
    QString port = m_portName;
    if (m_useSimulator) {
        m_simulator = std::make_unique<VirtualAdapter>();
        m_simulator->setFrameRate(m_simulatedRate);
        m_simulator->setSequenceNumbers(m_sequence);
        m_simulator->setLinkRateLimit(m_linkLimit);
        QString reason;
        if (!m_simulator->start(&reason)) {
            *error = QStringLiteral("cannot start the virtual adapter: %1").arg(reason);
            return false;
        }
        if (port.isEmpty())
            port = m_simulator->slavePath();
    }
    return session().open(port, error);
}

bool CliDevice::startChannels(const QList<QPair<int, quint32>> &rates, QString *error)
{
    for (const auto &rate : rates) {
        if (!session().startChannel(uchar(rate.first), rate.second, error))
            return false;
    }
    // The fault starts once the channels run, so that it meets the sends.
    if (m_simulator && m_fault == QLatin1String("refuse"))
        m_simulator->setFault(VirtualAdapter::Fault::Refuse, true);
    else if (m_simulator && m_fault == QLatin1String("silent"))
        m_simulator->setFault(VirtualAdapter::Fault::Silent, true);
    else if (m_simulator && m_fault == QLatin1String("unplug"))
        QTimer::singleShot(UnplugAfterMs, m_simulator.get(), &VirtualAdapter::unplug);
    return true;
}

void CliDevice::close()
{
    if (m_session)
        m_session->close();
    if (m_simulator)
        m_simulator->stop();
}

bool CliDevice::parseRates(const QStringList &texts,
                           QList<QPair<int, quint32>> *rates,
                           QString *error)
{
    for (const QString &text : texts) {
        for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const int eq = item.indexOf(QLatin1Char('='));
            bool ok = false;
            const int channel = item.left(eq).toInt(&ok);
            quint32 code = 0;
            if (eq < 0 || !ok || (channel != 1 && channel != 2)) {
                *error = QStringLiteral("bit rate '%1' is not CHANNEL=RATE with channel 1 or 2")
                             .arg(item);
                return false;
            }
            if (!AdapterSession::timingCodeFor(item.mid(eq + 1), &code)) {
                *error = QStringLiteral("bit rate '%1' is neither a standard rate nor one the "
                                        "72 MHz clock gives exactly")
                             .arg(item.mid(eq + 1));
                return false;
            }
            for (const auto &existing : *rates) {
                if (existing.first == channel) {
                    *error = QStringLiteral("channel %1 is given twice").arg(channel);
                    return false;
                }
            }
            rates->append({ channel, code });
        }
    }
    return true;
}
