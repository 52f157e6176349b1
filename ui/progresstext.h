// Turns a running job's process I/O counters into the status column's progress text.
#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QTime>

#include "engine/mlvworker.h"
#include "engine/processio.h"

class ProgressText
{
public:
    using CounterSource = std::function<std::optional<ProcessIoCounters>(qint64)>;
    using Clock = std::function<QTime()>;

    ProgressText(CounterSource counters, Clock clock);

    // The progress of a job whose process runs, or "Processing" when its counters cannot be read.
    QString ForJob(const MLVWorker& job) const;

    // "50 %, 51 MiB/s r, 25 MiB/s w"; "n/a" when the size or the elapsed time is 0.
    // The rates are bytes per millisecond divided by 1024.
    static QString Format(quint64 bytesRead, quint64 bytesWritten, quint64 fileSize, quint64 elapsedMs);

    // Milliseconds from start to now, across midnight; 0 for a null start.
    static quint64 ElapsedMs(const QTime& start, const QTime& now);

private:
    CounterSource mCounters;
    Clock mClock;
};
