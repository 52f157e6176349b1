#include "engine/mlvprocessor.h"

#include <algorithm>
#include <memory>
#include <new>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include "engine/commandline.h"

namespace {

const unsigned long kCyclePauseMs = 1000;
// An ended job's thread is down within moments of its quit(); this only bounds a broken case.
const qint64 kEndingThreadsWaitMs = 10000;

}  // namespace

MLVProcessor::MLVProcessor(const ConversionSettings& settings, Pacing pacing)
    : QObject(nullptr), mSettings(settings), mPacing(pacing)
{
    // The start-up registers both already; doing it here as well keeps a scheduler usable by any
    // caller, since an unregistered type would make every queued report vanish silently.
    qRegisterMetaType<MLVWorker>("MLVWorker");
    qRegisterMetaType<std::vector<MLVWorker>>("std::vector<MLVWorker>");
    std::list<MLVWorker>& queue = mSettings.workers;
    for (auto it = queue.begin(); it != queue.end();) {
        if (it->GetStatus() == JobStatus::Finished)
            it = queue.erase(it);
        else
            ++it;
    }
    if (mSettings.threads >= 1) {
        mThreadSlots.assign(std::size_t(mSettings.threads), nullptr);
        mWorkerSlots.assign(std::size_t(mSettings.threads), nullptr);
    }
}

MLVProcessor::~MLVProcessor() = default;

int MLVProcessor::GetFreeSlot() const
{
    const auto free = std::find(mThreadSlots.begin(), mThreadSlots.end(), nullptr);
    return free == mThreadSlots.end() ? -1 : int(free - mThreadSlots.begin());
}

bool MLVProcessor::StartWorker(int slot, const QString& sourceFile)
{
    if (slot < 0 || std::size_t(slot) >= mThreadSlots.size())
        return false;
    QString cleanedPath;
    QString outputPath;
    QString commandLine;
    if (!BuildCommandLine(mSettings, sourceFile, cleanedPath, outputPath, commandLine))
        return false;

    std::unique_ptr<QThread> thread(new (std::nothrow) QThread);
    std::unique_ptr<MLVWorker> worker(new (std::nothrow) MLVWorker(cleanedPath, outputPath, commandLine));
    if (!thread || !worker)
        return false;

    worker->moveToThread(thread.get());
    connect(thread.get(), &QThread::started, worker.get(), &MLVWorker::StartProcessing);
    connect(worker.get(), &MLVWorker::Finished, this, &MLVProcessor::WorkerFinished);
    connect(worker.get(), &MLVWorker::FinishedSignal, thread.get(), &QThread::quit);
    connect(thread.get(), &QThread::finished, worker.get(), &QObject::deleteLater);
    connect(thread.get(), &QThread::finished, thread.get(), &QObject::deleteLater);
    // Passed on from the job's thread as it is, so a line never waits for this thread's next pause.
    connect(worker.get(), &MLVWorker::OutputLine, this, &MLVProcessor::JobOutput, Qt::DirectConnection);

    mFolderClaims.Claim(outputPath, cleanedPath);
    // From here on the two objects delete themselves once the thread has finished.
    mThreadSlots[std::size_t(slot)] = thread.release();
    mWorkerSlots[std::size_t(slot)] = worker.release();
    emit UpdateTable(*mWorkerSlots[std::size_t(slot)]);
    mThreadSlots[std::size_t(slot)]->start(QThread::InheritPriority);
    return true;
}

void MLVProcessor::StartProcessing()
{
    std::list<MLVWorker>& queue = mSettings.workers;
    if (mPacing == Pacing::FillSlotsAtOnce) {
        RunAtFullPace();
        return;
    }
    for (;;) {
        if (mStop) {
            queue.clear();
        } else {
            const QMutexLocker locker(&mMutex);
            if (!StartNext())
                SendSnapshot();
        }

        Pause();

        {
            const QMutexLocker locker(&mMutex);
            if (AnyThreadSlotBusy())
                continue;
        }
        if (queue.empty()) {
            AwaitEndingThreads();
            emit Finished();
            return;
        }
    }
}

