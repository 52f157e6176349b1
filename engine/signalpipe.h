// Turns POSIX signals into a Qt signal on the owner's thread: a handler may only write to a descriptor, so it
// writes the signal's number into a socket pair that the event loop watches. Does nothing on Windows.
#pragma once

#include <memory>
#include <vector>

#include <QObject>

class QSocketNotifier;

class SignalPipe : public QObject
{
    Q_OBJECT

public:
    // Only one pipe may exist at a time: the handlers reach it through one slot. The signals get their default
    // handling back when it is destroyed.
    explicit SignalPipe(std::vector<int> signalNumbers, QObject* pParent = nullptr);
    ~SignalPipe() override;

signals:
    void Received(int signalNumber);

private:
    void Drain();

    std::vector<int> mSignalNumbers;
    int mFds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> mNotifier;
};
