#include "batch/batchrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/childprocesses.h"
#include "engine/mlvprocessor.h"
#include "engine/processio.h"

namespace {

// A converter that ignores the polite request is made to end after this long.
const qint64 kForceAfterMs = 3000;
// Keeps ending converters until the scheduler has taken the stop: one may be starting right now.
const int kEndEveryMs = 200;

// Our converter writes every file as NAME.part and renames it when complete; a killed converter
// leaves only those behind, all starting with the clip's name.
void RemoveUnfinishedFiles(const JobReport& report)
{
    const QString folder = report.record->mOutputPath;
    if (folder.isEmpty())
        return;
    const QString name = QFileInfo(report.record->mSourceFile).completeBaseName();
    const QDir dir(folder);
    for (const QString& file : dir.entryList({name + QStringLiteral("*.part")}, QDir::Files | QDir::Hidden))
        QFile::remove(dir.filePath(file));
}

}  // namespace

BatchRun::BatchRun(const ConversionSettings& settings, QObject* pParent) : QObject(pParent), mSettings(settings)
{
    mReports.reserve(mSettings.workers.size());
    for (const MLVWorker& worker : mSettings.workers)
        mReports.emplace_back(worker.mSourceFile);
    mEndTimer.setInterval(kEndEveryMs);
    connect(&mEndTimer, &QTimer::timeout, this, &BatchRun::EndConverters);
}

BatchRun::~BatchRun()
{
    mThread.quit();
    mThread.wait();
}

void BatchRun::Start()
{
    mStartedAt = QDateTime::currentDateTime();
    mpProcessor = new MLVProcessor(mSettings, MLVProcessor::Pacing::FillSlotsAtOnce);
    mpProcessor->moveToThread(&mThread);
    connect(&mThread, &QThread::started, mpProcessor, &MLVProcessor::StartProcessing);
    connect(mpProcessor, &MLVProcessor::FileCompleted, this, [this] { mNextUpdateEnds = true; });
    connect(mpProcessor, &MLVProcessor::UpdateTable, this, &BatchRun::OnUpdate);
    connect(mpProcessor, &MLVProcessor::RefreshTable, this, &BatchRun::OnRefresh);
    connect(mpProcessor, &MLVProcessor::JobOutput, this, [this](const QString& sourceFile, const QString& line) {
        const int index = IndexOf(sourceFile);
        if (index >= 0)
            emit JobOutput(index, line);
    });
    connect(mpProcessor, &MLVProcessor::Finished, &mThread, &QThread::quit);
    connect(mpProcessor, &MLVProcessor::Finished, mpProcessor, &QObject::deleteLater);
    connect(mpProcessor, &MLVProcessor::Finished, this, &BatchRun::OnFinished);
    mThread.start();
}

void BatchRun::Stop()
{
    if (mStopped || !mpProcessor)
        return;
    mStopped = true;
    QMetaObject::invokeMethod(mpProcessor, &MLVProcessor::StopProcessing, Qt::QueuedConnection);
}

void BatchRun::Abort()
{
    Stop();
    if (mAborting)
        return;
    mAborting = true;
    mAbortedAt = QDateTime::currentDateTime();
    for (JobReport& report : mReports)
        report.interrupted = report.IsRunning();
    EndConverters();
    mEndTimer.start();
}

void BatchRun::EndConverters()
{
    ChildProcesses::EndAll(mAbortedAt.msecsTo(QDateTime::currentDateTime()) >= kForceAfterMs);
}

int BatchRun::IndexOf(const QString& sourceFile) const
{
    for (std::size_t i = 0; i < mReports.size(); ++i) {
        if (mReports[i].record->mSourceFile == sourceFile)
            return int(i);
    }
    return -1;
}

void BatchRun::OnUpdate(const MLVWorker& worker)
{
    const bool ends = mNextUpdateEnds;
    mNextUpdateEnds = false;
    const int index = IndexOf(worker.mSourceFile);
    if (index < 0)
        return;
    JobReport& report = mReports[std::size_t(index)];
    const QDateTime now = QDateTime::currentDateTime();
    if (!ends) {
        report.record = std::make_unique<MLVWorker>(worker);
        if (!report.started.isValid())
            report.started = now;
        emit JobStarted(index);
        return;
    }
    report.TakeEnd(worker, now);
    // A job started before the second interrupt but ended by itself was not interrupted after all.
    if (report.interrupted && report.Status() == JobStatus::Finished)
        report.interrupted = false;
    emit JobEnded(index);
}

void BatchRun::SampleProgress()
{
    const QTime now = QTime::currentTime();
    for (JobReport& report : mReports)
        report.SampleProgress(ReadProcessIoCounters, now);
}

void BatchRun::OnRefresh(const std::vector<MLVWorker>& workers)
{
    for (const MLVWorker& worker : workers) {
        const int index = IndexOf(worker.mSourceFile);
        if (index >= 0 && mReports[std::size_t(index)].IsRunning())
            mReports[std::size_t(index)].record = std::make_unique<MLVWorker>(worker);
    }
    // A snapshot brings the process ids of jobs that have just started: their progress can be read from now on.
    SampleProgress();
}

void BatchRun::OnFinished()
{
    mEndTimer.stop();
    mThread.quit();
    mThread.wait();
    if (mAborting) {
        for (const JobReport& report : mReports) {
            if (report.interrupted)
                RemoveUnfinishedFiles(report);
        }
    }
    emit Finished();
}
