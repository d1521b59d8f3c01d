#pragma once

// Records every signal of the codec in the order it was emitted, with its arguments as text,
// so tests can compare whole sequences across different signals.

#include <QObject>
#include <QMutex>
#include <QStringList>

class contextProtocol;

class SignalRecorder : public QObject
{
    Q_OBJECT
public:
    explicit SignalRecorder(contextProtocol *codec, QObject *parent = nullptr,
                            Qt::ConnectionType type = Qt::AutoConnection);

    QStringList events() const;
    int count() const;
    void clear();
    // Waits, processing events, until at least n events arrived.
    bool waitFor(int n, int timeoutMs = 3000);

private:
    void add(const QString &event);

    mutable QMutex m_mutex;
    QStringList m_events;
};
