// Renders the main window with a log file opened in the receive view, in both languages, and the
// progress window of the opening. Uses a private settings folder.
//
//   xvfb-run -a rcan-logopen-screenshots <output-dir>

#include "app/applicationshell.h"
#include "app/razoradurodmainwindow.h"
#include "app/rcanresources.h"
#include "app/settings.h"
#include "device/devicemanagement.h"
#include "display/canview_widget.h"
#include "display/logloader.h"
#include "display/logopenprogress.h"
#include "protocol/common.h"
#include "protocol/contextprotocol.h"
#include "tools/toolenvironment.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {
using Screenshots::save;
} // namespace

int main(int argc, char *argv[])
{
    const ProgramTool tool(argc, argv, ProgramTool::AsGiven);
    QDir out;
    if (!Screenshots::outputDir("rcan-logopen-screenshots", &out))
        return 2;
    QTemporaryDir files;
    const QString log = files.filePath(QStringLiteral("engine_bus_2026-12-08.asc"));
    QFile file(log);
    file.open(QIODevice::WriteOnly);
    file.write("date Tue Dec 8 09:30:00.000 am 2026\r\nbase hex  timestamps absolute\r\n"
               "internal events logged\r\nBegin Triggerblock Tue Dec 8 09:30:00.000 am 2026\r\n");
    for (int i = 0; i < 400; ++i) {
        const QByteArray id = i % 3 == 0 ? "18FF50E5x" : QByteArray::number(0x100 + i % 7, 16);
        file.write(QByteArray::number(i * 0.0125, 'f', 6) + ' ' + QByteArray::number(1 + i % 2)
                   + "  " + id + (i % 9 == 0 ? " Tx   d 8 " : " Rx   d 8 ")
                   + QByteArray::number(i % 256 + 256, 16).right(2).toUpper()
                   + " 11 22 33 44 55 66 77\r\n");
    }
    file.write("End TriggerBlock\r\n");
    file.close();

    bool ok = true;
    for (const QString &lang : { QStringLiteral("CN"), QStringLiteral("EN") }) {
        writeSetting(QStringLiteral("Language"), lang);
        auto *window = new RAZOradurodMainWindow;
        window->resize(1100, 691);
        window->show();
        DeviceManagement::instance()->hide();
        CANView_Widget *view = window->receiveView();
        view->setUserPrompts(
            [](const QString &text) { std::fprintf(stderr, "%s\n", qPrintable(text)); },
            [](const QString &) { return true; });
        QEventLoop loaded;
        QObject::connect(view->logLoader(), &LogLoader::finished, &loaded, &QEventLoop::quit);
        QTimer::singleShot(20000, &loaded, &QEventLoop::quit);
        view->openLogFile(log);
        loaded.exec();
        view->findChild<QComboBox *>(QStringLiteral("comboBox"))->setCurrentIndex(1);
        common::delayMsec(600);
        ok &= save(window, out.filePath(QStringLiteral("receive_log_%1.png").arg(lang)));
        view->findChild<QComboBox *>(QStringLiteral("comboBox"))->setCurrentIndex(0);

        // An adapter left streaming while the log is shown: the note that its frames stay out.
        view->setUserPrompts({}, {});
        QByteArray frame(13, '\0');
        frame[0] = 2;
        frame[1] = 0x23;
        emit contextProtocol::instance()->signal_REP_CANFrame(1, frame, 1000, 0);
        common::delayMsec(300);
        if (auto *note = view->findChild<QMessageBox *>(QStringLiteral("liveFramesRefused"))) {
            ok &= save(note, out.filePath(QStringLiteral("live_refused_%1.png").arg(lang)));
            note->close();
        } else {
            std::fprintf(stderr, "FAILED no note about refused live frames\n");
            ok = false;
        }

        // Back to live traffic, with real-time saving running: the stop caption fits its button.
        view->findChild<QPushButton *>(QStringLiteral("button_clear"))->click();
        view->setFileNameProvider([&files] { return files.filePath(QStringLiteral("rt.txt")); });
        auto *realTime = view->findChild<QPushButton *>(QStringLiteral("Button_saveOnTime"));
        realTime->click();
        common::delayMsec(300);
        ok &= save(window, out.filePath(QStringLiteral("receive_realtime_%1.png").arg(lang)));
        realTime->click();

        LogOpenProgress *progress = view->openProgress();
        progress->start(log);
        progress->setProgressValue(42);
        progress->show();
        ok &= save(progress, out.filePath(QStringLiteral("log_open_progress_%1.png").arg(lang)));
        progress->hide();
        window->close();
        delete window;
    }
    return ok ? 0 : 1;
}
