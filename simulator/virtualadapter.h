#pragma once

// A complete stand-in for the RCAN-U01 adapter behind a pseudo-terminal, so the analyser runs
// on its real serial code path without hardware. The adapter plays the device on the master
// side, on a thread of its own; the host opens slavePath() like any serial port.
//
// From a test:
//     VirtualAdapter adapter;                  // quiet: no traffic until a rate is set
//     adapter.setFrameRate(1, 500);            // frames/s, generated only on started channels
//     QVERIFY(adapter.start());
//     SerialControl::instance()->addExtraPort(adapter.slavePath());   // or open it directly
//     ... open the port, send REQ_DeviceOpen / REQ_BaudRateConfig as the analyser does ...
//     adapter.setFault(VirtualAdapter::Fault::Silent, true);          // at any time
//     adapter.setChannelCount(3);              // the open answer reports 3 channels
//     adapter.unplug();                        // the slave node vanishes, like a pulled plug
//     adapter.start();                         // plugged in again, under a new path
// Defaults: loopback on (a confirmed send on one channel is received on the other when both
// run at the same bit rate), traffic limited to what the bus can carry, no error frames,
// output at pseudo-terminal speed (setLinkRateLimit(true) paces it like 460800 baud).
// With setSequenceNumbers(true) every generated frame is an 8-byte data frame whose data is a
// per-channel 64-bit little-endian count from 0; frames the adapter had to drop because the
// host fell behind still use up their number (statistics().framesOverrun counts them).
// Every setter is thread-safe and takes effect within a millisecond; start, stop and unplug
// belong to the thread that owns the object. The destructor stops the thread and closes the
// pseudo-terminal.

#include "adapterdevice.h"

#include <QObject>
#include <QString>

#include <memory>

class AdapterLink;
class QThread;
struct AdapterShared;

class VirtualAdapter : public QObject
{
    Q_OBJECT
public:
    enum class Fault {
        Silent, // answers nothing
        Refuse, // sends and bit-rate requests fail
        Garbage, // stray bytes after every 50th record
        DropBytes, // one byte of every 50th record lost
        StreamBeforeOpen, // both channels stream at 1000 kbps before anyone opens the port
        StrayAfterConfirmation, // stray bytes after every 50th send confirmation
        UnknownRecords // a record of a kind the host does not know after every 50th record
    };

    explicit VirtualAdapter(QObject *parent = nullptr);
    ~VirtualAdapter() override;

    // Opens a fresh pseudo-terminal and starts playing the device (also after an unplug).
    bool start(QString *error = nullptr);
    void stop();
    bool isRunning() const;
    // The serial device path the host opens, e.g. /dev/pts/5; empty while not running.
    QString slavePath() const;

    // Generated frames per second; channel 1 or 2, or 0 for both.
    void setFrameRate(int channel, int framesPerSecond);
    void setFrameRate(int framesPerSecond) { setFrameRate(0, framesPerSecond); }
    void setLoopback(bool on);
    void setSequenceNumbers(bool on);
    // Off: traffic follows the configured rate even past what the bus can carry, and the
    // reported bus load may exceed 1.
    void setBusLimit(bool on);
    void setErrorFrameRate(double perSecond);
    // Paces the bytes like the real 460800 baud link (about 2,300 records per second).
    void setLinkRateLimit(bool on);

    void setFault(Fault fault, bool on);
    void setChannelCount(int count);
    void setGarbageEvery(int records);
    void setDropEvery(int records);
    void setStrayAfterConfirmationEvery(int confirmations);
    void setUnknownEvery(int records);

    // Before start(): the device clock at power-up (0.1 ms units) and the traffic seed.
    void setClockStart(quint32 ticks) { m_clockStart = ticks; }
    void setSeed(quint64 seed) { m_seed = seed; }

    // Closes the master side while the host may still have the port open.
    void unplug();

    AdapterSettings settings() const;
    void setSettings(const AdapterSettings &settings);
    AdapterStatistics statistics() const;
    // True once the worker runs with every setting made so far. From then on statistics() counts
    // everything generated under earlier settings: after setFrameRate(0) the totals are final.
    bool settingsInEffect() const;
    quint64 bytesWritten() const;

signals:
    void unplugged();

private:
    template<typename Change>
    void change(Change &&apply);
    void shutDown();

    std::shared_ptr<AdapterShared> m_shared;
    QThread *m_thread = nullptr;
    AdapterLink *m_link = nullptr;
    QString m_slavePath;
    quint32 m_clockStart = 0;
    quint64 m_seed = 0x5EED5EED;
};
