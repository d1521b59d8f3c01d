#include "support/mainwindowdriver.h"

#include "app/razoradurodmainwindow.h"
#include "app/widgets/rframelesswidget.h"

#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>

namespace MainWindowDriver {

namespace {
QTemporaryDir *sandbox = nullptr;
}

void sandboxSettings()
{
    if (sandbox)
        return;
    sandbox = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/rcan-settings-XXXXXX"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(sandbox->path()));
}

QString sandboxFolder()
{
    return sandbox ? sandbox->path() : QString();
}

void clearSettings()
{
    QSettings(QStringLiteral("QJN-QT"), QStringLiteral("VEDOvozevoz_Iviz")).clear();
}

QToolButton *toolButton(RAZOradurodMainWindow *window, const QString &name)
{
    return window->findChild<QToolButton *>(name);
}

void chooseFromSettingMenu(RAZOradurodMainWindow *window, QAction *action)
{
    QToolButton *button = toolButton(window, QStringLiteral("toolButton_Setting"));
    QMenu *menu = button->menu();
    // The menu runs its own event loop once open; pick the entry from inside it.
    // Only the pending timer owns the retry: a self-owning function would never be freed.
    auto pick = std::make_shared<std::function<void()>>();
    std::weak_ptr<std::function<void()>> self = pick;
    *pick = [menu, action, self] {
        if (!menu->isVisible()) {
            if (const auto again = self.lock())
                QTimer::singleShot(10, menu, [again] { (*again)(); });
            return;
        }
        menu->setActiveAction(action);
        QTest::keyClick(menu, Qt::Key_Return);
    };
    QTimer::singleShot(0, menu, [pick] { (*pick)(); });
    QTest::mouseClick(button, Qt::LeftButton);
}

void pressClose(RAZOradurodMainWindow *window)
{
    auto *bar = window->findChild<rFrameLessWidget *>(QStringLiteral("windowButtons"));
    bar->findChild<QPushButton *>(QStringLiteral("close"))->click();
}

} // namespace MainWindowDriver
