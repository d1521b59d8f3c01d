#include "app/applicationshell.h"
#include "app/rcanresources.h"
#include "app/terminationsignals.h"
#include "simulator/portoptions.h"

#include <QApplication>
#include <QDebug>

int main(int argc, char *argv[])
{
    TerminationSignals::ignoreBrokenPipes();
    // Before the application object: the compiled-in platform configuration is read by it.
    rcanInitResources();
    QApplication app(argc, argv);
    ApplicationShell::setUpApplicationFont();

    // --simulate / --port: extra ports must be listed before the device panel first looks.
    QString error;
    if (!applyPortOptions(QApplication::arguments(), &error))
        qWarning().noquote() << error;

    return ApplicationShell::runMainWindows();
}
