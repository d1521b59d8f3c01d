#pragma once

// One message of a CAN database: its identifier, length, sender and the signals it carries.

#include "candb/dbcsignal.h"

#include <QString>
#include <QStringList>
#include <QVector>

struct DbcMessage
{
    quint32 id = 0; // without the file's extended-identifier bit 31
    bool extended = false; // bit 31 in BO_, or VFrameFormat saying so
    QString name;
    int dlc = 8;
    QString transmitter; // the BO_ line's sender
    QStringList transmitters; // BO_TX_BU_
    QString comment;
    int cycleTimeMs = 0; // GenMsgCycleTime, 0 when not given
    QVector<DbcSignal> signalList;

    // Index of the signal named `name` in signalList, or -1.
    int signalIndex(const QString &name) const
    {
        for (int i = 0; i < signalList.size(); ++i) {
            if (signalList.at(i).name == name)
                return i;
        }
        return -1;
    }
};
