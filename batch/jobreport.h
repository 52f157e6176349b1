// What korvalin-batch knows of one job: the engine's latest record of it and when it started and ended.
#pragma once

#include <memory>

#include <QDateTime>
#include <QString>

#include "engine/mlvworker.h"
#include "ui/progresstext.h"

struct JobReport
{
    explicit JobReport(const QString& sourceFile);

    // The latest copy the scheduler sent: Ready until the job starts, then its live or final record.
    std::unique_ptr<MLVWorker> record;
    // Set when the batch hears of the start; once the job has ended, both are the job's own times.
    QDateTime started;
    QDateTime ended;
    // Ended by korvalin-batch on a second interrupt rather than by itself.
    bool interrupted = false;
    // The last progress read while the converter ran: kept when its counters can no longer be read,
    // so that neither the percentage nor the bytes read go back before the end is known.
    QString progress;
    quint64 bytesRead = 0;

    JobStatus Status() const { return record->GetStatus(); }
    bool IsRunning() const { return started.isValid() && !ended.isValid(); }
    // "Not started", "Processing", "Error" or "Finished"; the window's names for the last three.
    QString StateText() const;
    // Ended jobs: from start to end; running ones: up to now; others 0.
    qint64 DurationMs() const;
    // The same to the millisecond, "0:01:05.250", or "-" for a job that never started.
    QString DurationShown() const;
    // The error text, led by a line saying so when the job was interrupted.
    QString ErrorText() const;
    QString FirstErrorLine() const;
    // Reads the running converter's counters, if it still runs, into `progress` and `bytesRead`.
    void SampleProgress(const ProgressText::CounterSource& counters, const QTime& now);
    // The ended job's record arrived at `arrival`: takes it, and the job's own start and end times from it.
    void TakeEnd(const MLVWorker& worker, const QDateTime& arrival);
    // Bytes of the files the converter left in the output folder under the clip's name.
    qint64 WrittenBytes() const;
};
