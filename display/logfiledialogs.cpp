#include "logfiledialogs.h"

#include "app/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
const QString FolderKey = QStringLiteral("LogFolder");
const QString FormatKey = QStringLiteral("LogFormat");

QString trDialog(const char *text)
{
    return QCoreApplication::translate("LogFileDialogs", text);
}

QString currentStartFolder()
{
    return LogFileDialogs::startFolder(
        readSetting(FolderKey).toString(), QCoreApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

void rememberFolder(const QString &path)
{
    writeSetting(FolderKey, QFileInfo(path).absolutePath());
}
} // namespace

namespace LogFileDialogs {

QString
startFolder(const QString &remembered, const QString &programFolder, const QString &documentsFolder)
{
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    const QFileInfo program(programFolder);
    if (program.isDir() && program.isWritable())
        return programFolder;
    return documentsFolder;
}

QString completedName(const QString &typed, LogFormat chosen, LogFormat *format)
{
    if (LogCodec::formatForSuffix(typed, chosen, format))
        return typed;
    *format = chosen;
    // A name that already exists was picked, not typed: the dialog asked about replacing that
    // very file, so it is the one written (or refused).
    if (QFileInfo(typed).suffix().isEmpty() && !typed.endsWith(QLatin1Char('.'))
        && !QFileInfo::exists(typed))
        return typed + LogCodec::suffix(chosen);
    return typed;
}

QStringList saveFilters()
{
    return { trDialog("RCAN 文本日志 (*.txt)"), trDialog("candump 日志 (*.log)"),
             trDialog("Vector ASC 日志 (*.asc)"), trDialog("PEAK TRC 日志 (*.trc)"),
             trDialog("candump 日志，带收发方向，Wireshark 不能读 (*.log)") };
}

Choice askSaveFile(QWidget *parent)
{
    const QStringList filters = saveFilters();
    const int remembered = qBound(0, readSetting(FormatKey, 0).toInt(), LogCodec::FormatCount - 1);
    QFileDialog dialog(parent, trDialog("保存日志"), currentStartFolder());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.at(remembered));
    Choice choice;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return choice;
    const int chosen = qMax(0, filters.indexOf(dialog.selectedNameFilter()));
    choice.path = completedName(dialog.selectedFiles().constFirst(), LogCodec::formatAt(chosen),
                                &choice.format);
    writeSetting(FormatKey, int(choice.format));
    rememberFolder(choice.path);
    return choice;
}

QString askOpenFile(QWidget *parent)
{
    const QString path
        = QFileDialog::getOpenFileName(parent, trDialog("打开日志"), currentStartFolder(),
                                       trDialog("CAN 日志 (*.txt *.log *.asc *.trc)")
                                           + QStringLiteral(";;") + trDialog("所有文件 (*)"));
    if (!path.isEmpty())
        rememberFolder(path);
    return path;
}

} // namespace LogFileDialogs
