#pragma once

// Bit timing of the adapter's 72 MHz CAN clock: the timing codes of the standard bit rates, and
// every prescaler / time-segment combination for another rate with a sample point between 75 % and
// 88 %. The device panel, its calculator and the command line all choose their codes here.

#include <QVector>
#include <QtGlobal>

namespace BitTiming {

constexpr int CanClockKHz = 72000;
constexpr int MinBaud = 5;
constexpr int MaxBaud = 1000;

struct StandardRate
{
    int kbps;
    quint32 code;
};

// The ten standard rates, fastest first.
constexpr StandardRate StandardRates[] = {
    { 1000, 0x030C0004 }, { 800, 0x030C0005 }, { 500, 0x030C0008 }, { 250, 0x020B0012 },
    { 125, 0x020B0024 },  { 100, 0x020D0028 }, { 50, 0x020F0048 },  { 20, 0x020F00B4 },
    { 10, 0x020F0168 },   { 5, 0x020F02D0 },
};

struct Candidate
{
    quint16 prescaler = 0;
    quint8 tbs1 = 0;
    quint8 tbs2 = 0;
    double samplePoint = 0.0;

    quint32 regsCode() const
    {
        return quint32(tbs2) << 24 | quint32(tbs1) << 16 | quint32(prescaler);
    }
};

// Every candidate for `kbps`, ascending by prescaler, then TBS1, then TBS2; none for a rate the
// clock cannot give exactly.
QVector<Candidate> candidatesFor(int kbps);

} // namespace BitTiming
