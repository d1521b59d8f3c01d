#pragma once

// What every command of the command line shares: exit codes, the one-line messages on standard
// error, and parsing a command's options with --help.

#include <QString>
#include <QStringList>

#include "recording/logcodec.h"

class QCommandLineParser;

namespace Cli {

enum Exit { Done = 0, Failure = 1, Usage = 2 };

// "rcan-cli: <message>" on standard error.
void printError(const QString &message);
void printLine(const QString &line); // on standard error, as it is

// Parses `arguments` (the command name first). False when the command ends here: after --help
// (help on standard output, `exit` 0) or on a usage error (message and hint on standard error,
// `exit` 2).
bool parse(QCommandLineParser &parser, const QStringList &arguments, int *exit);
// Prints the usage error and returns Usage.
int usageError(const QString &command, const QString &message);

// "-f candump|asc|trc|native", or else the suffix of `path`; false with a usage error.
bool logFormat(const QString &formatName, const QString &path, LogFormat *format, QString *error);
// "4096", "64k", "10M", "1G": bytes.
bool parseSize(const QString &text, qint64 *bytes);

} // namespace Cli
