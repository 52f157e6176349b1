// Turns Ctrl-C (SIGINT, or the console's Ctrl-C on Windows) and SIGTERM into a Qt signal on the main thread.
#pragma once

#include <functional>
#include <memory>

#include <QObject>

class QSocketNotifier;

class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    // Only one watcher may exist at a time: the platform's handler reaches it through one slot.
    explicit InterruptWatcher(QObject* pParent = nullptr);
    ~InterruptWatcher() override;

    // Runs `start` so that threads it creates, and the converters those threads start, never receive
    // a terminal's Ctrl-C themselves: the first Ctrl-C must let running converters finish.
    static void ShieldNewThreads(const std::function<void()>& start);

signals:
    // `urgent` for SIGTERM or SIGHUP: end at once, as after a second Ctrl-C.
    void Interrupted(bool urgent);

private:
    void Drain();

#ifndef Q_OS_WIN
    int mFds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> mNotifier;
#endif
};
