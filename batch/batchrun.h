// Runs one batch through the window's scheduler at full pace and keeps a report of every job, in list order.
#pragma once

#include <memory>
#include <vector>

#include <QDateTime>
#include <QObject>
#include <QThread>
#include <QTimer>

#include "batch/jobreport.h"
#include "engine/conversionsettings.h"

class MLVProcessor;

class BatchRun : public QObject
{
    Q_OBJECT

public:
    explicit BatchRun(const ConversionSettings& settings, QObject* pParent = nullptr);
    ~BatchRun() override;

    void Start();
    // As the window's Stop: queued jobs are dropped, running ones finish.
    void Stop();
    // Ends the running converters and removes their unfinished files; the batch then finishes.
    void Abort();

    // Reads the running converters' progress into their reports.
    void SampleProgress();

    const std::vector<JobReport>& Reports() const { return mReports; }
    const QDateTime& StartedAt() const { return mStartedAt; }
    bool Stopped() const { return mStopped; }

signals:
    void JobStarted(int index);
    void JobEnded(int index);
    // One line of a running job's converter output.
    void JobOutput(int index, const QString& line);
    void Finished();

private:
    void OnUpdate(const MLVWorker& worker);
    void OnRefresh(const std::vector<MLVWorker>& workers);
    void OnFinished();
    void EndConverters();
    int IndexOf(const QString& sourceFile) const;

    ConversionSettings mSettings;
    std::vector<JobReport> mReports;
    QThread mThread;
    MLVProcessor* mpProcessor = nullptr;  // deletes itself once the batch has finished
    QDateTime mStartedAt;
    bool mStopped = false;
    bool mAborting = false;
    bool mNextUpdateEnds = false;
    QTimer mEndTimer;
    QDateTime mAbortedAt;
};
