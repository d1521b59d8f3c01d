#include "app/applicationshell.h"

#include "app/razoradurodmainwindow.h"
#include "app/terminationsignals.h"
#include "device/devicemanagement.h"
#include "protocol/common.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace ApplicationShell {

namespace {
constexpr int ExitCloseBudgetMs = 300;
}

void setUpApplicationFont()
{
    const QString family = QStringLiteral("Microsoft Yahei");
#ifndef Q_OS_WIN
    // Style sheets spell the family in several ways; all of them must land on the same face.
    const QStringList spellings
        = { family, QStringLiteral("Microsoft YaHei"), QStringLiteral("Microsoft YaHei UI"),
            QStringLiteral("微软雅黑") };
    const QStringList faces
        = { QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
            QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC") };
    const QStringList installed = QFontDatabase().families();
    for (const QString &face : faces) {
        if (installed.contains(face)) {
            for (const QString &spelling : spellings)
                QFont::insertSubstitution(spelling, face);
            break;
        }
    }
#endif
    QApplication::setFont(QFont(family, 10));
}

int runMainWindows(const std::function<void(RAZOradurodMainWindow *)> &shown)
{
    TerminationSignals::install();
    for (;;) {
        auto *window = new RAZOradurodMainWindow;
        window->show();
        if (shown)
            shown(window);
        // A request to terminate that came while `shown` ran a loop of its own (a message box)
        // ended only that loop.
        const int code = TerminationSignals::closeRequested() ? 0 : QApplication::exec();
        // A termination request during a rebuild still ends the program.
        const bool terminated = TerminationSignals::closeRequested();
        if (terminated || code != RAZOradurodMainWindow::RestartCode) {
            // Left open, the adapter would keep streaming into a port nobody reads.
            DeviceManagement::instance()->closeBeforeExit(ExitCloseBudgetMs);
            return terminated ? 0 : code;
        }
        window->deleteLater();
        common::delayMsec(50);
        if (TerminationSignals::closeRequested()) {
            DeviceManagement::instance()->closeBeforeExit(ExitCloseBudgetMs);
            return 0;
        }
    }
}

} // namespace ApplicationShell
