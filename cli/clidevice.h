#pragma once

// The adapter a command works with: a real one on -p PORT, or with --simulate a virtual adapter
// started inside the process, so that every command runs without hardware. Adds its options to
// a command's parser and opens the device from what was given.

#include "link/adaptersession.h"

#include <QCommandLineOption>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

class QCommandLineParser;
class VirtualAdapter;

class CliDevice
{
public:
    CliDevice();
    ~CliDevice();

    void addOptions(QCommandLineParser &parser) const;
    // Checks the options; false with a usage error in `error`.
    bool readOptions(const QCommandLineParser &parser, QString *error);
    // Cli::parse, then readOptions: false when the command ends here, with its code in `exit`.
    bool parse(QCommandLineParser &parser, const QStringList &arguments, int *exit);
    // Starts the virtual adapter if asked, then opens the device; false with the reason.
    bool open(QString *error);
    // Starts each channel of "1=500k,2=250k" (already checked by parseRates).
    bool startChannels(const QList<QPair<int, quint32>> &rates, QString *error);
    void close();

    AdapterSession &session();
    VirtualAdapter *simulator() const { return m_simulator.get(); }

    // "1=500k,2=250k": channel and timing code pairs; false with a usage error.
    static bool
    parseRates(const QStringList &texts, QList<QPair<int, quint32>> *rates, QString *error);

private:
    QCommandLineOption m_port;
    QCommandLineOption m_simulate;
    QCommandLineOption m_simulateRate;
    QCommandLineOption m_simulateFault;
    QCommandLineOption m_simulateSequence;
    QCommandLineOption m_simulateLinkLimit;

    QString m_portName;
    bool m_useSimulator = false;
    int m_simulatedRate = 100;
    QString m_fault;
    bool m_sequence = false;
    bool m_linkLimit = false;
    std::unique_ptr<VirtualAdapter> m_simulator;
    std::unique_ptr<AdapterSession> m_session;
};
