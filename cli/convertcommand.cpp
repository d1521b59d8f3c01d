#include "convertcommand.h"

#include "cli/clilogoutput.h"
#include "cli/clisupport.h"
#include "recording/logfilereader.h"

#include <QCommandLineParser>
#include <QFile>

namespace {
qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}
} // namespace

int ConvertCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Converts a log between the formats the program reads and writes: native (.txt), "
        "candump (.log), Vector ASC (.asc) and PEAK TRC (.trc). The input's format is found from "
        "its content, the output's from -f or its suffix. '-' is standard input or output."));
    const QCommandLineOption format({ QStringLiteral("f"), QStringLiteral("format") },
                                    QStringLiteral("Output format: candump, asc, trc or native."),
                                    QStringLiteral("FORMAT"));
    parser.addOption(format);
    parser.addPositionalArgument(QStringLiteral("in"), QStringLiteral("Log to read."),
                                 QStringLiteral("IN"));
    parser.addPositionalArgument(QStringLiteral("out"), QStringLiteral("Log to write."),
                                 QStringLiteral("OUT"));
    int exit = Cli::Done;
    if (!Cli::parse(parser, arguments, &exit))
        return exit;
    const QString command = arguments.value(0);
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return Cli::usageError(command, QStringLiteral("an input and an output file are needed"));
    QString error;
    LogFormat outFormat = LogFormat::Candump;
    if (!Cli::logFormat(parser.value(format), files.at(1), &outFormat, &error))
        return Cli::usageError(command, error);

    QFile in;
    const bool opened = files.at(0) == QLatin1String("-")
        ? in.open(stdin, QIODevice::ReadOnly)
        : (in.setFileName(files.at(0)), in.open(QIODevice::ReadOnly));
    if (!opened) {
        Cli::printError(QStringLiteral("cannot read %1: %2").arg(files.at(0), in.errorString()));
        return Cli::Failure;
    }
    CliLogOutput out;
    if (!out.open(files.at(1), outFormat, &error)) {
        Cli::printError(error);
        return Cli::Failure;
    }

    bool first = true;
    qint64 firstUs = 0;
    CliLogOutput::Status status = CliLogOutput::Status::Ok;
    const LogReadResult read = LogFileReader::read(in, [&](const LogFrame &frame) {
        if (first) {
            first = false;
            firstUs = frame.hostTimeUs;
        }
        // A log read back has no device clock: 0.1 ms since its first frame stands in for it.
        LogFrame stamped = frame;
        stamped.timeStamp
            = quint32(quint64(floorDiv(frame.hostTimeUs - firstUs + 50, 100)) & 0xFFFFFFFFu);
        status = out.write(stamped);
        if (status == CliLogOutput::Status::Ok && out.bufferedBytes() >= (1 << 20))
            status = out.flush();
        return status == CliLogOutput::Status::Ok;
    });
    if (!read.recognised) {
        out.close();
        Cli::printError(QStringLiteral("%1 is not a log this program reads").arg(files.at(0)));
        return Cli::Failure;
    }
    if (status == CliLogOutput::Status::Ok)
        status = out.close();
    if (status == CliLogOutput::Status::Failed) {
        Cli::printError(out.errorString());
        return Cli::Failure;
    }
    if (read.badLines > 0)
        Cli::printError(QStringLiteral("%1: %2 lines not understood and left out, the first at "
                                       "line %3")
                            .arg(files.at(0))
                            .arg(read.badLines)
                            .arg(read.firstBadLine));
    return Cli::Done;
}
