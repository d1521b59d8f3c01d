#include "app/applicationshell.h"
#include "app/razoradurodmainwindow.h"
#include "app/rcanresources.h"
#include "display/canview_widget.h"
#include "simulator/portoptions.h"

#include <QApplication>
#include <QDebug>

int main(int argc, char *argv[])
{
    // Before the application object: the compiled-in platform configuration is read by it.
    rcanInitResources();
    QApplication app(argc, argv);
    ApplicationShell::setUpApplicationFont();

    // --simulate / --port: extra ports must be listed before the device panel first looks.
    QString error;
    if (!applyPortOptions(QApplication::arguments(), &error))
        qWarning().noquote() << error;

    // rcan-tools FILE: the log opens in the receive view of the first main window.
    QString logFile;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--port") || args.at(i) == QLatin1String("--simulate-rate"))
            ++i;
        else if (!args.at(i).startsWith(QLatin1Char('-')))
            logFile = args.at(i);
        if (!logFile.isEmpty())
            break;
    }
    return ApplicationShell::runMainWindows([logFile](RAZOradurodMainWindow *window) mutable {
        if (!logFile.isEmpty())
            window->receiveView()->openLogFile(logFile);
        logFile.clear();
    });
}
