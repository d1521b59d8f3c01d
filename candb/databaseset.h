#pragma once

// The CAN databases in use, each for channel 1, channel 2 or both. Changed on the GUI thread;
// decoding on any thread works on a snapshot, which stays valid and unchanged however the set
// changes afterwards.

#include "candb/dbcreader.h"

#include <QMutex>
#include <QObject>
#include <QSharedPointer>
#include <QVariantList>
#include <QVector>

class DatabaseSet : public QObject
{
    Q_OBJECT
public:
    enum Channels { Channel1 = 1, Channel2 = 2, BothChannels = 3 };

    struct Entry
    {
        QString path;
        int channels = BothChannels;
        QSharedPointer<const CanDatabase> database; // null when the file could not be read
        QVector<DbcProblem> problems;
        QString error; // why the file was refused; empty when it loaded
    };

    // What a frame decodes with: the message and the database it comes from.
    struct Match
    {
        const DbcMessage *message = nullptr;
        int entry = -1; // index into entries
        explicit operator bool() const { return message != nullptr; }
    };

    class Snapshot
    {
    public:
        // channel is 1 or 2. When several databases describe the identifier, the first listed wins.
        Match find(int channel, quint32 id, bool extended) const;
        QVector<Entry> entries;
        bool isEmpty() const { return entries.isEmpty(); }

    private:
        friend class DatabaseSet;
        QHash<quint32, Match> m_byChannel[2];
    };

    explicit DatabaseSet(QObject *parent = nullptr);

    QSharedPointer<const Snapshot> snapshot() const;
    QVector<Entry> entries() const;

    // Reads `path` and adds it (also when it has problems; an entry that was refused is added
    // too, so the user sees why). Returns the read's result for the message to show.
    DbcReadResult add(const QString &path, int channels);
    DbcReadResult reload(int index);
    void remove(int index);
    void setChannels(int index, int channels);

    // The list as settings keep it: paths and channels; fromSettings reads every file again.
    QVariantList toSettings() const;
    void fromSettings(const QVariantList &list);

signals:
    void changed();

private:
    void publish(QVector<Entry> entries);

    mutable QMutex m_mutex;
    QSharedPointer<const Snapshot> m_snapshot;
};
