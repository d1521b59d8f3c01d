#include "adapterdevice.h"

#include "protocol/canframe.h"
#include "protocol/contextprotocol.h"

#include <cstring>
#include <iterator>

namespace {
constexpr quint64 ReportPeriodUs = 500000;
// A half-received command is given up after this much silence, so a stray 0xF0 cannot
// swallow the next real command for good.
constexpr quint64 CommandTimeoutUs = 100000;
// After a stall (thread starved on a busy machine) the schedule catches up on at most this
// much missed traffic, delivered as one burst.
constexpr double MaxCatchUpUs = 1000000.0;
constexpr char ModelName[] = "RCAN-U01";

// A bus carries a few nodes with fixed identifiers and now and then something unexpected.
constexpr quint32 StandardIds[]
    = { 0x100, 0x101, 0x18F, 0x1A0, 0x200, 0x2F0, 0x321, 0x3E8, 0x400, 0x555, 0x6FF, 0x7DF };
constexpr quint32 ExtendedIds[]
    = { 0x18FF50E5, 0x18FEF100, 0x0CF00400, 0x18FEE000, 0x1CECFF00, 0x10FF1234 };

void putU32(char *p, quint32 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
    p[2] = char((v >> 16) & 0xFF);
    p[3] = char((v >> 24) & 0xFF);
}

// CAN's CRC-15 over the bits from start of frame to the end of the data field.
quint16 crc15(const quint8 *bits, int count)
{
    quint16 crc = 0;
    for (int i = 0; i < count; ++i) {
        const bool next = ((crc >> 14) & 1) ^ bits[i];
        crc = quint16((crc << 1) & 0x7FFF);
        if (next)
            crc ^= 0x4599;
    }
    return crc;
}

void pushBits(quint8 *bits, int &n, quint32 value, int width)
{
    for (int i = width - 1; i >= 0; --i)
        bits[n++] = quint8((value >> i) & 1);
}
} // namespace

AdapterDevice::AdapterDevice() = default;

void AdapterDevice::setSettings(const AdapterSettings &settings)
{
    const bool preStreamSwitchedOn = settings.streamBeforeOpen && !m_settings.streamBeforeOpen;
    m_settings = settings;
    if (preStreamSwitchedOn)
        m_preStreamDone = false;
}

quint32 AdapterDevice::clockAt(quint64 nowUs) const
{
    return quint32(m_clockStart + nowUs / 100); // wraps at 2^32 by itself
}

bool AdapterDevice::isChannelStarted(int channel) const
{
    return channel >= 1 && channel <= Channels && m_channels[channel - 1].started;
}

bool AdapterDevice::isGenerating() const
{
    for (int index = 0; index < Channels; ++index) {
        if (m_channels[index].started && m_settings.frameRate[index] > 0)
            return true;
    }
    return false;
}

double AdapterDevice::bitRate(quint32 timingCode)
{
    const quint32 prescaler = timingCode & 0xFFFF;
    const quint32 tbs1 = (timingCode >> 16) & 0xFF;
    const quint32 tbs2 = timingCode >> 24;
    if (prescaler == 0 || tbs1 > 15 || tbs2 > 7)
        return 0.0;
    const quint32 quanta = prescaler * (tbs1 + tbs2 + 3);
    // 5 kbps .. 1000 kbps on the 72 MHz clock.
    if (quanta < CanClockHz / 1000000 || quanta > CanClockHz / 5000)
        return 0.0;
    return double(CanClockHz) / quanta;
}

