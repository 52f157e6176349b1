// Turns Ctrl-C (on a terminal, SIGINT, or the console's Ctrl-C on Windows) and SIGTERM into a Qt signal.
#pragma once

#include <memory>

#include <QObject>

class QSocketNotifier;
struct termios;

class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    // Only one watcher may exist at a time: the platform's handler reaches it through one slot.
    explicit InterruptWatcher(QObject* pParent = nullptr);
    ~InterruptWatcher() override;

signals:
    // `urgent` for SIGTERM or SIGHUP: end at once, as after a second Ctrl-C.
    void Interrupted(bool urgent);

private:
    void Drain();

#ifndef Q_OS_WIN
    void ReadTerminal();

    int mFds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> mNotifier;
    // While we run in the terminal's foreground, Ctrl-C arrives as a byte instead of a signal to the
    // whole process group, which would end the converters at once: the first Ctrl-C must let them finish.
    std::unique_ptr<termios> mSavedTerminal;
    std::unique_ptr<QSocketNotifier> mTerminalNotifier;
#endif
};
