#pragma once

#include "app/applicationshell.h"
#include "app/rcanresources.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <QtGlobal>

#include <cstdio>

namespace ToolEnvironment {

// Benchmarks and soak runs need no display and no debug chatter, unless the caller asks.
inline void quietOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "default.debug=false");
}

} // namespace ToolEnvironment

// What the screenshot tools share: each takes one output folder and writes PNGs into it.
namespace Screenshots {

// Saves what `w` shows and says so on standard error, so a missing picture is seen at once.
inline bool save(QWidget *w, const QString &path)
{
    const bool ok = w && w->grab().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// The output folder named on the command line, made if missing; false after printing the usage.
inline bool outputDir(const char *tool, QDir *out)
{
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: %s <output-dir>\n", tool);
        return false;
    }
    *out = QDir(arguments.at(1));
    QDir().mkpath(out->path());
    return true;
}

} // namespace Screenshots

// A tool that runs the whole program, with settings in a folder of its own so that the user's are
// neither read nor changed, and the program's resources and font. Benchmarks run quiet and
// offscreen as above; screenshot tools on the display they are given.
class ProgramTool
{
public:
    enum Display { Offscreen, AsGiven };

    ProgramTool(int &argc, char **argv, Display display = Offscreen)
        : m_app((prepare(m_settings, display), argc), argv)
    {
        ApplicationShell::setUpApplicationFont();
    }

private:
    static void prepare(const QTemporaryDir &settings, Display display)
    {
        if (display == Offscreen)
            ToolEnvironment::quietOffscreen();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
        rcanInitResources();
    }

    QTemporaryDir m_settings;
    QApplication m_app;
};
