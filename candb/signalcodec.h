#pragma once

// Turns frame bytes into signal values and back. Exact: raw values are taken and put bit by bit,
// physical values computed in double. A signal whose bits reach past the frame's length, or that
// its multiplexor does not select, is reported missing; nothing is ever made up from absent
// bytes. Thread-safe: it holds no state.

#include "candb/dbcmessage.h"

#include <QString>
#include <QVector>

struct DecodedSignal
{
    int signalIndex = -1; // into DbcMessage::signalList
    quint64 rawBits = 0; // the signal's bits, right-aligned
    double raw = 0.0; // rawBits as the signal's integer (two's complement if signed) or float
    double physical = 0.0;
};

class SignalCodec
{
public:
    // The signal's bits from `data` (dlc bytes); false when they reach past the dlc.
    static bool extractBits(const DbcSignal &signal, const quint8 *data, int dlc, quint64 *bits);
    // Puts the lowest `length` bits of `bits` into `data` (8 bytes) at the signal's place.
    static void insertBits(const DbcSignal &signal, quint64 bits, quint8 *data);

    // rawBits read as the signal's value type: sign-extended integer, or float/double bits.
    static double rawValue(const DbcSignal &signal, quint64 bits);
    static double physicalValue(const DbcSignal &signal, quint64 bits);

    // Resolves each signal's multiplexor to its index and fills message->layout.
    static void prepare(DbcMessage *message);

    // Index of the switch that selects `signal` in message.signalList, or -1.
    static int multiplexorOf(const DbcMessage &message, const DbcSignal &signal);

    // Every signal of `message` the frame carries, in signalList order, into `out` (cleared
    // first). Remote frames are not passed here: they carry no signals.
    static void
    decode(const DbcMessage &message, const quint8 *data, int dlc, QVector<DecodedSignal> *out);

    // Bits for a physical value: (physical - offset) / factor rounded to the nearest integer for
    // integer signals, the float's bits for float signals. False when the value does not fit the
    // signal's length and sign (nothing is clamped silently).
    static bool bitsForPhysical(const DbcSignal &signal, double physical, quint64 *bits);
    // Bits for a named value ("Off", "Park"), false when the signal has no such name.
    static bool bitsForName(const DbcSignal &signal, const QString &name, quint64 *bits);

    // What the user sees: the value's name when it has one, else the physical value in the
    // shortest exact form the factor allows. No unit.
    static QString valueText(const DbcSignal &signal, const DecodedSignal &decoded);
};
