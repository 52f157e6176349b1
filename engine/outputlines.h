// Gathers one output channel of a running process and hands out its lines as they complete.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

class OutputLines
{
public:
    OutputLines(QProcess& process, QProcess::ProcessChannel channel);

    // Reads what the channel holds now and returns the lines completed since the last call, without their
    // line breaks (a carriage return before one is dropped too).
    QStringList Take();
    // The last line when it has no line break of its own; once the process has ended.
    QStringList TakeRest();
    // Every byte read so far.
    const QByteArray& All() const { return mAll; }

private:
    QProcess& mProcess;
    const QProcess::ProcessChannel mChannel;
    QByteArray mAll;
    int mPassed = 0;  // bytes of mAll already handed out as lines
};
