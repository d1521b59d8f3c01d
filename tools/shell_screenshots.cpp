// Renders the main window and the about window in both languages to PNG files, for looking at
// the interface and for the picture in the README. Uses a private settings folder, so the
// user's stored language is left alone.
//
//   xvfb-run -a rcan-shell-screenshots <output-dir>

#include "app/applicationshell.h"
#include "app/razoradurodmainwindow.h"
#include "app/rcanresources.h"
#include "app/rivexabout.h"
#include "app/settings.h"
#include "protocol/common.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWidget>

#include <cstdio>

namespace {

bool save(QWidget *w, const QString &path)
{
    const bool ok = w->grab().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    rcanInitResources();
    QApplication app(argc, argv);
    ApplicationShell::setUpApplicationFont();
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: rcan-shell-screenshots <output-dir>\n");
        return 2;
    }
    const QDir out(args.at(1));
    QDir().mkpath(out.path());

    bool ok = true;
    const QString languages[] = { QStringLiteral("CN"), QStringLiteral("EN") };
    for (const QString &lang : languages) {
        writeSetting(QStringLiteral("Language"), lang);
        auto *window = new RAZOradurodMainWindow;
        window->show();
        common::delayMsec(300);
        ok &= save(window, out.filePath(QStringLiteral("mainwindow_%1.png").arg(lang)));
        window->aboutPage()->showNormal();
        common::delayMsec(300);
        ok &= save(window->aboutPage(), out.filePath(QStringLiteral("about_%1.png").arg(lang)));
        // Everything on screen, for checking how the windows sit together.
        if (QScreen *screen = QGuiApplication::primaryScreen())
            screen->grabWindow(0).save(out.filePath(QStringLiteral("screen_%1.png").arg(lang)));
        window->aboutPage()->hide();
        window->hide();
        delete window;
    }
    return ok ? 0 : 1;
}