int AdapterDevice::frameBits(const char *canFrame)
{
    const quint8 info = quint8(canFrame[0]);
    const bool extended = info & CanFrame::CANFRAME_EXTENDED;
    const bool remote = info & CanFrame::CANFRAME_REMOTE;
    const int dlc = info & CanFrame::DlcMask;
    const quint32 id = Wire::readU32(canFrame + 1);
    const int dataBytes = remote ? 0 : qMin(dlc, CanFrame::MaxDlc);

    quint8 bits[160];
    int n = 0;
    pushBits(bits, n, 0, 1); // start of frame
    if (extended) {
        pushBits(bits, n, (id >> 18) & 0x7FF, 11);
        pushBits(bits, n, 1, 1); // SRR
        pushBits(bits, n, 1, 1); // IDE
        pushBits(bits, n, id & 0x3FFFF, 18);
        pushBits(bits, n, remote ? 1 : 0, 1);
        pushBits(bits, n, 0, 2); // r1, r0
    } else {
        pushBits(bits, n, id & 0x7FF, 11);
        pushBits(bits, n, remote ? 1 : 0, 1);
        pushBits(bits, n, 0, 2); // IDE, r0
    }
    pushBits(bits, n, quint32(dlc), 4);
    for (int i = 0; i < dataBytes; ++i)
        pushBits(bits, n, quint8(canFrame[CanFrame::DataOffset + i]), 8);
    pushBits(bits, n, crc15(bits, n), 15);

    // After five equal bits the transmitter inserts one of the opposite level, which itself
    // starts the next run.
    int stuffed = 0;
    int run = 0;
    int level = -1;
    for (int i = 0; i < n; ++i) {
        if (bits[i] == level) {
            ++run;
        } else {
            level = bits[i];
            run = 1;
        }
        if (run == 5) {
            ++stuffed;
            level = !level;
            run = 1;
        }
    }
    // CRC delimiter, ACK slot and delimiter, end of frame, interframe space.
    return n + stuffed + 1 + 2 + 7 + 3;
}

quint64 AdapterDevice::nextRandom()
{
    // xorshift64*: cheap, and a fixed seed makes a run repeatable.
    m_random ^= m_random >> 12;
    m_random ^= m_random << 25;
    m_random ^= m_random >> 27;
    return m_random * 0x2545F4914F6CDD1Dull;
}

void AdapterDevice::receive(const char *bytes, int length, quint64 nowUs)
{
    if (!m_input.isEmpty() && nowUs - m_lastInputUs > CommandTimeoutUs) {
        m_input.remove(0, 1);
        ++m_stats.bytesIgnored;
        m_lastInputUs = nowUs;
    }
    if (length > 0) {
        m_input.append(bytes, length);
        m_lastInputUs = nowUs;
    }

    int pos = 0;
    const int size = m_input.size();
    const char *in = m_input.constData();
    while (size - pos >= 2) {
        if (quint8(in[pos]) != Wire::CommandMark) {
            ++pos;
            ++m_stats.bytesIgnored;
            continue;
        }
        int commandLength = 0;
        bool terminated = true;
        switch (quint8(in[pos + 1])) {
        case Wire::DeviceOpen:
            commandLength = Wire::DeviceOpenLength;
            break;
        case Wire::DeviceClose:
            commandLength = Wire::DeviceCloseLength;
            break;
        case Wire::BaudRateConfig:
            commandLength = Wire::BaudRateConfigLength;
            break;
        case Wire::CANSend:
            commandLength = Wire::CANSendLength;
            terminated = false;
            break;
        default:
            break;
        }
        if (commandLength == 0) {
            ++pos;
            ++m_stats.bytesIgnored;
            continue;
        }
        if (size - pos < commandLength)
            break; // wait for the rest
        if (terminated
            && (in[pos + commandLength - 2] != '\r' || in[pos + commandLength - 1] != '\n')) {
            ++pos;
            ++m_stats.bytesIgnored;
            continue;
        }
        handleCommand(in + pos, nowUs);
        pos += commandLength;
    }
    if (pos > 0)
        m_input.remove(0, pos);
}

