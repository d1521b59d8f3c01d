#include "signalhub.h"

#include "candb/databaseset.h"
#include "display/candatadisplaysupport.h"

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
    // Every frame the history takes, live or from an opened log, is decoded into the store.
    CAN_DataDisplaySupport::instance()->setSignalStore(m_store);
}

void SignalHub::requestPlot(const QVector<SignalKey> &keys)
{
    if (!keys.isEmpty())
        emit plotRequested(keys);
}
