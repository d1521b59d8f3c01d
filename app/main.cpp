#include "app/applicationshell.h"
#include "app/rcanresources.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Before the application object: the compiled-in platform configuration is read by it.
    rcanInitResources();
    QApplication app(argc, argv);
    ApplicationShell::setUpApplicationFont();
    return ApplicationShell::runMainWindows();
}
