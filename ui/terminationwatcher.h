// Turns SIGTERM and SIGHUP (a logout, or a plain `kill`) into a Qt signal, so the window can end its
// converters instead of leaving them running without a parent. Does nothing on Windows.
#pragma once

#include <memory>

#include <QObject>

class QSocketNotifier;

class TerminationWatcher : public QObject
{
    Q_OBJECT

public:
    // The signals' handlers reach the watcher through one slot: the latest watcher made is the one told.
    explicit TerminationWatcher(QObject* pParent = nullptr);
    ~TerminationWatcher() override;

signals:
    // On the watcher's thread, after the system's handler has returned.
    void Terminated(int signalNumber);

private:
    void Drain();

    int mFds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> mNotifier;
};
