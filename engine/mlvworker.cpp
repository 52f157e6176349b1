#include "engine/mlvworker.h"

#include <QFile>
#include <QMutexLocker>

MLVWorker::MLVWorker()
    : MLVWorker(QString(), QString(), QString())
{
}

MLVWorker::MLVWorker(const QString& sourceFile, const QString& outputPath, const QString& commandLine)
    : QObject(nullptr)
    , mSourceFile(sourceFile)
    , mOutputPath(outputPath)
    , mCommandLine(commandLine)
    , mFileSize(QFile(sourceFile).size())
{
}

MLVWorker::MLVWorker(const MLVWorker& other)
    : QObject(nullptr)
{
    const QMutexLocker locker(&other.mRecordLock);
    mSourceFile = other.mSourceFile;
    mOutputPath = other.mOutputPath;
    mCommandLine = other.mCommandLine;
    mStdOut = other.mStdOut;
    mStdErr = other.mStdErr;
    mStartTime = other.mStartTime;
    mProcessId = other.mProcessId;
    mFileSize = other.mFileSize;
}

MLVWorker::~MLVWorker() = default;

JobStatus MLVWorker::GetStatus() const
{
    if (!mStdErr.isEmpty())
        return JobStatus::Error;
    if (!mCommandLine.isEmpty())
        return mStdOut.isEmpty() ? JobStatus::Processing : JobStatus::Finished;
    return JobStatus::Ready;
}

void MLVWorker::StartProcessing()
{
    emit Finished(this);
    emit FinishedSignal();
}
