#include "candb/candatabase.h"

#include "candb/signalcodec.h"

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
    SignalCodec::prepare(&added);
    m_index.insert(k, m_messages.size());
    m_messages.append(added);
    return true;
}

DbcMessage *CanDatabase::mutableMessage(quint32 id, bool extended)
{
    const auto it = m_index.constFind(key(id, extended));
    return it == m_index.cend() ? nullptr : &m_messages[it.value()];
}
