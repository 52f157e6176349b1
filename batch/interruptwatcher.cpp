#include "batch/interruptwatcher.h"

#include <QSocketNotifier>

#ifdef Q_OS_WIN
#include <QMetaObject>
#include <QPointer>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
// The console calls its handler on a thread of its own; the queued call carries the news to the watcher.
QPointer<InterruptWatcher>& Current()
{
    static QPointer<InterruptWatcher> current;
    return current;
}

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (InterruptWatcher* pWatcher = Current().data()) {
        QMetaObject::invokeMethod(pWatcher, "Deliver", Qt::QueuedConnection,
                                  Q_ARG(char, event == CTRL_CLOSE_EVENT ? 't' : 'i'));
    }
    return TRUE;
}
#else
// A signal handler can only reach the program through a variable like this one: the write end of the
// watcher's socket pair, or -1.
volatile sig_atomic_t gWakeFd = -1;

void OnSignal(int number)
{
    const int fd = gWakeFd;
    if (fd < 0)
        return;
    const char byte = number == SIGINT ? 'i' : number == SIGHUP ? 'h' : 't';
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

InterruptWatcher::InterruptWatcher(QObject* pParent) : QObject(pParent)
{
#ifdef Q_OS_WIN
    Current() = this;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, mFds) != 0)
        return;
    for (const int fd : mFds)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(mFds[1], F_SETFL, O_NONBLOCK);
    mNotifier = std::make_unique<QSocketNotifier>(mFds[0], QSocketNotifier::Read);
    connect(mNotifier.get(), &QSocketNotifier::activated, this, &InterruptWatcher::Drain);
    gWakeFd = mFds[1];
    Handle(SIGINT, OnSignal);
    Handle(SIGTERM, OnSignal);
    Handle(SIGHUP, OnSignal);

    termios terminal{};
    const bool foreground = ::isatty(STDIN_FILENO) && ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
    if (foreground && ::tcgetattr(STDIN_FILENO, &terminal) == 0) {
        mSavedTerminal = std::make_unique<termios>(terminal);
        terminal.c_lflag &= tcflag_t(~(ISIG | ICANON | ECHO));
        terminal.c_cc[VMIN] = 1;
        terminal.c_cc[VTIME] = 0;
        ::tcsetattr(STDIN_FILENO, TCSANOW, &terminal);
        mTerminalNotifier = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(mTerminalNotifier.get(), &QSocketNotifier::activated, this, &InterruptWatcher::ReadTerminal);
    }
#endif
}

InterruptWatcher::~InterruptWatcher()
{
#ifdef Q_OS_WIN
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    Current() = nullptr;
#else
    mTerminalNotifier.reset();
    if (mSavedTerminal)
        ::tcsetattr(STDIN_FILENO, TCSANOW, mSavedTerminal.get());
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        Handle(number, SIG_DFL);
    gWakeFd = -1;
    mNotifier.reset();
    for (const int fd : mFds) {
        if (fd >= 0)
            ::close(fd);
    }
#endif
}

void InterruptWatcher::Deliver(char kind)
{
    // 128 and the signal's number, as POSIX shells report a program ended by it.
    mExitStatus = kind == 'i' ? 128 + 2 : kind == 'h' ? 128 + 1 : 128 + 15;
    emit Interrupted(kind != 'i');
}

void InterruptWatcher::Drain()
{
#ifndef Q_OS_WIN
    char bytes[16];
    const ssize_t got = ::read(mFds[0], bytes, sizeof bytes);
    for (ssize_t i = 0; i < got; ++i)
        Deliver(bytes[i]);
#endif
}

#ifndef Q_OS_WIN
void InterruptWatcher::ReadTerminal()
{
    char bytes[64];
    const ssize_t got = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (got <= 0) {
        mTerminalNotifier->setEnabled(false);
        return;
    }
    const char interrupt = char(mSavedTerminal->c_cc[VINTR]);
    for (ssize_t i = 0; i < got; ++i) {
        if (bytes[i] == interrupt)
            Deliver('i');
    }
}
#endif
