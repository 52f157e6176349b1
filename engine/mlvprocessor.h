// Runs one batch: at most `threads` jobs at a time, each on a thread of its own, at the pace chosen at creation.
#pragma once

#include <vector>

#include <QMutex>
#include <QObject>
#include <QPointer>

#include "engine/conversionsettings.h"
#include "engine/mlvworker.h"
#include "engine/outputfolderclaims.h"

class QThread;

class MLVProcessor : public QObject
{
    Q_OBJECT

public:
    enum class Pacing {
        // The window's: a cycle a second, which starts at most one job or else sends a snapshot.
        OneStartPerCycle,
        // As fast as the jobs go: every free slot is filled at once, an end is handled the moment it arrives,
        // and snapshots follow every kSnapshotEveryMs while jobs run.
        FillSlotsAtOnce
    };
    static constexpr int kSnapshotEveryMs = 500;

    // Copies the options and the job list, leaving out the jobs that are already Finished.
    explicit MLVProcessor(const ConversionSettings& settings, Pacing pacing = Pacing::OneStartPerCycle);
    ~MLVProcessor() override;

    // Lowest free slot index, or -1 when every slot is busy (or there are none).
    // The caller holds mMutex.
    int GetFreeSlot() const;
    // Builds, wires and starts one job in the given slot; false when no job could be made.
    bool StartWorker(int slot, const QString& sourceFile);
    // When an earlier job of this batch already writes into the job's output folder, reports the job
    // as ended with an error naming that job's source, and returns true; the job must not start.
    bool RefuseSharedFolder(const QString& sourceFile);

signals:
    void FileCompleted();
    void UpdateTable(MLVWorker worker);
    void RefreshTable(std::vector<MLVWorker> workers);
    void Finished();
    // One line (without its line break) a running job's converter wrote on either channel, sent from
    // the job's own thread.
    void JobOutput(QString sourceFile, QString line);

public slots:
    // Runs the whole batch on the calling thread; returns after Finished() has been emitted.
    void StartProcessing();
    // Starts nothing more; running jobs go on to their end.
    void StopProcessing();
    void WorkerFinished(MLVWorker* pWorker);

private:
    mutable QMutex mMutex;
    ConversionSettings mSettings;
    const Pacing mPacing;
    std::vector<QThread*> mThreadSlots;
    std::vector<MLVWorker*> mWorkerSlots;
    bool mStop = false;
    // Two recordings in one folder would mix their frames, so each folder serves one job per batch.
    OutputFolderClaims mFolderClaims;
    // Threads of ended jobs that have not been deleted yet; the batch waits for them before
    // it ends, so no deferred deletion is left behind in a thread that is about to stop.
    std::vector<QPointer<QThread>> mEndingThreads;

    bool AnyThreadSlotBusy() const;
    void AwaitEndingThreads();
    void RunAtFullPace();
    // Takes the next job off the queue for the lowest free slot; false when no job was taken (no free slot,
    // an empty queue, or an empty path dropped). The caller holds mMutex, for this and SendSnapshot().
    bool StartNext();
    // Copies of the running jobs, in slot order.
    void SendSnapshot();
    // Waits for whatever comes next: a second's pause, or, at full pace, the next queued call or snapshot time.
    void Pause();
};
