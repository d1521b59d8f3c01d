#include "decodecommand.h"

#include "candb/dbcreader.h"
#include "candb/signalcodec.h"
#include "cli/clisupport.h"
#include "recording/logfilereader.h"

#include <QCommandLineParser>
#include <QFile>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
constexpr int FlushBytes = 64 * 1024;

void appendJsonString(QByteArray &out, const QString &text)
{
    out.append('"');
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (quint8(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(quint8(c)));
                out.append(escaped);
            } else {
                out.append(c);
            }
        }
    }
    out.append('"');
}

// The value as the database's user sees it: the name a raw value carries, else the physical
// value in its exact shortest form. A value JSON cannot hold (NaN, infinity) is null.
void appendValue(QByteArray &out, const DbcSignal &signal, const DecodedSignal &decoded)
{
    const QString text = SignalCodec::valueText(signal, decoded);
    bool named = false;
    if (!signal.valueNames.isEmpty()) {
        DbcSignal unnamed = signal;
        unnamed.valueNames.clear();
        named = SignalCodec::valueText(unnamed, decoded) != text;
    }
    if (named) {
        appendJsonString(out, text);
        return;
    }
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        out.append("null");
    else
        out.append(text.toLatin1());
}

enum class WriteStatus { Ok, Closed, Failed };

WriteStatus writeOut(QByteArray &out)
{
    const char *p = out.constData();
    qint64 left = out.size();
    while (left > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EPIPE ? WriteStatus::Closed : WriteStatus::Failed;
        p += n;
        left -= n;
    }
    out.clear();
    return WriteStatus::Ok;
}
} // namespace

int DecodeCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints every frame of a log (any format the program reads; '-' or none: standard input) "
        "as one JSON object a line, in order: {\"time\": seconds, \"channel\": 1|2, \"id\": "
        "number, \"extended\": bool, \"dir\": \"rx\"|\"tx\", \"name\": message name or null, "
        "\"signals\": {signal: physical value, or the value's name}}. A frame the database does "
        "not describe has a null name and no signals."));
    const QCommandLineOption dbc(QStringLiteral("dbc"), QStringLiteral("CAN database (DBC file)."),
                                 QStringLiteral("FILE"));
    parser.addOption(dbc);
    parser.addPositionalArgument(QStringLiteral("log"), QStringLiteral("Log to decode."),
                                 QStringLiteral("[LOG|-]"));
    int exit = Cli::Done;
    if (!Cli::parse(parser, arguments, &exit))
        return exit;
    const QString command = arguments.value(0);
    if (!parser.isSet(dbc))
        return Cli::usageError(command, QStringLiteral("a database is needed: --dbc FILE"));
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return Cli::usageError(command, QStringLiteral("one log at most"));

    const DbcReadResult database = DbcReader::readFile(parser.value(dbc));
    if (!database.ok) {
        Cli::printError(QStringLiteral("%1: %2").arg(parser.value(dbc), database.error));
        return Cli::Failure;
    }
    if (database.problemCount > 0)
        Cli::printError(QStringLiteral("%1: %2 line(s) could not be read and were left out")
                            .arg(parser.value(dbc))
                            .arg(database.problemCount));

    const QString path = files.value(0, QStringLiteral("-"));
    QFile in;
    const bool opened = path == QLatin1String("-")
        ? in.open(stdin, QIODevice::ReadOnly)
        : (in.setFileName(path), in.open(QIODevice::ReadOnly));
    if (!opened) {
        Cli::printError(QStringLiteral("cannot read %1: %2").arg(path, in.errorString()));
        return Cli::Failure;
    }

    QByteArray out;
    QVector<DecodedSignal> decoded;
    WriteStatus status = WriteStatus::Ok;
    const LogReadResult read = LogFileReader::read(in, [&](const LogFrame &frame) {
        out.append("{\"time\":");
        const qint64 us = frame.hostTimeUs;
        const qint64 seconds = us >= 0 ? us / 1000000 : -((-us + 999999) / 1000000);
        char time[40];
        std::snprintf(time, sizeof time, "%lld.%06lld", static_cast<long long>(seconds),
                      static_cast<long long>(us - seconds * 1000000));
        out.append(time);
        out.append(",\"channel\":").append(QByteArray::number(frame.channel));
        out.append(",\"id\":").append(QByteArray::number(frame.id));
        out.append(frame.isExtended() ? ",\"extended\":true" : ",\"extended\":false");
        out.append(frame.dir ? ",\"dir\":\"tx\"" : ",\"dir\":\"rx\"");
        const DbcMessage *message = database.database.message(frame.id, frame.isExtended());
        out.append(",\"name\":");
        if (message)
            appendJsonString(out, message->name);
        else
            out.append("null");
        out.append(",\"signals\":{");
        if (message && !frame.isRemote()) {
            SignalCodec::decode(*message, frame.data, frame.dataCount(), &decoded);
            bool first = true;
            for (const DecodedSignal &value : qAsConst(decoded)) {
                const DbcSignal &signal = message->signalList.at(value.signalIndex);
                if (!first)
                    out.append(',');
                first = false;
                appendJsonString(out, signal.name);
                out.append(':');
                appendValue(out, signal, value);
            }
        }
        out.append("}}\n");
        if (out.size() >= FlushBytes)
            status = writeOut(out);
        return status == WriteStatus::Ok;
    });
    if (status == WriteStatus::Ok)
        status = writeOut(out);
    if (status == WriteStatus::Closed)
        return Cli::Done;
    if (status == WriteStatus::Failed) {
        Cli::printError(QStringLiteral("cannot write standard output: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return Cli::Failure;
    }
    if (!read.recognised && read.frames == 0 && in.size() != 0) {
        Cli::printError(QStringLiteral("%1 is not a log this program reads").arg(path));
        return Cli::Failure;
    }
    if (read.badLines > 0)
        Cli::printError(QStringLiteral("%1: %2 lines not understood and left out, the first at "
                                       "line %3")
                            .arg(path)
                            .arg(read.badLines)
                            .arg(read.firstBadLine));
    return Cli::Done;
}
