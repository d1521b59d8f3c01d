#include "protocol/bittiming.h"

namespace BitTiming {

namespace {
constexpr int MaxTbs1 = 15;
constexpr int MaxTbs2 = 7;
// TBS1 + TBS2 + 3 quanta per bit, from 3 (both zero) to 25 (both at their maximum).
constexpr int MinQuanta = 3;
constexpr int MaxQuanta = MaxTbs1 + MaxTbs2 + 3;
constexpr int MinSamplePercent = 75;
constexpr int MaxSamplePercent = 88;
} // namespace

QVector<Candidate> candidatesFor(int kbps)
{
    QVector<Candidate> found;
    if (kbps < MinBaud || kbps > MaxBaud || CanClockKHz % kbps != 0)
        return found;

    // A combination matches when prescaler * quanta == 72000 / kbps. Walking the divisors of
    // that product in ascending order, and TBS1 ascending within each (TBS2 then follows from
    // the quanta), visits the matches in the same order as a full prescaler/TBS1/TBS2 sweep
    // would, without the 8 million multiplications.
    const int product = CanClockKHz / kbps;
    for (int prescaler = 1; prescaler <= product && prescaler <= 0xFFFF; ++prescaler) {
        if (product % prescaler != 0)
            continue;
        const int quanta = product / prescaler;
        if (quanta < MinQuanta || quanta > MaxQuanta)
            continue;
        for (int tbs1 = 0; tbs1 <= MaxTbs1; ++tbs1) {
            const int tbs2 = quanta - MinQuanta - tbs1;
            if (tbs2 < 0 || tbs2 > MaxTbs2)
                continue;
            // Integer division on purpose: 88.9 % still counts as 88.
            const int percent = 100 * (tbs1 + 2) / quanta;
            if (percent < MinSamplePercent || percent > MaxSamplePercent)
                continue;
            Candidate c;
            c.prescaler = quint16(prescaler);
            c.tbs1 = quint8(tbs1);
            c.tbs2 = quint8(tbs2);
            c.samplePoint = double(tbs1 + 2) / double(quanta);
            found.append(c);
        }
    }
    return found;
}

} // namespace BitTiming
