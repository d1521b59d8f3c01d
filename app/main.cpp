#include "app/applicationshell.h"
#include "app/checkedtranslator.h"
#include "app/commandline.h"
#include "app/historysetting.h"
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
#include <QTimer>
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

bool displayReachable(int argc, char *argv[])
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "-platform") == 0 || qstrcmp(argv[i], "--platform") == 0)
            return true;
    }
    return !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    Q_UNUSED(argc)
    Q_UNUSED(argv)
    return true;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    TerminationSignals::ignoreBrokenPipes();
    // Before the application object: the compiled-in platform configuration is read by it.
    rcanInitResources();

    // Usage, version and usage errors need no display; without one, the window could not start
    // anyway, and a mistyped option deserves its message rather than a platform-plugin abort.
    if (CommandLine::asksForUsage(argc, argv) || !displayReachable(argc, argv)) {
        QCoreApplication app(argc, argv);
        CommandLineOptions unused;
        const int code = readCommandLine(&unused);
        if (code >= 0)
            return code;
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

    // The size must be in force before a log is read into the history, or the log's oldest frames
    // would be cut to the default size.
    HistorySetting::applyAtStart(options.historySize);

    // rcan-tools FILE: the log opens in the receive view of the first main window, once its event
    // loop runs: a message about the file then waits inside that loop, and a request to
    // terminate ends both rather than only the message.
    QString logFile = options.logFile;
    const int exitCode
        = ApplicationShell::runMainWindows([logFile](RAZOradurodMainWindow *window) mutable {
              if (!logFile.isEmpty()) {
                  QTimer::singleShot(0, window, [window, logFile] {
                      window->receiveView()->openLogFile(logFile);
                  });
              }
              logFile.clear();
          });
    stopSimulatedAdapter();
    return exitCode;
}
