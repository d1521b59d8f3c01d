// pty-reader: the least any program can do with the adapter's stream, as a yardstick for the
// analyser's own cost. Opens the device, starts both channels at 1 Mbit/s, then only reads the
// bytes for the given seconds and prints how many records arrived and the CPU it used.
//
//   pty-reader <device path> [seconds]

#include "protocol/contextprotocol.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {
double now()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: pty-reader <device> [seconds]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 30;
    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    termios tio {};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);

    QByteArray rate1M;
    Wire::appendU32(rate1M, 0x030C0004);
    if (!writeAll(fd, contextProtocol::buildDeviceOpen())
        || !writeAll(fd, contextProtocol::buildBaudRateConfig(1, rate1M))
        || !writeAll(fd, contextProtocol::buildBaudRateConfig(2, rate1M))) {
        std::perror("write");
        return 1;
    }
    const double start = now();
    const double cpuStart = cpuSeconds();
    long long bytes = 0;
    char buffer[65536];
    while (now() - start < seconds) {
        pollfd pfd { fd, POLLIN, 0 };
        if (poll(&pfd, 1, 200) <= 0)
            continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            bytes += n;
    }
    const double elapsed = now() - start;
    const double cpu = cpuSeconds() - cpuStart;
    std::printf("pty-reader: %lld records in %.1f s = %.0f records/s, CPU %.2f %% of a core\n",
                bytes / Wire::RecordSize, elapsed, double(bytes / Wire::RecordSize) / elapsed,
                100.0 * cpu / elapsed);
    writeAll(fd, contextProtocol::buildDeviceClose());
    ::close(fd);
    return 0;
}
