// Time the bit-rate calculator's enumeration against the plain 65536 x 16 x 8 sweep it replaces:
// every rate from 5 to 1000 kbps, and one full sweep per rate that has candidates.
// Usage: bench-baudcalc

#include "device/canbaudratecalculator.h"

#include <QElapsedTimer>

#include <cstdio>

namespace {
int sweep(int baud)
{
    int found = 0;
    for (int p = 0; p <= 65535; ++p) {
        for (int t1 = 0; t1 <= 15; ++t1) {
            for (int t2 = 0; t2 <= 7; ++t2) {
                if (p * baud * (t1 + t2 + 3) != 72000)
                    continue;
                const int percent = (100 * (t1 + 2)) / (t1 + t2 + 3);
                if (percent >= 75 && percent <= 88)
                    ++found;
            }
        }
    }
    return found;
}
} // namespace

int main()
{
    QElapsedTimer timer;
    timer.start();
    int candidates = 0;
    for (int baud = 5; baud <= 1000; ++baud)
        candidates += CANbaudRateCalculator::candidatesFor(baud).size();
    const qint64 fastNs = timer.nsecsElapsed();
    std::printf("divisor walk, all 996 rates: %d candidates in %.3f ms\n", candidates,
                fastNs / 1e6);

    timer.restart();
    int swept = 0;
    int rates = 0;
    for (int baud = 5; baud <= 1000; ++baud) {
        if (72000 % baud != 0)
            continue;
        swept += sweep(baud);
        ++rates;
    }
    const qint64 sweepNs = timer.nsecsElapsed();
    std::printf("full sweep, %d dividing rates: %d candidates in %.1f ms (%.1f ms per rate)\n",
                rates, swept, sweepNs / 1e6, sweepNs / 1e6 / rates);
    return candidates == swept ? 0 : 1;
}
