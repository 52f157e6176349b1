#include "ui/progresstext.h"

#include <utility>

ProgressText::ProgressText(CounterSource counters, Clock clock)
    : mCounters(std::move(counters)), mClock(std::move(clock))
{
}

QString ProgressText::ForJob(const MLVWorker& job) const
{
    const std::optional<ProcessIoCounters> counters = mCounters(job.mProcessId);
    if (!counters)
        return QStringLiteral("Processing");
    const quint64 size = job.mFileSize > 0 ? static_cast<quint64>(job.mFileSize) : 0;
    return Format(counters->bytesRead, counters->bytesWritten, size, ElapsedMs(job.mStartTime, mClock()));
}

QString ProgressText::Format(quint64 bytesRead, quint64 bytesWritten, quint64 fileSize, quint64 elapsedMs)
{
    if (fileSize == 0 || elapsedMs == 0)
        return QStringLiteral("n/a");
    const quint64 percent = bytesRead * 100 / fileSize;
    const quint64 readRate = bytesRead / elapsedMs / 1024;
    const quint64 writeRate = bytesWritten / elapsedMs / 1024;
    return QStringLiteral("%1 %, %2 MiB/s r, %3 MiB/s w")
        .arg(QString::number(percent), QString::number(readRate), QString::number(writeRate));
}

quint64 ProgressText::ElapsedMs(const QTime& start, const QTime& now)
{
    if (!start.isValid() || !now.isValid())
        return 0;
    constexpr int kDay = 24 * 60 * 60 * 1000;
    int elapsed = start.msecsTo(now);
    if (elapsed < 0)
        elapsed += kDay;
    return static_cast<quint64>(elapsed);
}
