#include "signalhub.h"

#include "candb/databaseset.h"

SignalHub *SignalHub::instance()
{
    static SignalHub *hub = new SignalHub;
    return hub;
}

SignalHub::SignalHub(QObject *parent)
    : QObject(parent)
{
    m_databases = new DatabaseSet(this);
    m_store = new SignalStore(m_databases, this);
}

void SignalHub::requestPlot(const QVector<SignalKey> &keys)
{
    if (!keys.isEmpty())
        emit plotRequested(keys);
}
