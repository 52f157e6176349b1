#include "engine/signalpipe.h"

#include <QSocketNotifier>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifndef Q_OS_WIN
// A signal handler can only reach the program through a variable like this one: the write end of the
// pipe's socket pair, or -1.
volatile sig_atomic_t gWakeFd = -1;

void OnSignal(int number)
{
    const int fd = gWakeFd;
    if (fd < 0)
        return;
    const char byte = char(number);
    const int savedErrno = errno;
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    errno = savedErrno;
}

void Handle(int number, void (*handler)(int))
{
    struct sigaction action
    {
    };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(number, &action, nullptr);
}
#endif

}  // namespace

SignalPipe::SignalPipe(std::vector<int> signalNumbers, QObject* pParent)
    : QObject(pParent), mSignalNumbers(std::move(signalNumbers))
{
#ifndef Q_OS_WIN
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, mFds) != 0)
        return;
    for (const int fd : mFds)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(mFds[1], F_SETFL, O_NONBLOCK);
    mNotifier = std::make_unique<QSocketNotifier>(mFds[0], QSocketNotifier::Read);
    connect(mNotifier.get(), &QSocketNotifier::activated, this, &SignalPipe::Drain);
    gWakeFd = mFds[1];
    for (const int number : mSignalNumbers)
        Handle(number, OnSignal);
#endif
}

SignalPipe::~SignalPipe()
{
#ifndef Q_OS_WIN
    if (gWakeFd == mFds[1]) {
        for (const int number : mSignalNumbers)
            Handle(number, SIG_DFL);
        gWakeFd = -1;
    }
    mNotifier.reset();
    for (const int fd : mFds) {
        if (fd >= 0)
            ::close(fd);
    }
#endif
}

void SignalPipe::Drain()
{
#ifndef Q_OS_WIN
    char bytes[16];
    const ssize_t got = ::read(mFds[0], bytes, sizeof bytes);
    for (ssize_t i = 0; i < got; ++i)
        emit Received(int(bytes[i]));
#endif
}