void AdapterDevice::handleCommand(const char *cmd, quint64 nowUs)
{
    ++m_stats.commandsIn;
    char r[Wire::RecordSize] = {};
    r[0] = char(Wire::RecordMark);
    const quint8 code = quint8(cmd[1]);
    r[1] = char(code);

    switch (code) {
    case Wire::DeviceOpen:
        r[2] = char(DeviceType);
        r[3] = char(m_settings.channelCount);
        std::memcpy(r + 4, ModelName, sizeof ModelName - 1);
        break;
    case Wire::BaudRateConfig: {
        const quint8 channel = quint8(cmd[2]);
        const quint32 timingCode = Wire::readU32(cmd + 3);
        r[2] = char(channel);
        if (timingCode == 0)
            ++m_stats.channelStops;
        bool ok = !m_settings.refuse && channel >= 1 && channel <= Channels;
        if (ok && timingCode != 0)
            ok = bitRate(timingCode) > 0.0;
        if (ok) {
            if (timingCode == 0)
                m_channels[channel - 1].started = false;
            else
                startChannel(channel - 1, timingCode, nowUs);
        }
        putU32(r + 3, ok ? 1u : 0u);
        break;
    }
    case Wire::CANSend: {
        const quint8 channel = quint8(cmd[2]);
        const char *frame = cmd + 3;
        r[2] = char(channel);
        std::memcpy(r + 4, cmd + 16, 4);
        const bool ok = !m_settings.refuse && isChannelStarted(channel);
        quint32 stamp = clockAt(nowUs);
        if (ok) {
            const int index = channel - 1;
            const int other = 1 - index;
            const bool loop = m_settings.loopback && m_channels[other].started
                && m_channels[other].quanta == m_channels[index].quanta;
            // Looped back, both channels share one wire: the frame goes out only once the other
            // channel's last frame has left it, so the echo never predates that frame's stamp.
            const double startUs
                = loop ? qMax(double(nowUs), m_channels[other].lastStampUs) : double(nowUs);
            const double endUs = putOnBus(index, frame, startUs);
            stamp = clockAt(quint64(endUs));
            ++m_stats.framesSent;
            r[3] = 1;
            putU32(r + 8, stamp);
            if (!m_settings.silent) {
                appendRecord(r);
                const int every = m_settings.strayAfterSendEvery;
                if (every > 0 && ++m_sendConfirmations % quint64(every) == 0)
                    appendStrayBytes();
            }
            if (loop) {
                char echo[Wire::RecordSize] = {};
                echo[0] = char(Wire::RecordMark);
                echo[1] = char(Wire::CANFrame);
                echo[2] = char(other + 1);
                std::memcpy(echo + 3, frame, CanFrame::Size);
                putU32(echo + 16, stamp);
                // The same wire: the other channel sees the frame's bits on its bus too.
                Channel &peer = m_channels[other];
                peer.windowFrames += 1;
                peer.windowBits += quint64(frameBits(frame));
                peer.busFreeUs = qMax(peer.busFreeUs, endUs);
                peer.lastStampUs = qMax(peer.lastStampUs, endUs);
                appendRecord(echo);
            }
            return;
        }
        r[3] = 0;
        putU32(r + 8, stamp);
        break;
    }
    case Wire::DeviceClose:
        ++m_stats.deviceCloses;
        for (Channel &c : m_channels)
            c.started = false;
        break;
    default:
        return;
    }
    if (!m_settings.silent)
        appendRecord(r);
}

void AdapterDevice::startChannel(int index, quint32 timingCode, quint64 nowUs)
{
    Channel &c = m_channels[index];
    const double rate = bitRate(timingCode);
    c.timingCode = timingCode;
    c.bitRate = rate;
    c.quanta = quint32(double(CanClockHz) / rate + 0.5);
    if (!c.started) {
        c.started = true;
        c.nextDueUs = double(nowUs);
        c.busFreeUs = double(nowUs);
        c.windowFrames = 0;
        c.windowBits = 0;
        c.windowStartUs = nowUs;
    }
}

double AdapterDevice::putOnBus(int index, const char *canFrame, double atUs)
{
    Channel &c = m_channels[index];
    const int bits = frameBits(canFrame);
    c.lastBits = bits;
    const double startUs = qMax(atUs, c.busFreeUs);
    const double endUs = startUs + bits * 1e6 / c.bitRate;
    c.busFreeUs = endUs;
    c.windowFrames += 1;
    c.windowBits += quint64(bits);
    return endUs;
}

