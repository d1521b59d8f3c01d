#include "app/applicationshell.h"
#include "app/checkedtranslator.h"
#include "app/commandline.h"
#include "app/qttranslation.h"
#include "app/razoradurodmainwindow.h"
#include "app/rcanresources.h"
#include "app/runtimefiles.h"
#include "app/settings.h"
#include "app/terminationsignals.h"
#include "display/canview_widget.h"
#include "simulator/portoptions.h"

#include <QApplication>
#include <QDebug>
#include <QTranslator>

#include <cstdio>

namespace {

// Parses the command line in the interface language. Returns the exit code when the program
// is to end here (usage, version, a usage error), or -1 to go on with `options` filled.
int readCommandLine(CommandLineOptions *options)
{
    // The usage text must not be the way a damaged translation file brings the program down.
    CheckedTranslator ownTexts;
    QTranslator qtTexts;
    if (readSetting(QStringLiteral("Language"), QStringLiteral("EN")).toString()
        == QLatin1String("EN")) {
        if (ownTexts.loadChecked(RuntimeFiles::locate(QStringLiteral("language/Language_EN.qm"))))
            QCoreApplication::installTranslator(&ownTexts);
    } else if (QtTranslation::loadChinese(&qtTexts)) {
        QCoreApplication::installTranslator(&qtTexts);
    }
    const CommandLineResult result = CommandLine::parse(QCoreApplication::arguments());
    std::fputs(result.output.toLocal8Bit().constData(), stdout);
    std::fputs(result.errors.toLocal8Bit().constData(), stderr);
    *options = result.options;
    return result.exit ? result.exitCode : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    TerminationSignals::ignoreBrokenPipes();
    // Before the application object: the compiled-in platform configuration is read by it.
    rcanInitResources();

    // Usage and version need no display.
    if (CommandLine::asksForUsage(argc, argv)) {
        QCoreApplication app(argc, argv);
        CommandLineOptions unused;
        return qMax(readCommandLine(&unused), 0);
    }

    QApplication app(argc, argv);
    ApplicationShell::setUpApplicationFont();
    CommandLineOptions options;
    const int code = readCommandLine(&options);
    if (code >= 0)
        return code;

    // Extra ports must be listed before the device panel first looks.
    QString error;
    if (!applyPortOptions(options.ports, options.simulate, options.simulateRate, &error))
        qWarning().noquote() << error;

    // rcan-tools FILE: the log opens in the receive view of the first main window.
    QString logFile = options.logFile;
    return ApplicationShell::runMainWindows([logFile](RAZOradurodMainWindow *window) mutable {
        if (!logFile.isEmpty())
            window->receiveView()->openLogFile(logFile);
        logFile.clear();
    });
}
