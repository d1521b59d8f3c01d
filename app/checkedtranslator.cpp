#include "app/checkedtranslator.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace {
const uchar Magic[] = { 0x3c, 0xb8, 0x64, 0x18, 0xca, 0xef, 0x9c, 0x95,
                        0xcd, 0x21, 0x1c, 0xbf, 0x60, 0xa1, 0xbd, 0xdd };

// Block tags of the file and item tags of one message, as the translator reads them.
enum Block : uchar {
    Contexts = 0x2f,
    Hashes = 0x42,
    Messages = 0x69,
    NumerusRules = 0x88,
    Dependencies = 0x96,
    Language = 0xa7,
};
enum Item : uchar {
    End = 1,
    SourceText16 = 2,
    Translation = 3,
    Context16 = 4,
    Obsolete1 = 5,
    SourceText = 6,
    Context = 7,
    Comment = 8,
    Obsolete2 = 9,
};

quint32 read32(const uchar *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

quint16 read16(const uchar *p)
{
    return quint16((p[0] << 8) | p[1]);
}

struct Span
{
    const uchar *data = nullptr;
    quint32 size = 0;
};

// Every chain of context names the context table points into ends inside the block.
bool contextsReadable(Span block)
{
    if (block.size < 2)
        return false;
    const quint32 buckets = read16(block.data);
    const quint64 chainsAt = 2 + 2 * quint64(buckets);
    if (buckets == 0 || chainsAt > block.size)
        return false;
    for (quint32 b = 0; b < buckets; ++b) {
        const quint16 offset = read16(block.data + 2 + 2 * b);
        if (offset == 0)
            continue;
        quint64 at = chainsAt + 2 * quint64(offset);
        for (;;) {
            if (at >= block.size)
                return false;
            const quint8 length = block.data[at++];
            if (length == 0)
                break;
            at += length;
            if (at > block.size)
                return false;
        }
    }
    return true;
}

// The items of the message at `offset`, up to its end, each with its whole text inside the block.
bool messageReadable(Span block, quint32 offset)
{
    quint64 at = offset;
    for (;;) {
        if (at >= block.size)
            return true; // read as the end of the message
        const uchar tag = block.data[at++];
        switch (tag) {
        case Translation:
        case SourceText:
        case Context:
        case Comment: {
            if (at + 4 > block.size)
                return false;
            const quint32 length = read32(block.data + at);
            at += 4;
            if (length > block.size - at)
                return false;
            at += length;
            break;
        }
        case Obsolete1:
            at += 4;
            break;
        default:
            // The end, or a tag the translator stops at.
            return true;
        }
    }
}
} // namespace

QString CheckedTranslator::problemIn(const QByteArray &data)
{
    if (data.size() < int(sizeof Magic) || data.size() > MaxFileSize)
        return QStringLiteral("size %1").arg(data.size());
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    if (std::memcmp(bytes, Magic, sizeof Magic) != 0)
        return QStringLiteral("not a translation file");

    Span contexts;
    Span hashes;
    Span messages;
    const uchar *at = bytes + sizeof Magic;
    const uchar *end = bytes + data.size();
    while (end - at >= 5) {
        const uchar tag = at[0];
        const quint32 length = read32(at + 1);
        at += 5;
        if (tag == 0 || length == 0)
            break;
        if (quint64(end - at) < length)
            return QStringLiteral("block 0x%1 runs past the end").arg(tag, 2, 16, QLatin1Char('0'));
        const Span block { at, length };
        switch (tag) {
        case Contexts:
            contexts = block;
            break;
        case Hashes:
            hashes = block;
            break;
        case Messages:
            messages = block;
            break;
        case NumerusRules:
        case Language:
            break;
        default:
            // Including a list of further files to load: this one must stand alone.
            return QStringLiteral("unexpected block 0x%1").arg(tag, 2, 16, QLatin1Char('0'));
        }
        at += length;
    }

    if (contexts.size != 0 && !contextsReadable(contexts))
        return QStringLiteral("damaged context table");
    if (hashes.size % 8 != 0)
        return QStringLiteral("damaged message index");
    for (quint32 entry = 0; entry < hashes.size; entry += 8) {
        const quint32 offset = read32(hashes.data + entry + 4);
        if (offset >= messages.size || !messageReadable(messages, offset))
            return QStringLiteral("damaged message at %1").arg(offset);
    }
    return QString();
}

bool CheckedTranslator::loadChecked(const QString &path, QString *why)
{
    // A pipe or device under that name could block the start or feed it without end.
    if (!QFileInfo(path).isFile()) {
        if (why)
            *why = QStringLiteral("no regular file");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why)
            *why = file.errorString();
        return false;
    }
    // Read no more than a translation can be, whatever the path turns out to be.
    const QByteArray data = file.read(MaxFileSize + 1);
    const QString problem = problemIn(data);
    if (!problem.isEmpty()) {
        if (why)
            *why = problem;
        return false;
    }
    m_data = data;
    if (!load(reinterpret_cast<const uchar *>(m_data.constData()), m_data.size())) {
        m_data.clear();
        if (why)
            *why = QStringLiteral("rejected by the translator");
        return false;
    }
    return true;
}
