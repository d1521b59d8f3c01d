// Bridge between RCAN Tools' log code and the python-can check in logoracle.py:
//   logoracle table                     the shared frame table, one JSON object per line
//   logoracle write native|candump|asc|trc|candump-x FILE   saves the table as the program does
//   logoracle read FILE                 the frames RCAN Tools reads from FILE, as JSON lines

#include "display/canrecordbuffer.h"
#include "display/lockedhandoff.h"
#include "recording/filesavesupport.h"
#include "recording/logcodec.h"
#include "recording/logfilereader.h"
#include "support/logframetable.h"

#include <QApplication>
#include <QFile>

#include <cstdio>

namespace {
void printFrame(const LogFrame &frame, qint64 timeUs)
{
    QByteArray data;
    for (int i = 0; i < frame.dataCount(); ++i)
        data += QByteArray::number(frame.data[i] | 0x100, 16).mid(1);
    std::printf("{\"channel\": %d, \"id\": %u, \"ext\": %s, \"remote\": %s, \"dlc\": %d, "
                "\"data\": \"%s\", \"rx\": %s, \"time_us\": %lld}\n",
                frame.channel, frame.id, frame.isExtended() ? "true" : "false",
                frame.isRemote() ? "true" : "false", frame.dlc(), data.constData(),
                frame.dir == 0 ? "true" : "false", static_cast<long long>(timeUs));
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString command = args.value(1);
    if (command == QLatin1String("table")) {
        const QVector<CanRecord> records = LogFrameTable::records();
        const QVector<qint64> gaps = LogFrameTable::gapsUs();
        for (int i = 0; i < records.size(); ++i)
            printFrame(records.at(i).frame(), records.first().hostTimeUs + gaps.at(i));
        return 0;
    }
    if (command == QLatin1String("write") && args.size() == 4) {
        // In the order of LogFormat.
        const QStringList names
            = { QStringLiteral("native"), QStringLiteral("candump"), QStringLiteral("asc"),
                QStringLiteral("trc"), QStringLiteral("candump-x") };
        if (!names.contains(args.at(2)))
            return 2;
        CanRecordBuffer buffer;
        for (const CanRecord &record : LogFrameTable::records())
            buffer.append(record);
        LockedHandoff<CanRecordBuffer> history;
        history.set(buffer);
        FileSaveSupport writer(&history);
        writer.setGlobalSavePath(args.at(3));
        writer.setGlobalSaveFormat(LogCodec::formatAt(names.indexOf(args.at(2))));
        writer.globalSave();
        return QFile::exists(args.at(3)) ? 0 : 1;
    }
    if (command == QLatin1String("read") && args.size() == 3) {
        QFile file(args.at(2));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const LogReadResult result = LogFileReader::read(file, [](const LogFrame &frame) {
            printFrame(frame, frame.hostTimeUs);
            return true;
        });
        return result.recognised && result.badLines == 0 ? 0 : 1;
    }
    std::fprintf(stderr, "usage: logoracle table | write FORMAT FILE | read FILE\n");
    return 2;
}
