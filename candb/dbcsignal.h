#pragma once

// One signal of a CAN database message: where its bits sit in the frame, how raw bits become a
// physical value, and the names some raw values carry. Plain data; the codec does the work.

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

struct DbcSignal
{
    enum ByteOrder { Intel, Motorola };
    enum ValueType { Integer, Float32, Float64 };

    // A range of multiplexor values that selects a signal (extended multiplexing may give several).
    struct MuxRange
    {
        quint64 low = 0;
        quint64 high = 0;
    };

    QString name;
    // As the file writes it: Intel counts the least significant bit, Motorola names the most
    // significant bit in the DBC's numbering (bit 7 of byte 0 is 7, bit 0 of byte 1 is 8).
    int startBit = 0;
    int length = 1; // 1..64
    ByteOrder byteOrder = Intel;
    bool isSigned = false;
    ValueType valueType = Integer;
    double factor = 1.0;
    double offset = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    QString unit;
    QStringList receivers;
    QString comment;

    // Multiplexing. A multiplexor ("M", or "mNM" when it is itself multiplexed) selects which
    // multiplexed signals ("mN") a frame carries. `multiplexorName` is the switch that selects
    // this signal: the message's only "M" signal for simple multiplexing, or what SG_MUL_VAL_
    // names; empty for a signal every frame carries.
    bool isMultiplexor = false;
    bool isMultiplexed = false;
    QString multiplexorName;
    QVector<MuxRange> muxRanges; // "mN" alone gives {N, N}; SG_MUL_VAL_ replaces them
    // Index of the multiplexor in the message's signalList, filled in by CanDatabase::addMessage;
    // -1 makes the codec look `multiplexorName` up.
    int multiplexorIndex = -1;

    QMap<qint64, QString> valueNames; // VAL_, keyed by raw value
    bool hasStartValue = false;
    double startValue = 0.0; // GenSigStartValue, raw

    bool isSelectedBy(quint64 muxValue) const
    {
        for (const MuxRange &range : muxRanges) {
            if (muxValue >= range.low && muxValue <= range.high)
                return true;
        }
        return false;
    }
};
