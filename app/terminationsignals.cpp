#include "app/terminationsignals.h"

#include <QCoreApplication>
#include <QDebug>

#include <atomic>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace TerminationSignals {

namespace {
std::atomic<bool> requested { false };
bool installed = false;

#ifdef Q_OS_UNIX
void askToClose()
{
    requested = true;
    // Exactly what the main window's close button does.
    QCoreApplication::exit(0);
}

// Written by the handler, read on the GUI thread: the handler itself may do nothing but write.
int wakeFds[2] = { -1, -1 };

void onSignal(int signalNumber)
{
    const int saved = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[1], &byte, 1);
    errno = saved;
}
#endif
} // namespace

void ignoreBrokenPipes()
{
#ifdef Q_OS_UNIX
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

void install()
{
    ignoreBrokenPipes();
    if (installed || !QCoreApplication::instance())
        return;
    installed = true;
#ifdef Q_OS_UNIX
    if (::pipe(wakeFds) != 0)
        return;
    for (const int fd : wakeFds) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    auto *notifier
        = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char byte = 0;
        while (::read(wakeFds[0], &byte, 1) == 1)
            qDebug() << "closing on signal" << int(byte);
        askToClose();
    });
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // The first request closes in order; a second one finds the default action and ends the
    // process, should the orderly close hang.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signalNumber : { SIGTERM, SIGINT, SIGHUP })
        sigaction(signalNumber, &action, nullptr);
#endif
}

bool closeRequested()
{
    return requested;
}

} // namespace TerminationSignals
