#pragma once

// One message of a CAN database: its identifier, length, sender and the signals it carries.

#include "candb/dbcsignal.h"

#include <QString>
#include <QStringList>
#include <QVector>

// What decoding reads of one signal, packed into a few bytes; SignalCodec::prepare fills it.
struct DbcSignalLayout
{
    enum Flag : quint8 { Motorola = 1, Signed = 2, Float32 = 4, Float64 = 8, Multiplexed = 16 };

    quint64 mask = 0;
    double factor = 1.0;
    double offset = 0.0;
    int multiplexor = -1; // index into signalList
    quint8 shift = 0; // in the frame read as one little- (Intel) or big-endian (Motorola) number
    quint8 bytes = 0xFF; // data bytes the signal needs; past 8 when it cannot be read at all
    quint8 length = 0;
    quint8 flags = 0;
};

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
    // Filled by SignalCodec::prepare, which CanDatabase::addMessage calls, so that a frame's
    // decoding touches a few bytes per signal. Call it again after changing signalList; a layout
    // whose size differs from signalList's is ignored.
    QVector<DbcSignalLayout> layout;

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
