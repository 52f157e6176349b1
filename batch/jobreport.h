// What korvalin-batch knows of one job: the engine's latest record of it and when it started and ended.
#pragma once

#include <memory>

#include <QDateTime>
#include <QString>

#include "engine/mlvworker.h"

struct JobReport
{
    explicit JobReport(const QString& sourceFile);

    // The latest copy the scheduler sent: Ready until the job starts, then its live or final record.
    std::unique_ptr<MLVWorker> record;
    QDateTime started;
    QDateTime ended;
    // Ended by korvalin-batch on a second interrupt rather than by itself.
    bool interrupted = false;

    JobStatus Status() const { return record->GetStatus(); }
    bool IsRunning() const { return started.isValid() && !ended.isValid(); }
    // "Ready", "Processing", "Error" or "Finished", as the window's table says it.
    QString StateText() const;
    // Ended jobs: from start to end; running ones: up to now; others 0.
    qint64 DurationMs() const;
    // The error text, led by a line saying so when the job was interrupted.
    QString ErrorText() const;
    QString FirstErrorLine() const;
};
