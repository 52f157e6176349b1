// One conversion job: a value record copied through signals, and the live object that runs mlv_dump.
#pragma once

#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QTime>

#include "engine/jobstatus.h"

class MLVWorker : public QObject
{
    Q_OBJECT

public:
    MLVWorker();
    MLVWorker(const QString& sourceFile, const QString& outputPath, const QString& commandLine);
    // A fresh object (no parent, no connections) carrying the same ten values.
    MLVWorker(const MLVWorker& other);
    MLVWorker& operator=(const MLVWorker&) = delete;
    ~MLVWorker() override;

    JobStatus GetStatus() const;

    QString mSourceFile;
    QString mOutputPath;
    QString mCommandLine;
    QString mStdOut;
    QString mStdErr;
    QTime mStartTime;
    qint64 mProcessId = 0;
    qint64 mFileSize = 0;
    // Once the job has ended: how long it ran, and the converter's exit code (-1: it did not run, or it crashed).
    qint64 mDurationMs = -1;
    int mExitCode = -1;

signals:
    void Finished(MLVWorker* pWorker);
    void FinishedSignal();
    // Each line the converter writes, on either channel, as it comes; the record gets the whole texts at the end.
    void OutputLine(QString sourceFile, QString line);

public slots:
    void StartProcessing();

private:
    // The job's own thread writes the record while the scheduler copies it for snapshots:
    // every write after the job has started, and every copy, holds this lock.
    mutable QMutex mRecordLock;
};

Q_DECLARE_METATYPE(MLVWorker)
