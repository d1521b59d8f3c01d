#pragma once

// The file dialogs of the receive view for logs: which folder they start in, which format a
// chosen name means, and the remembered choices ("LogFolder", "LogFormat" in the settings).

#include "recording/logcodec.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace LogFileDialogs {

// The remembered folder while it exists; else the program's folder when it can be written;
// else the user's documents folder.
QString startFolder(const QString &remembered,
                    const QString &programFolder,
                    const QString &documentsFolder);
// A typed name's suffix chooses the format when it is a known one (the chosen filter's format
// when two share it); a name without a suffix gets the chosen filter's suffix; any other suffix
// is kept and the filter's format used.
QString completedName(const QString &typed, LogFormat chosen, LogFormat *format);

// The type list, one entry per format in LogCodec order, each with its suffix.
QStringList saveFilters();

struct Choice
{
    QString path; // empty when cancelled
    LogFormat format = LogFormat::Native;
};
Choice askSaveFile(QWidget *parent);
QString askOpenFile(QWidget *parent);

} // namespace LogFileDialogs
