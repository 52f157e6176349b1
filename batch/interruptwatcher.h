// Turns Ctrl-C (on a terminal, SIGINT, or the console's Ctrl-C on Windows) and SIGTERM into a Qt signal.
#pragma once

#include <memory>

#include <QObject>

class QSocketNotifier;
class SignalPipe;
struct termios;

class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    // Only one watcher may exist at a time: the platform's handler reaches it through one slot.
    explicit InterruptWatcher(QObject* pParent = nullptr);
    ~InterruptWatcher() override;

    // The exit status a shell gives for the last interrupt: 130 for Ctrl-C, 143 for SIGTERM, 129 for SIGHUP;
    // 0 before any.
    int ExitStatus() const { return mExitStatus; }

signals:
    // `urgent` for SIGTERM or SIGHUP: end at once, as after a second Ctrl-C.
    void Interrupted(bool urgent);

private:
    // 'i' for Ctrl-C, 't' for SIGTERM or a closed console, 'h' for SIGHUP.
    Q_INVOKABLE void Deliver(char kind);

    int mExitStatus = 0;

#ifndef Q_OS_WIN
    void ReadTerminal();

    std::unique_ptr<SignalPipe> mSignals;
    // While we run in the terminal's foreground, Ctrl-C arrives as a byte instead of a signal to the
    // whole process group, which would end the converters at once: the first Ctrl-C must let them finish.
    std::unique_ptr<termios> mSavedTerminal;
    std::unique_ptr<QSocketNotifier> mTerminalNotifier;
#endif
};
