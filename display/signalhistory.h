#pragma once

// Decodes the history (or an opened log) for chosen signals, with the same times the live store
// gives them: for a plot's backfill and for CSV export. Runs on any thread; the history copy
// shares its records, so it is cheap to hand over.

#include "candb/signalstore.h"
#include "display/canrecordbuffer.h"

#include <QHash>
#include <QVector>

class SignalHistory
{
public:
    static QHash<SignalKey, QVector<SignalSample>>
    decode(DatabaseSet *databases, const CanRecordBuffer &history, const QVector<SignalKey> &keys);
};
