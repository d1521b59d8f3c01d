#pragma once

#include "app/applicationshell.h"
#include "app/rcanresources.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

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

// A tool that runs the whole program: quiet and offscreen as above, with settings in a folder of
// its own so that the user's are neither read nor changed, and the program's resources and font.
class ProgramTool
{
public:
    ProgramTool(int &argc, char **argv)
        : m_app((prepare(m_settings), argc), argv)
    {
        ApplicationShell::setUpApplicationFont();
    }

private:
    static void prepare(const QTemporaryDir &settings)
    {
        ToolEnvironment::quietOffscreen();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
        rcanInitResources();
    }

    QTemporaryDir m_settings;
    QApplication m_app;
};
