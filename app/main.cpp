#include "app/applicationshell.h"
#include "app/commandline.h"
#include "app/qttranslation.h"
#include "app/rcanresources.h"
#include "app/runtimefiles.h"
#include "app/settings.h"
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
    QTranslator ownTexts;
    QTranslator qtTexts;
    if (readSetting(QStringLiteral("Language"), QStringLiteral("EN")).toString()
        == QLatin1String("EN")) {
        if (ownTexts.load(RuntimeFiles::locate(QStringLiteral("language/Language_EN.qm"))))
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

    return ApplicationShell::runMainWindows();
}
