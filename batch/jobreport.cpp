#include "batch/jobreport.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>

#include "ui/durationtext.h"

JobReport::JobReport(const QString& sourceFile) : record(std::make_unique<MLVWorker>(sourceFile, QString(), QString()))
{
}

QString JobReport::StateText() const
{
    // After a stop the batch ends with such jobs still queued; "Ready" would suggest they could go on.
    if (Status() == JobStatus::Ready)
        return QStringLiteral("Not started");
    return JobStatusText(Status());
}

qint64 JobReport::DurationMs() const
{
    if (!started.isValid())
        return 0;
    return started.msecsTo(ended.isValid() ? ended : QDateTime::currentDateTime());
}

QString JobReport::DurationShown() const
{
    if (!started.isValid())
        return QStringLiteral("-");
    const qint64 ms = DurationMs();
    return DurationText::Format(ms)
           + QStringLiteral(".%1").arg(std::max<qint64>(0, ms) % 1000, 3, 10, QLatin1Char('0'));
}

QString JobReport::ErrorText() const
{
    if (!interrupted)
        return record->mStdErr;
    return QStringLiteral("Interrupted: korvalin-batch ended the converter.\n") + record->mStdErr;
}

QString JobReport::FirstErrorLine() const
{
    const QString text = ErrorText().trimmed();
    return text.left(text.indexOf(QLatin1Char('\n'))).trimmed();
}

void JobReport::SampleProgress(const ProgressText::CounterSource& counters, const QTime& now)
{
    if (!IsRunning())
        return;
    const std::optional<ProcessIoCounters> io = counters(record->mProcessId);
    if (!io)
        return;
    const quint64 size = quint64(std::max<qint64>(0, record->mFileSize));
    bytesRead = std::max(bytesRead, std::min(io->bytesRead, size));
    progress =
        ProgressText::Format(io->bytesRead, io->bytesWritten, size, ProgressText::ElapsedMs(record->mStartTime, now));
}

void JobReport::TakeEnd(const MLVWorker& worker, const QDateTime& arrival)
{
    record = std::make_unique<MLVWorker>(worker);
    ended = arrival;
    if (!started.isValid())
        started = arrival;
    // The job's own monotonic clock, not the arrival of its end, which waits for the scheduler's queue.
    if (worker.mDurationMs >= 0)
        started = ended.addMSecs(-worker.mDurationMs);
}

qint64 JobReport::WrittenBytes() const
{
    // A job refused for a folder another job writes into ran no converter: the files there are the other's.
    if (record->mOutputPath.isEmpty() || record->mCommandLine.isEmpty())
        return 0;
    const QString name = QFileInfo(record->mSourceFile).completeBaseName();
    qint64 bytes = 0;
    const QFileInfoList files = QDir(record->mOutputPath).entryInfoList({name + QLatin1Char('*')}, QDir::Files);
    for (const QFileInfo& file : files) {
        if (!file.fileName().endsWith(QLatin1String(".part")))
            bytes += file.size();
    }
    return bytes;
}
