#pragma once

// Writes decoded signal values as CSV for spreadsheets and pandas. Wide form: a "time" column and
// one column per signal, one row per time at which any of them changed, empty where a signal has
// no value at that time. Long form: one row per value, "time,channel,message,signal,value,unit".
// Times are device seconds with the clock's 0.1 ms resolution; values in the shortest text that
// reads back to the same double.

#include "candb/signalstore.h"

#include <QVector>

class QIODevice;

class SignalCsvWriter
{
public:
    enum Form { Wide, Long };

    struct Column
    {
        SignalKey key;
        QString messageName;
        QString unit;
        QVector<SignalSample> samples; // by time
    };

    // The wide form's column titles: "message.signal", with the channel added where two columns
    // would otherwise share a title.
    static QStringList titles(const QVector<Column> &columns);
    // False when the device would not take the text.
    static bool write(QIODevice *out, Form form, const QVector<Column> &columns);
};
