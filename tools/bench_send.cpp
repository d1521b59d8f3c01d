// Send throughput with interval 0: frames per second that one transmit scheduler sustains against
// the virtual adapter over a pseudo-terminal (real serial link and codec, one frame outstanding,
// so the rate is bounded by the command-to-confirmation round trip), first on a quiet adapter
// (each confirmation arrives alone, nothing else on the link), then with loopback traffic (the
// echo of each frame follows its confirmation), and last with two schedulers running at once on
// one channel, as the send window's two panels do.
// Usage: bench-send [frames per run] [--paced]   (--paced: bytes move at the real 460800 baud)

#include "display/candatadisplaysupport.h"
#include "link/serialcontrol.h"
#include "link/trans_cansendsupport.h"
#include "protocol/contextprotocol.h"
#include "simulator/adapterdevice.h"
#include "simulator/virtualadapter.h"
#include "tools/toolenvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Run
{
    SendParams params;
    SendFrameSpec frameDesc;
    Trans_canSendSupport *scheduler = nullptr;
    int status = -1;
    qint64 endedNs = 0;
};

void send(const QByteArray &command)
{
    QMetaObject::invokeMethod(SerialControl::instance(), "serialSocketSend", Qt::QueuedConnection,
                              Q_ARG(QByteArray, command));
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs every scheduler at once; returns the wall time until the last one ended, in ns.
qint64 runTogether(std::vector<std::unique_ptr<Run>> &runs, QObject *requester)
{
    QEventLoop loop;
    QElapsedTimer clock;
    int ended = 0;
    std::vector<QMetaObject::Connection> connections;
    for (auto &run : runs) {
        Run *r = run.get();
        connections.push_back(QObject::connect(
            r->scheduler, &Trans_canSendSupport::signal_Trans_End, requester, [&, r](int status) {
                r->status = status;
                r->endedNs = clock.nsecsElapsed();
                if (++ended == int(runs.size()))
                    loop.quit();
            }));
    }
    clock.start();
    for (auto &run : runs) {
        Trans_canSendSupport *s = run->scheduler;
        QMetaObject::invokeMethod(
            s, [s] { s->On_SendCommand_Hander(true); }, Qt::QueuedConnection);
    }
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    for (const auto &c : connections)
        QObject::disconnect(c);
    return clock.nsecsElapsed();
}

} // namespace

int main(int argc, char *argv[])
{
    ToolEnvironment::quietOffscreen();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool paced = args.contains(QStringLiteral("--paced"));
    int frames = 5000;
    for (const QString &a : args.mid(1)) {
        if (a.toInt() > 0)
            frames = a.toInt();
    }

    VirtualAdapter adapter;
    adapter.setLinkRateLimit(paced);
    if (!adapter.start()) {
        std::fprintf(stderr, "cannot start the virtual adapter\n");
        return 1;
    }
    CAN_DataDisplaySupport::instance(); // the receive view the confirmations go to
    bool opened = false;
    QMetaObject::invokeMethod(SerialControl::instance(), "serialSocketOpen",
                              Qt::BlockingQueuedConnection, Q_RETURN_ARG(bool, opened),
                              Q_ARG(QString, adapter.slavePath()));
    if (!opened) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(adapter.slavePath()));
        return 1;
    }
    QByteArray code;
    Wire::appendU32(code, AdapterDevice::DefaultTimingCode);
    send(contextProtocol::buildDeviceOpen());
    send(contextProtocol::buildBaudRateConfig(1, code));
    send(contextProtocol::buildBaudRateConfig(2, code));
    wait(300);

    QObject requester;
    std::vector<std::unique_ptr<Run>> all;
    for (int i = 0; i < 2; ++i) {
        auto run = std::make_unique<Run>();
        run->params = { 1, false, true, frames, 0 };
        run->frameDesc = { 0, 0, 8, quint32(0x100 * (i + 1)), 0x1122334455667788ULL };
        run->scheduler = new Trans_canSendSupport(&run->params, &run->frameDesc);
        all.push_back(std::move(run));
    }

    std::printf("bench-send: %d frames per run, interval 0, DLC 8, channel 1 at 1000 kbps, %s "
                "link\n",
                frames, paced ? "paced 460800 baud" : "unpaced pseudo-terminal");

    std::vector<std::unique_ptr<Run>> one;
    one.push_back(std::move(all[0]));
    bool allFinished = true;
    for (const bool loopback : { false, true }) {
        adapter.setLoopback(loopback);
        wait(50);
        const qint64 ns = runTogether(one, &requester);
        // A run that ended with status 0 had every one of its frames confirmed.
        const quint64 sent = one[0]->status == 0 ? quint64(frames) : 0;
        allFinished = allFinished && one[0]->status == 0;
        std::printf("one panel, %s: status %d, %llu frames in %.3f s = %.0f frames/s, %.1f us "
                    "per round trip\n",
                    loopback ? "loopback on " : "quiet (no loopback)", one[0]->status,
                    static_cast<unsigned long long>(sent), ns / 1e9, sent / (ns / 1e9),
                    ns / 1e3 / qMax<quint64>(sent, 1));
    }

    all[0] = std::move(one[0]);
    const qint64 ns2 = runTogether(all, &requester);
    const quint64 sent2
        = quint64(all[0]->status == 0 ? frames : 0) + quint64(all[1]->status == 0 ? frames : 0);
    std::printf(
        "two panels, loopback on: status %d and %d, %llu frames in %.3f s = %.0f frames/s together "
        "(%.0f and %.0f frames/s each)\n",
        all[0]->status, all[1]->status, static_cast<unsigned long long>(sent2), ns2 / 1e9,
        sent2 / (ns2 / 1e9), frames / (all[0]->endedNs / 1e9), frames / (all[1]->endedNs / 1e9));

    for (auto &run : all)
        run->scheduler->release();
    QMetaObject::invokeMethod(SerialControl::instance(), "serialSocketClose",
                              Qt::BlockingQueuedConnection);
    return (!allFinished || all[0]->status != 0 || all[1]->status != 0) ? 1 : 0;
}
