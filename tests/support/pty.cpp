#include "pty.h"

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return;
    termios tio{};
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || tcgetattr(m_master, &tio) != 0) {
        closeMaster();
        return;
    }
    // Raw at once: a cooked line discipline would eat or echo 0x03, 0x0D and friends.
    cfmakeraw(&tio);
    tcsetattr(m_master, TCSANOW, &tio);
    m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
}

PseudoTerminal::~PseudoTerminal()
{
    closeMaster();
}

bool PseudoTerminal::write(const QByteArray &bytes)
{
    int done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                pollfd pfd{m_master, POLLOUT, 0};
                poll(&pfd, 1, 100);
                continue;
            }
            return false;
        }
        done += int(n);
    }
    return true;
}

QByteArray PseudoTerminal::read(int minBytes, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (out.size() < minBytes) {
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0)
            break;
        pollfd pfd{m_master, POLLIN, 0};
        if (poll(&pfd, 1, left) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0)
            out.append(buf, int(n));
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            break;
    }
    return out;
}

void PseudoTerminal::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
