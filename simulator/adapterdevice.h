#pragma once

// The device side of the adapter without any I/O: it takes the host's command bytes and the
// passing of time, and produces the byte stream the adapter would send back (answers, bus
// traffic, status reports, injected faults). VirtualAdapter feeds it from a pseudo-terminal;
// tests can drive it directly with a made-up clock.

#include <QByteArray>
#include <QtGlobal>

// How the virtual adapter behaves; every field may change while it runs.
struct AdapterSettings
{
    int frameRate[2] = { 0, 0 }; // generated frames per second on channel 1 and 2
    bool loopback = true; // a confirmed send shows up on the other channel
    bool sequenceNumbers = false; // generated frames carry a 64-bit running count as data
    bool busLimit = true; // traffic never needs more than the bus can carry
    double errorFramesPerSecond = 0.0;
    quint8 channelCount = 2; // what the open answer reports
    bool silent = false; // answers nothing at all
    bool refuse = false; // sends and bit-rate requests fail
    int garbageEvery = 0; // after every Nth record a few stray bytes (0: never)
    int dropEvery = 0; // one byte of every Nth record is lost (0: never)
    int strayAfterSendEvery = 0; // after every Nth send confirmation a few stray bytes (0: never)
    int unknownEvery = 0; // after every Nth record one of a kind the host does not know (0: never)
    bool streamBeforeOpen = false; // both channels run from power-up, host or not
};

struct AdapterStatistics
{
    quint64 framesGenerated[2] = { 0, 0 }; // bus traffic produced on each channel
    quint64 framesOverrun = 0; // traffic dropped because the host link was full
    quint64 framesSent = 0; // host sends put on the bus
    quint64 recordsOut = 0;
    quint64 commandsIn = 0;
    quint64 bytesIgnored = 0; // command bytes that started no command
    quint64 channelStops = 0; // bit-rate requests with timing code 0, answered or not
    quint64 deviceCloses = 0;
};

class AdapterDevice
{
public:
    static constexpr quint32 CanClockHz = 72000000;
    static constexpr int Channels = 2;
    static constexpr quint8 DeviceType = 0x01;
    static constexpr quint32 DefaultTimingCode = 0x030C0004; // 1000 kbps

    AdapterDevice();

    void setSettings(const AdapterSettings &settings);
    const AdapterSettings &settings() const { return m_settings; }
    void setSeed(quint64 seed) { m_random = seed ? seed : 1; }
    // Device clock at power-up, in 0.1 ms; lets tests see the 32-bit wrap soon.
    void setClockStart(quint32 ticks) { m_clockStart = ticks; }

    // nowUs: microseconds since power-up, never decreasing.
    void receive(const char *bytes, int length, quint64 nowUs);
    void advance(quint64 nowUs);

    // While set, newly due traffic is counted as overrun instead of queued for the host.
    void setCongested(bool congested) { m_congested = congested; }

    QByteArray &output() { return m_output; }
    const AdapterStatistics &statistics() const { return m_stats; }
    bool isChannelStarted(int channel) const;
    // True while a started channel has traffic to generate.
    bool isGenerating() const;
    quint32 clockAt(quint64 nowUs) const;

    // Bit rate in bit/s that a timing code gives on the 72 MHz clock, 0 when the adapter
    // cannot run it (below 5 or above 1000 kbps, or fields out of register range).
    static double bitRate(quint32 timingCode);
    // Bits a frame occupies on the wire, from start of frame through interframe space,
    // counting the stuff bits its actual content needs.
    static int frameBits(const char *canFrame);

private:
    struct Channel
    {
        bool started = false;
        quint32 timingCode = 0;
        quint32 quanta = 0; // clock periods per bit; equal quanta mean equal bit rates
        double bitRate = 0.0;
        double nextDueUs = 0.0;
        double busFreeUs = 0.0;
        double lastStampUs = 0.0; // time stamps never run backwards, even on an overloaded bus
        quint64 sequence = 0;
        int lastBits = 100; // stands in for frames that are never built
        double errorCredit = 0.0;
        quint32 errorTotal = 0;
        quint64 windowFrames = 0;
        quint64 windowBits = 0;
        quint64 windowStartUs = 0;
    };

    void handleCommand(const char *cmd, quint64 nowUs);
    void startChannel(int index, quint32 timingCode, quint64 nowUs);
    void generate(int index, quint64 nowUs);
    void report(quint64 nowUs);
    double putOnBus(int index, const char *canFrame, double atUs);
    void makeFrame(int index, char *canFrame);
    void appendRecord(char *record);
    void appendMisalignedTail();
    void appendStrayBytes();
    quint64 nextRandom();
    quint32 randomBelow(quint32 bound) { return quint32(nextRandom() % bound); }

    AdapterSettings m_settings;
    AdapterStatistics m_stats;
    Channel m_channels[Channels];
    QByteArray m_input;
    QByteArray m_output;
    quint64 m_lastInputUs = 0;
    quint64 m_lastAdvanceUs = 0;
    quint64 m_nextReportUs = 0;
    quint32 m_clockStart = 0;
    quint64 m_random = 0x9E3779B97F4A7C15ull;
    quint64 m_sendConfirmations = 0;
    bool m_congested = false;
    bool m_preStreamDone = false;
};
