#include "candb/databaseset.h"

#include <QMutexLocker>
#include <QVariantMap>

namespace {

quint32 matchKey(quint32 id, bool extended)
{
    return extended ? (id | 0x80000000u) : id;
}

DatabaseSet::Entry entryFor(const QString &path, int channels, const DbcReadResult &result)
{
    DatabaseSet::Entry entry;
    entry.path = path;
    entry.channels = channels;
    entry.problems = result.problems;
    entry.error = result.error;
    if (result.ok)
        entry.database = QSharedPointer<const CanDatabase>::create(result.database);
    return entry;
}

int validChannels(int channels)
{
    return (channels & DatabaseSet::BothChannels) ? (channels & DatabaseSet::BothChannels)
                                                  : DatabaseSet::BothChannels;
}

} // namespace

DatabaseSet::Match DatabaseSet::Snapshot::find(int channel, quint32 id, bool extended) const
{
    if (channel < 1 || channel > 2)
        return Match();
    return m_byChannel[channel - 1].value(matchKey(id, extended));
}

DatabaseSet::DatabaseSet(QObject *parent)
    : QObject(parent)
    , m_snapshot(QSharedPointer<const Snapshot>::create())
{
}

QSharedPointer<const DatabaseSet::Snapshot> DatabaseSet::snapshot() const
{
    QMutexLocker locker(&m_mutex);
    return m_snapshot;
}

QVector<DatabaseSet::Entry> DatabaseSet::entries() const
{
    return snapshot()->entries;
}

DbcReadResult DatabaseSet::add(const QString &path, int channels)
{
    const DbcReadResult result = DbcReader::readFile(path);
    QVector<Entry> list = entries();
    list.append(entryFor(path, validChannels(channels), result));
    publish(list);
    return result;
}

DbcReadResult DatabaseSet::reload(int index)
{
    QVector<Entry> list = entries();
    if (index < 0 || index >= list.size()) {
        DbcReadResult result;
        result.error = DbcReader::tr("没有这个数据库");
        return result;
    }
    const DbcReadResult result = DbcReader::readFile(list.at(index).path);
    list[index] = entryFor(list.at(index).path, list.at(index).channels, result);
    publish(list);
    return result;
}

void DatabaseSet::remove(int index)
{
    QVector<Entry> list = entries();
    if (index < 0 || index >= list.size())
        return;
    list.removeAt(index);
    publish(list);
}

void DatabaseSet::setChannels(int index, int channels)
{
    QVector<Entry> list = entries();
    if (index < 0 || index >= list.size() || list.at(index).channels == validChannels(channels))
        return;
    list[index].channels = validChannels(channels);
    publish(list);
}

QVariantList DatabaseSet::toSettings() const
{
    QVariantList list;
    for (const Entry &entry : entries()) {
        QVariantMap map;
        map.insert(QStringLiteral("path"), entry.path);
        map.insert(QStringLiteral("channels"), entry.channels);
        list.append(map);
    }
    return list;
}

void DatabaseSet::fromSettings(const QVariantList &list)
{
    QVector<Entry> entries;
    for (const QVariant &item : list) {
        const QVariantMap map = item.toMap();
        const QString path = map.value(QStringLiteral("path")).toString();
        if (path.isEmpty())
            continue;
        const int channels = validChannels(map.value(QStringLiteral("channels"), 3).toInt());
        entries.append(entryFor(path, channels, DbcReader::readFile(path)));
    }
    publish(entries);
}

void DatabaseSet::publish(QVector<Entry> entries)
{
    auto snapshot = QSharedPointer<Snapshot>::create();
    snapshot->entries = std::move(entries);
    // Entries hold their databases by shared pointer, so the messages stay where they are for
    // as long as the snapshot lives.
    for (int e = 0; e < snapshot->entries.size(); ++e) {
        const Entry &entry = snapshot->entries.at(e);
        if (!entry.database)
            continue;
        for (const DbcMessage &message : entry.database->messages()) {
            Match match;
            match.message = &message;
            match.entry = e;
            const quint32 key = matchKey(message.id, message.extended);
            for (int channel = 0; channel < 2; ++channel) {
                if ((entry.channels & (1 << channel))
                    && !snapshot->m_byChannel[channel].contains(key))
                    snapshot->m_byChannel[channel].insert(key, match);
            }
        }
    }
    {
        QMutexLocker locker(&m_mutex);
        m_snapshot = snapshot;
    }
    emit changed();
}
