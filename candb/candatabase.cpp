#include "candb/candatabase.h"

const DbcMessage *CanDatabase::message(quint32 id, bool extended) const
{
    const auto it = m_index.constFind(key(id, extended));
    return it == m_index.cend() ? nullptr : &m_messages.at(it.value());
}

bool CanDatabase::addMessage(const DbcMessage &message)
{
    const quint32 k = key(message.id, message.extended);
    if (m_index.contains(k))
        return false;
    DbcMessage added = message;
    // The codec finds each signal's multiplexor by index on every frame, not by name.
    QHash<QString, int> byName;
    for (const DbcSignal &signal : qAsConst(added.signalList)) {
        if (!signal.multiplexorName.isEmpty()) {
            for (int i = added.signalList.size() - 1; i >= 0; --i)
                byName.insert(added.signalList.at(i).name, i);
            break;
        }
    }
    for (DbcSignal &signal : added.signalList) {
        signal.multiplexorIndex
            = signal.multiplexorName.isEmpty() ? -1 : byName.value(signal.multiplexorName, -1);
    }
    m_index.insert(k, m_messages.size());
    m_messages.append(added);
    return true;
}

DbcMessage *CanDatabase::mutableMessage(quint32 id, bool extended)
{
    const auto it = m_index.constFind(key(id, extended));
    return it == m_index.cend() ? nullptr : &m_messages[it.value()];
}