void AdapterDevice::makeFrame(int index, char *frame)
{
    Channel &c = m_channels[index];
    std::memset(frame, 0, CanFrame::Size);
    const quint32 pick = randomBelow(100);
    const bool extended = pick < 30;
    quint32 id;
    if (randomBelow(10) == 0)
        id = extended ? randomBelow(CanFrame::MaxExtendedId + 1)
                      : randomBelow(CanFrame::MaxStandardId + 1);
    else if (extended)
        id = ExtendedIds[randomBelow(std::size(ExtendedIds))];
    else
        id = StandardIds[randomBelow(std::size(StandardIds))];

    quint8 info = extended ? CanFrame::CANFRAME_EXTENDED : 0;
    if (m_settings.sequenceNumbers) {
        info |= CanFrame::MaxDlc;
        const quint64 seq = c.sequence++;
        for (int i = 0; i < 8; ++i)
            frame[CanFrame::DataOffset + i] = char((seq >> (8 * i)) & 0xFF);
    } else {
        const bool remote = randomBelow(20) == 0;
        const int dlc = int(randomBelow(CanFrame::MaxDlc + 1));
        info |= quint8(dlc);
        if (remote)
            info |= CanFrame::CANFRAME_REMOTE;
        const quint64 data = nextRandom();
        for (int i = 0; i < dlc; ++i)
            frame[CanFrame::DataOffset + i] = char((data >> (8 * i)) & 0xFF);
    }
    frame[0] = char(info);
    putU32(frame + CanFrame::IdOffset, id);
}

void AdapterDevice::generate(int index, quint64 nowUs)
{
    Channel &c = m_channels[index];
    const int rate = m_settings.frameRate[index];
    const double now = double(nowUs);
    if (rate <= 0) {
        c.nextDueUs = now;
        return;
    }
    const double interval = 1e6 / rate;
    if (c.nextDueUs < now - MaxCatchUpUs)
        c.nextDueUs = now - MaxCatchUpUs;

    char record[Wire::RecordSize];
    while (c.nextDueUs <= now) {
        double at = c.nextDueUs;
        if (m_settings.busLimit && c.busFreeUs > at) {
            // The bus is still busy with the last frame: this one goes out right after it.
            at = c.busFreeUs;
            if (at > now) {
                c.nextDueUs = at;
                break;
            }
        }
        c.nextDueUs = at + interval;
        ++m_stats.framesGenerated[index];

        if (m_congested) {
            // The frame still crosses the bus, but the host will never see it: spend no time
            // building it, so a host that falls behind gets the processor to catch up.
            ++m_stats.framesOverrun;
            ++c.sequence;
            c.busFreeUs = m_settings.busLimit ? at + c.lastBits * 1e6 / c.bitRate : at;
            c.windowFrames += 1;
            c.windowBits += quint64(c.lastBits);
            continue;
        }
        std::memset(record, 0, sizeof record);
        record[0] = char(Wire::RecordMark);
        record[1] = char(Wire::CANFrame);
        record[2] = char(index + 1);
        makeFrame(index, record + 3);
        const double endUs = putOnBus(index, record + 3, at);
        if (!m_settings.busLimit)
            c.busFreeUs = at; // frames may overlap: the load figure is allowed past 1
        c.lastStampUs = qMax(c.lastStampUs, endUs);
        putU32(record + 16, clockAt(quint64(c.lastStampUs)));
        appendRecord(record);
    }
}

