#pragma once

// A CAN database as read from one DBC file: its messages, found by identifier in constant time,
// and what the file says beside them. A value type: copies share nothing mutable.

#include "candb/dbcmessage.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

class CanDatabase
{
public:
    // The message with this identifier, or nullptr. The pointer stays valid as long as this
    // database is not changed.
    const DbcMessage *message(quint32 id, bool extended) const;

    const QVector<DbcMessage> &messages() const { return m_messages; }
    // Adds `message`; false (and nothing added) when one with its identifier is already there.
    bool addMessage(const DbcMessage &message);
    // Mutable access while the reader fills in comments, attributes and value names.
    DbcMessage *mutableMessage(quint32 id, bool extended);

    QString fileName;
    QString comment;
    QStringList nodes; // BU_
    QHash<QString, QMap<qint64, QString>> valueTables; // VAL_TABLE_
    QHash<QString, QStringList> signalGroups; // SIG_GROUP_: "message id/name" -> signals

private:
    static quint32 key(quint32 id, bool extended) { return extended ? (id | 0x80000000u) : id; }

    QVector<DbcMessage> m_messages;
    QHash<quint32, int> m_index;
};
