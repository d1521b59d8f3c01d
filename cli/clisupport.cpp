#include "clisupport.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <cstdio>

namespace Cli {

void printLine(const QString &line)
{
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void printError(const QString &message)
{
    printLine(QStringLiteral("rcan-cli: ") + message);
}

int usageError(const QString &command, const QString &message)
{
    printError(message);
    printLine(QStringLiteral("Try 'rcan-cli %1 --help'.").arg(command));
    return Usage;
}

bool parse(QCommandLineParser &parser, const QStringList &arguments, int *exit)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QString command = arguments.value(0);
    if (!parser.parse(arguments)) {
        *exit = usageError(command, parser.errorText());
        return false;
    }
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        // The parser names the program by its path; the usage line names the command instead.
        const QString usage = QStringLiteral("Usage: ");
        const int options = text.indexOf(QLatin1String(" [options]"));
        if (text.startsWith(usage) && options > 0)
            text.replace(usage.size(), options - usage.size(),
                         QStringLiteral("rcan-cli ") + command);
        const QByteArray bytes = text.toLocal8Bit();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
        *exit = Done;
        return false;
    }
    return true;
}

bool logFormat(const QString &formatName, const QString &path, LogFormat *format, QString *error)
{
    static const struct
    {
        const char *name;
        LogFormat format;
    } names[] = { { "native", LogFormat::Native },
                  { "candump", LogFormat::Candump },
                  { "asc", LogFormat::Asc },
                  { "trc", LogFormat::Trc } };
    if (!formatName.isEmpty()) {
        for (const auto &entry : names) {
            if (formatName == QLatin1String(entry.name)) {
                *format = entry.format;
                return true;
            }
        }
        *error = QStringLiteral("unknown log format '%1' (candump, asc, trc or native)")
                     .arg(formatName);
        return false;
    }
    if (path.isEmpty() || path == QLatin1String("-")) {
        *format = LogFormat::Candump;
        return true;
    }
    if (LogCodec::formatForSuffix(path, format))
        return true;
    *error
        = QStringLiteral("cannot tell the log format of '%1' from its suffix; give -f").arg(path);
    return false;
}

bool parseSize(const QString &text, qint64 *bytes)
{
    QString digits = text.trimmed();
    qint64 scale = 1;
    if (digits.endsWith(QLatin1Char('k'), Qt::CaseInsensitive))
        scale = 1024;
    else if (digits.endsWith(QLatin1Char('M')))
        scale = 1024 * 1024;
    else if (digits.endsWith(QLatin1Char('G')))
        scale = 1024LL * 1024 * 1024;
    if (scale != 1)
        digits.chop(1);
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok);
    if (!ok || value <= 0)
        return false;
    *bytes = value * scale;
    return true;
}

} // namespace Cli