void AdapterDevice::report(quint64 nowUs)
{
    for (int index = 0; index < Channels; ++index) {
        Channel &c = m_channels[index];
        if (!c.started)
            continue;
        const quint64 spanUs = qMax<quint64>(nowUs - c.windowStartUs, 1);
        const double seconds = double(spanUs) / 1e6;
        const double fps = double(c.windowFrames) / seconds;
        float load = float(double(c.windowBits) / (c.bitRate * seconds));
        if (m_settings.busLimit && load > 1.0f)
            load = 1.0f;

        char r[Wire::RecordSize] = {};
        r[0] = char(Wire::RecordMark);
        r[1] = char(Wire::DeviceStates);
        r[2] = char(index + 1);
        const quint16 speed = quint16(qMin(fps + 0.5, 65535.0));
        r[3] = char(speed & 0xFF);
        r[4] = char(speed >> 8);
        quint32 loadBits = 0;
        std::memcpy(&loadBits, &load, sizeof loadBits);
        putU32(r + 5, loadBits);
        putU32(r + 9, c.errorTotal);
        appendRecord(r);

        c.windowFrames = 0;
        c.windowBits = 0;
        c.windowStartUs = nowUs;
    }
}

void AdapterDevice::advance(quint64 nowUs)
{
    if (m_settings.streamBeforeOpen && !m_preStreamDone) {
        m_preStreamDone = true;
        for (int index = 0; index < Channels; ++index) {
            if (!m_channels[index].started)
                startChannel(index, DefaultTimingCode, nowUs);
        }
        appendMisalignedTail();
    }

    const double dt = double(nowUs - qMin(nowUs, m_lastAdvanceUs)) / 1e6;
    m_lastAdvanceUs = nowUs;
    for (int index = 0; index < Channels; ++index) {
        Channel &c = m_channels[index];
        if (!c.started)
            continue;
        generate(index, nowUs);
        c.errorCredit += m_settings.errorFramesPerSecond * dt;
        if (c.errorCredit >= 1.0) {
            const quint32 whole = quint32(c.errorCredit);
            c.errorTotal += whole;
            c.errorCredit -= whole;
        }
    }

    if (m_nextReportUs == 0)
        m_nextReportUs = nowUs + ReportPeriodUs;
    if (nowUs >= m_nextReportUs) {
        report(nowUs);
        m_nextReportUs += ReportPeriodUs;
        if (m_nextReportUs <= nowUs)
            m_nextReportUs = nowUs + ReportPeriodUs;
    }
    // A command that never completes must not hold the parser forever.
    if (!m_input.isEmpty())
        receive(nullptr, 0, nowUs);
}

void AdapterDevice::appendMisalignedTail()
{
    // The host opens into the middle of a record: only the end of one is still in flight.
    char r[Wire::RecordSize] = {};
    r[0] = char(Wire::RecordMark);
    r[1] = char(Wire::CANFrame);
    r[2] = 1;
    makeFrame(0, r + 3);
    m_output.append(r + 7, Wire::RecordSize - 7);
}

void AdapterDevice::appendRecord(char *record)
{
    ++m_stats.recordsOut;
    const quint64 n = m_stats.recordsOut;
    if (m_settings.dropEvery > 0 && n % quint64(m_settings.dropEvery) == 0) {
        const int lost = int(randomBelow(Wire::RecordSize));
        m_output.append(record, lost);
        m_output.append(record + lost + 1, Wire::RecordSize - lost - 1);
    } else {
        m_output.append(record, Wire::RecordSize);
    }
    if (m_settings.garbageEvery > 0 && n % quint64(m_settings.garbageEvery) == 0)
        appendStrayBytes();
    if (m_settings.unknownEvery > 0 && n % quint64(m_settings.unknownEvery) == 0) {
        // Newer firmware may report things this host has never heard of, in records of its own.
        char unknown[Wire::RecordSize];
        unknown[0] = char(Wire::RecordMark);
        unknown[1] = char(0x06 + randomBelow(9));
        for (int i = 2; i < Wire::RecordSize; ++i)
            unknown[i] = char(nextRandom() & 0xFF);
        m_output.append(unknown, Wire::RecordSize);
    }
}

void AdapterDevice::appendStrayBytes()
{
    const int count = 1 + int(randomBelow(7));
    for (int i = 0; i < count; ++i)
        m_output.append(char(nextRandom() & 0xFF));
}
