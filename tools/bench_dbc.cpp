// CAN database speed, each figure beside a baseline measured in the same run:
//  1. loading: the largest DBC (the vehicle databases concatenated with renamed identifiers until
//     past 800 KB) read by DbcReader, beside reading the same bytes and splitting them into lines;
//  2. decoding: frames per second of a random mix over every message of the vehicle databases,
//     each looked up in a database set and every signal it carries decoded, beside copying the
//     same frames' bytes and summing them.
// Usage: bench-dbc [folder with the vehicle .dbc files]

#include "candb/databaseset.h"
#include "candb/dbcreader.h"
#include "candb/signalcodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int MinimumBytes = 800 * 1024;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every identifier a section names moves to a fresh extended one, so the copies do not clash.
QByteArray renamed(const QByteArray &text, int copy)
{
    static const QRegularExpression idRef(
        QStringLiteral("\\b(BO_|SG_|VAL_|SIG_VALTYPE_|BO_TX_BU_|SG_MUL_VAL_|SIG_GROUP_) (\\d+)"));
    const QString source = QString::fromLatin1(text);
    QString out;
    out.reserve(source.size() + source.size() / 8);
    int last = 0;
    auto it = idRef.globalMatch(source);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        out += source.midRef(last, match.capturedStart(2) - last);
        const quint64 id = match.captured(2).toULongLong();
        const quint64 id29 = id & 0x7FFFFFFF;
        quint64 moved = id;
        if (id29 <= 0x1FFFFFFF)
            moved = 0x80000000u | ((id29 * 7 + quint64(copy) * 0x1000003) & 0x1FFFFFFF);
        out += QString::number(moved);
        last = match.capturedEnd(2);
    }
    out += source.midRef(last);
    return out.toLatin1();
}

QByteArray largestDbc(const QStringList &files)
{
    QByteArray out;
    for (int copy = 0; out.size() < MinimumBytes; ++copy) {
        for (const QString &path : files) {
            const QByteArray text = readAll(path);
            if (copy == 0 && out.isEmpty()) {
                out += text;
                continue;
            }
            const int body = text.indexOf("\nBO_ ");
            out += '\n'
                + renamed(text.mid(body < 0 ? 0 : body), copy * 16 + files.indexOf(path) + 1);
        }
    }
    return out;
}

template<typename F>
double bestMs(int runs, F &&f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

struct Frame
{
    quint32 id = 0;
    bool extended = false;
    quint8 dlc = 8;
    quint8 data[8] = {};
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder
        = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(RCAN_DBC_DATA);
    QStringList files;
    const QStringList vehicles = { QStringLiteral("ESR.dbc"),
                                   QStringLiteral("gm_global_a_lowspeed_1818125.dbc"),
                                   QStringLiteral("hyundai_2015_ccan.dbc"),
                                   QStringLiteral("tesla_can.dbc"),
                                   QStringLiteral("toyota_2017_ref_pt.dbc"),
                                   QStringLiteral("vw_mqb.dbc") };
    for (const QString &name : vehicles) {
        if (QFile::exists(QDir(folder).filePath(name)))
            files.append(QDir(folder).filePath(name));
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "no vehicle databases in %s\n", qPrintable(folder));
        return 1;
    }

    // 1. Loading.
    QTemporaryDir dir;
    const QString bigPath = dir.filePath(QStringLiteral("largest.dbc"));
    {
        QFile out(bigPath);
        if (!out.open(QIODevice::WriteOnly) || out.write(largestDbc(files)) < 0)
            return 1;
    }
    const qint64 bigBytes = QFileInfo(bigPath).size();
    DbcReadResult big;
    const double loadMs = bestMs(7, [&] { big = DbcReader::readFile(bigPath); });
    qint64 lines = 0;
    const double baselineMs = bestMs(7, [&] {
        const QByteArray bytes = readAll(bigPath);
        lines = bytes.split('\n').size();
    });
    int signalCount = 0;
    for (const DbcMessage &message : big.database.messages())
        signalCount += message.signalList.size();
    std::printf("load: %.0f KB, %lld lines, %d messages, %d signals, %d problems\n",
                bigBytes / 1024.0, static_cast<long long>(lines), big.database.messages().size(),
                signalCount, big.problemCount);
    std::printf("  DbcReader::readFile        %8.2f ms   (target <= 100 ms)\n", loadMs);
    std::printf("  baseline read + split lines %7.2f ms\n", baselineMs);

    // 2. Decoding.
    DatabaseSet set;
    for (const QString &path : files)
        set.add(path, DatabaseSet::BothChannels);
    const QSharedPointer<const DatabaseSet::Snapshot> snapshot = set.snapshot();
    QVector<const DbcMessage *> messages;
    for (const DatabaseSet::Entry &entry : snapshot->entries) {
        for (const DbcMessage &message : entry.database->messages()) {
            if (message.dlc <= 8)
                messages.append(&message);
        }
    }
    QRandomGenerator random(26);
    QVector<Frame> frames(200000);
    for (Frame &frame : frames) {
        const DbcMessage *message = messages.at(random.bounded(messages.size()));
        frame.id = message->id;
        frame.extended = message->extended;
        frame.dlc = quint8(message->dlc);
        for (quint8 &byte : frame.data)
            byte = quint8(random.bounded(256));
    }
    const int passes = 10;
    QVector<DecodedSignal> decoded;
    quint64 decodedSignals = 0;
    double checksum = 0;
    const double decodeMs = bestMs(3, [&] {
        decodedSignals = 0;
        for (int pass = 0; pass < passes; ++pass) {
            for (const Frame &frame : qAsConst(frames)) {
                const DatabaseSet::Match match
                    = snapshot->find(1 + (pass & 1), frame.id, frame.extended);
                if (!match)
                    continue;
                SignalCodec::decode(*match.message, frame.data, frame.dlc, &decoded);
                decodedSignals += quint64(decoded.size());
                if (!decoded.isEmpty())
                    checksum += decoded.constLast().physical;
            }
        }
    });
    quint64 sum = 0;
    const double copyMs = bestMs(3, [&] {
        for (int pass = 0; pass < passes; ++pass) {
            for (const Frame &frame : qAsConst(frames)) {
                quint8 copy[8];
                std::memcpy(copy, frame.data, sizeof copy);
                for (int i = 0; i < frame.dlc; ++i)
                    sum += copy[i];
            }
        }
    });
    const double total = double(frames.size()) * passes;
    std::printf("decode: %d messages of %d databases, %.0f frames, %.1f signals per frame\n",
                messages.size(), files.size(), total, double(decodedSignals) / total);
    std::printf("  lookup + decode every signal %10.0f frames/s   (target >= 1,000,000)\n",
                total / (decodeMs / 1e3));
    std::printf("  baseline memcpy + sum        %10.0f frames/s\n", total / (copyMs / 1e3));
    std::printf("(checksums %g %llu)\n", checksum, static_cast<unsigned long long>(sum));
    return 0;
}
