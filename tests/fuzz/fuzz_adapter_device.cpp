// Arbitrary host command bytes, arriving in arbitrary pieces at arbitrary times, drive the
// virtual adapter's device logic. What it sends back must stay a stream of whole, known records
// (unless byte faults are switched on), with frames the host can parse, device time that never
// runs backwards on a channel, and a bounded amount of output per step.
//
// Input layout: 4 setting bytes, then repeated
// [time step byte][chunk length byte][that many command bytes].

#include "link/recordframer.h"
#include "protocol/canframe.h"
#include "protocol/contextprotocol.h"
#include "simulator/adapterdevice.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

AdapterSettings settingsFrom(const uint8_t *s)
{
    AdapterSettings settings;
    settings.frameRate[0] = (s[0] & 0x0F) * 100;
    settings.frameRate[1] = (s[0] >> 4) * 100;
    settings.loopback = s[1] & 0x01;
    settings.sequenceNumbers = s[1] & 0x02;
    settings.busLimit = s[1] & 0x04;
    settings.silent = s[1] & 0x08;
    settings.refuse = s[1] & 0x10;
    settings.streamBeforeOpen = s[1] & 0x20;
    settings.channelCount = s[1] >> 6;
    settings.errorFramesPerSecond = s[2] * 10.0;
    settings.garbageEvery = s[3] & 0x0F;
    settings.dropEvery = s[3] >> 4;
    return settings;
}

// Checks the stream of a fault-free device record by record.
struct StreamChecker
{
    quint32 lastStamp[2] = { 0, 0 };
    bool seen[2] = { false, false };

    void take(const char *r)
    {
        check(quint8(r[0]) == Wire::RecordMark && Wire::isRecordCode(quint8(r[1])),
              "record with an unknown key");
        if (quint8(r[1]) != Wire::CANFrame)
            return;
        const int channel = quint8(r[2]);
        check(channel == 1 || channel == 2, "frame on a channel the adapter does not have");
        const quint32 stamp = Wire::readU32(r + 16);
        if (seen[channel - 1])
            check(stamp >= lastStamp[channel - 1], "device time ran backwards on a channel");
        seen[channel - 1] = true;
        lastStamp[channel - 1] = stamp;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const AdapterSettings settings = settingsFrom(data);
    const bool faultFree
        = settings.garbageEvery == 0 && settings.dropEvery == 0 && !settings.streamBeforeOpen;

    AdapterDevice device;
    device.setSettings(settings);
    device.setSeed(quint64(size));
    StreamChecker checker;
    RecordFramer framer;
    QByteArray records;
    quint64 nowUs = 0;

    size_t at = 4;
    while (at + 2 <= size) {
        nowUs += quint64(data[at]) * 1000;
        const size_t length = qMin<size_t>(data[at + 1], size - at - 2);
        at += 2;
        device.receive(reinterpret_cast<const char *>(data + at), int(length), nowUs);
        at += length;
        device.advance(nowUs);

        QByteArray &out = device.output();
        // At most 1500 frames a second per channel for at most a second of catch-up, plus the
        // answers and reports: anything far beyond that is a runaway.
        check(out.size() < 200000, "output out of all proportion");
        if (faultFree) {
            check(out.size() % Wire::RecordSize == 0, "partial record from a fault-free device");
            for (int pos = 0; pos < out.size(); pos += Wire::RecordSize)
                checker.take(out.constData() + pos);
        }
        const int produced = framer.feed(out, records);
        check(records.size() == produced * Wire::RecordSize, "framer passed a partial record");
        // On a damaged line an aligned block that lost its mark is passed on for the decoder to
        // skip alone; an undamaged stream never yields one.
        if (faultFree) {
            for (int pos = 0; pos < records.size(); pos += Wire::RecordSize)
                check(quint8(records.at(pos)) == Wire::RecordMark, "framer passed a non-record");
        }
        out.clear();
    }
    return 0;
}
