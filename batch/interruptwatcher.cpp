#include "batch/interruptwatcher.h"

#include <QSocketNotifier>

#ifdef Q_OS_WIN
#include <QMetaObject>
#include <QPointer>
#include <windows.h>
#else
#include <csignal>
#include <termios.h>
#include <unistd.h>

#include "engine/signalpipe.h"
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
#endif

}  // namespace

InterruptWatcher::InterruptWatcher(QObject* pParent) : QObject(pParent)
{
#ifdef Q_OS_WIN
    Current() = this;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    mSignals = std::make_unique<SignalPipe>(std::vector<int>{SIGINT, SIGTERM, SIGHUP});
    connect(mSignals.get(), &SignalPipe::Received, this, [this](int number) {
        Deliver(number == SIGINT ? 'i' : number == SIGHUP ? 'h' : 't');
    });

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
#endif
}

void InterruptWatcher::Deliver(char kind)
{
    // 128 and the signal's number, as POSIX shells report a program ended by it.
    mExitStatus = kind == 'i' ? 128 + 2 : kind == 'h' ? 128 + 1 : 128 + 15;
    emit Interrupted(kind != 'i');
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
