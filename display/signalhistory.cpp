#include "signalhistory.h"

#include <vector>

QHash<SignalKey, QVector<SignalSample>> SignalHistory::decode(DatabaseSet *databases,
                                                              const CanRecordBuffer &history,
                                                              const QVector<SignalKey> &keys)
{
    // A store of its own: the live one keeps running beside it.
    SignalStore store(databases);
    store.setTracked(keys);
    std::vector<LogFrame> chunk;
    constexpr int ChunkSize = 4096;
    chunk.reserve(ChunkSize);
    for (int i = 0; i < history.size(); ++i) {
        chunk.push_back(history.at(i).frame());
        if (int(chunk.size()) == ChunkSize) {
            store.add(chunk.data(), int(chunk.size()));
            chunk.clear();
        }
    }
    store.add(chunk.data(), int(chunk.size()));
    QHash<SignalKey, QVector<SignalSample>> out;
    for (const SignalKey &key : keys)
        out.insert(key, store.samples(key));
    return out;
}
