#pragma once

// The program's command line: the ports to list, the virtual adapter, a log file to open, the
// history size for one run, and the usage questions (--help, --version) that are answered without a
// window.

#include <QCoreApplication>
#include <QString>
#include <QStringList>

struct CommandLineOptions
{
    bool simulate = false;
    int simulateRate = 100; // frames per second per started channel of the virtual adapter
    QStringList ports;
    QString logFile; // the log file named on the command line, if any
    int historySize = 0; // frames the receive view keeps in this run (--history); 0: as remembered
};

struct CommandLineResult
{
    CommandLineOptions options;
    bool exit = false; // help, version or a usage error: end with exitCode, build no window
    int exitCode = 0;
    QString output; // for standard output
    QString errors; // for standard error
};

class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    static constexpr int UsageError = 2;

    // `arguments` as QCoreApplication::arguments() gives them: the program first, the
    // options the Qt application object takes for itself already removed.
    static CommandLineResult parse(const QStringList &arguments);

    // True when the raw arguments ask only for usage or version, which needs no display.
    static bool asksForUsage(int argc, char **argv);

private:
    struct Parser;
};