void MLVProcessor::RunAtFullPace()
{
    std::list<MLVWorker>& queue = mSettings.workers;
    // The timer both marks a snapshot as due and wakes the wait in Pause().
    bool snapshotDue = false;
    QTimer snapshotTimer;
    connect(&snapshotTimer, &QTimer::timeout, this, [&snapshotDue] { snapshotDue = true; });
    snapshotTimer.start(kSnapshotEveryMs);
    for (;;) {
        if (mStop)
            queue.clear();
        {
            const QMutexLocker locker(&mMutex);
            while (GetFreeSlot() != -1 && !queue.empty())
                StartNext();
            // Snapshots go on while a stop lets the running jobs finish, so their progress still shows.
            if (snapshotDue && AnyThreadSlotBusy())
                SendSnapshot();
            snapshotDue = false;
            if (!AnyThreadSlotBusy() && queue.empty())
                break;
        }
        Pause();
    }
    AwaitEndingThreads();
    emit Finished();
}

bool MLVProcessor::StartNext()
{
    std::list<MLVWorker>& queue = mSettings.workers;
    const int slot = GetFreeSlot();
    // A refused job takes no slot, so the next one is tried at once.
    while (slot != -1 && !queue.empty() && RefuseSharedFolder(queue.front().mSourceFile))
        queue.pop_front();
    if (slot == -1 || queue.empty())
        return false;
    const QString sourceFile = queue.front().mSourceFile;
    queue.pop_front();
    if (sourceFile.isEmpty())
        return false;
    StartWorker(slot, sourceFile);
    return true;
}

void MLVProcessor::SendSnapshot()
{
    std::vector<MLVWorker> snapshot;
    for (const MLVWorker* worker : mWorkerSlots) {
        if (worker)
            snapshot.emplace_back(*worker);  // the copy takes the job's record lock
    }
    emit RefreshTable(snapshot);
}

void MLVProcessor::Pause()
{
    if (mPacing == Pacing::FillSlotsAtOnce) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return;
    }
    QCoreApplication::processEvents();
    QThread::msleep(kCyclePauseMs);
    QCoreApplication::processEvents();
}

bool MLVProcessor::RefuseSharedFolder(const QString& sourceFile)
{
    QString cleanedPath;
    QString outputPath;
    QString commandLine;
    if (!BuildCommandLine(mSettings, sourceFile, cleanedPath, outputPath, commandLine))
        return false;
    const QString owner = mFolderClaims.Owner(outputPath);
    if (owner.isEmpty())
        return false;
    // No command line: the record shows that the converter never ran for this job.
    MLVWorker refused(cleanedPath, outputPath, QString());
    refused.mStdErr = QStringLiteral("Not started: %1 already writes into %2\n").arg(owner, outputPath);
    emit FileCompleted();
    emit UpdateTable(refused);
    return true;
}

void MLVProcessor::StopProcessing()
{
    mStop = true;
}

void MLVProcessor::WorkerFinished(MLVWorker* pWorker)
{
    if (!pWorker)
        return;
    std::unique_ptr<MLVWorker> copy;
    {
        const QMutexLocker locker(&mMutex);
        const auto found = std::find(mWorkerSlots.begin(), mWorkerSlots.end(), pWorker);
        copy = std::make_unique<MLVWorker>(*pWorker);
        if (found != mWorkerSlots.end()) {
            const std::size_t index = std::size_t(found - mWorkerSlots.begin());
            mEndingThreads.erase(std::remove_if(mEndingThreads.begin(), mEndingThreads.end(),
                                                [](const QPointer<QThread>& thread) { return thread.isNull(); }),
                                 mEndingThreads.end());
            mEndingThreads.emplace_back(mThreadSlots[index]);
            mThreadSlots[index] = nullptr;
            mWorkerSlots[index] = nullptr;
        }
    }
    emit FileCompleted();
    emit UpdateTable(*copy);
}

bool MLVProcessor::AnyThreadSlotBusy() const
{
    return std::any_of(mThreadSlots.begin(), mThreadSlots.end(), [](const QThread* thread) { return thread; });
}

void MLVProcessor::AwaitEndingThreads()
{
    const QDeadlineTimer deadline(kEndingThreadsWaitMs);
    const auto pending = [this] {
        return std::any_of(mEndingThreads.begin(), mEndingThreads.end(),
                           [](const QPointer<QThread>& thread) { return !thread.isNull(); });
    };
    while (pending() && !deadline.hasExpired()) {
        QThread::msleep(5);
        QCoreApplication::processEvents();
    }
    mEndingThreads.clear();
}
