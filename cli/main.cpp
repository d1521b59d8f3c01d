#include "cli/clirunner.h"

#include "app/terminationsignals.h"

#include <QCoreApplication>
#include <QLoggingCategory>

int main(int argc, char *argv[])
{
    TerminationSignals::ignoreBrokenPipes();
    // The core's trace lines are for the program's debug log, not for a script's standard error.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rcan-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RCAN_VERSION));
    TerminationSignals::install();
    return CliRunner::run(QCoreApplication::arguments());
}
