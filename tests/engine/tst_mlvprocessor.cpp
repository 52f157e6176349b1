#include <atomic>
#include <memory>
#include <vector>

#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "engine/mlvprocessor.h"
#include "engine/processio.h"
#include "fakeclip.h"

namespace {

QString Name(const MLVWorker& worker)
{
    return QFileInfo(worker.mSourceFile).completeBaseName();
}

QString StatusText(JobStatus status)
{
    switch (status) {
    case JobStatus::Ready: return QStringLiteral("Ready");
    case JobStatus::Processing: return QStringLiteral("Processing");
    case JobStatus::Error: return QStringLiteral("Error");
    case JobStatus::Finished: return QStringLiteral("Finished");
    }
    return QString();
}

}  // namespace

// Runs one batch on a thread of its own, wired as the window wires it, and logs every signal
// in the order it arrives on the test's thread.
class Batch : public QObject
{
    Q_OBJECT

public:
    explicit Batch(const ConversionSettings& settings)
        : mProcessor(new MLVProcessor(settings))
    {
        mProcessor->moveToThread(&mThread);
        connect(&mThread, &QThread::started, mProcessor, &MLVProcessor::StartProcessing);
        connect(mProcessor, &MLVProcessor::FileCompleted, this, &Batch::FileCompleted);
        connect(mProcessor, &MLVProcessor::UpdateTable, this, &Batch::UpdateTable);
        connect(mProcessor, &MLVProcessor::RefreshTable, this, &Batch::RefreshTable);
        connect(mProcessor, &MLVProcessor::Finished, this, &Batch::Finished);
        connect(mProcessor, &MLVProcessor::Finished, &mThread, &QThread::quit);
        connect(mProcessor, &MLVProcessor::Finished, mProcessor, &QObject::deleteLater);
    }
    ~Batch() override
    {
        mThread.quit();
        mThread.wait();
    }

    MLVProcessor* processor() const { return mProcessor; }
    void start() { mThread.start(); }

    // True once the processor has said Finished, deleted itself and its thread has ended.
    bool waitForEnd()
    {
        if (!QTest::qWaitFor([this] { return log.contains(QStringLiteral("finished")); }, 60000))
            return false;
        if (!mThread.wait(10000))
            return false;
        // Anything still queued towards this thread would show up in the log now.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return mProcessor.isNull();
    }

    bool logHas(const QString& entry) const { return log.contains(entry); }

    QStringList log;
    std::vector<std::vector<MLVWorker>> snapshots;
    std::vector<MLVWorker> updates;

public slots:
    void FileCompleted() { log << QStringLiteral("completed"); }
    void UpdateTable(MLVWorker worker)
    {
        log << QStringLiteral("update %1 %2").arg(Name(worker), StatusText(worker.GetStatus()));
        updates.push_back(worker);
    }
    void RefreshTable(std::vector<MLVWorker> workers)
    {
        QStringList names;
        for (const MLVWorker& worker : workers)
            names << Name(worker);
        log << QStringLiteral("refresh [%1]").arg(names.join(','));
        snapshots.push_back(workers);
    }
    void Finished() { log << QStringLiteral("finished"); }

private:
    QThread mThread;
    QPointer<MLVProcessor> mProcessor;
};

class TestMLVProcessor : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mDir;

    QString clip(const QString& name, const FakeClip& behaviour)
    {
        const QString path = mDir.filePath(name + ".mlv");
        return behaviour.write(path) ? path : QString();
    }
    QString releaseFile(const QString& name) const { return mDir.filePath("release-" + name); }

    ConversionSettings settingsFor(const QStringList& sources, int threads) const
    {
        ConversionSettings settings;
        settings.executable = FakeClip::toolPath();
        settings.threads = threads;
        for (const QString& source : sources)
            settings.workers.emplace_back(source, QString(), QString());
        return settings;
    }

    static int count(const QStringList& log, const QString& entry) { return log.count(entry); }

private slots:
    void initTestCase()
    {
        QVERIFY(mDir.isValid());
        qRegisterMetaType<MLVWorker>("MLVWorker");
        qRegisterMetaType<std::vector<MLVWorker>>("std::vector<MLVWorker>");
    }

    void threeFilesInTwoSlots()
    {
        const QStringList sources{
            clip("A1", FakeClip().printOut("A1 done\n").holdUntil(releaseFile("A1")).sizeAtLeast(100000)),
            clip("A2", FakeClip().printOut("A2 done\n").holdUntil(releaseFile("A2")).sizeAtLeast(200000)),
            clip("A3", FakeClip().printOut("A3 partly\n").printErr("A3 failed\n").holdUntil(releaseFile("A3")))};
        Batch batch(settingsFor(sources, 2));
        batch.start();

        // Both running jobs are shown with their live process; A1 then ends first.
        const auto bothRunning = [&] {
            for (const auto& snapshot : batch.snapshots) {
                if (snapshot.size() == 2 && snapshot[0].mProcessId != 0 && snapshot[1].mProcessId != 0)
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(bothRunning(), 30000);
        for (const auto& snapshot : batch.snapshots) {
            if (snapshot.size() != 2 || snapshot[0].mProcessId == 0 || snapshot[1].mProcessId == 0)
                continue;
            QCOMPARE(Name(snapshot[0]), QStringLiteral("A1"));
            QCOMPARE(Name(snapshot[1]), QStringLiteral("A2"));
            QVERIFY(snapshot[0].mProcessId != snapshot[1].mProcessId);
            for (int i = 0; i < 2; ++i) {
                QVERIFY(snapshot[i].mStartTime.isValid());
                QCOMPARE(snapshot[i].mFileSize, QFileInfo(sources[i]).size());
                QVERIFY(snapshot[i].mStdOut.isEmpty() && snapshot[i].mStdErr.isEmpty());
                QCOMPARE(snapshot[i].GetStatus(), JobStatus::Processing);
#if defined(Q_OS_LINUX) || defined(Q_OS_WIN)
                // The table looks up the live counters by this id.
                QVERIFY(ReadProcessIoCounters(snapshot[i].mProcessId));
#endif
            }
        }
        QVERIFY(FakeClip::release(releaseFile("A1")));

        // A3 takes the slot A1 left, so it is listed before A2.
        QTRY_VERIFY_WITH_TIMEOUT(batch.logHas("refresh [A3,A2]"), 30000);
        QVERIFY(FakeClip::release(releaseFile("A2")));
        QVERIFY(FakeClip::release(releaseFile("A3")));
        QVERIFY(batch.waitForEnd());

        const QStringList& log = batch.log;
        QCOMPARE(log.mid(0, 3), (QStringList{"update A1 Processing", "update A2 Processing", "refresh [A1,A2]"}));
        const int firstEnd = log.indexOf("completed");
        QVERIFY(firstEnd > 2);
        for (int i = 2; i < firstEnd; ++i)
            QCOMPARE(log[i], QStringLiteral("refresh [A1,A2]"));
        QCOMPARE(log[firstEnd + 1], QStringLiteral("update A1 Finished"));
        QCOMPARE(log[firstEnd + 2], QStringLiteral("update A3 Processing"));
        const int secondEnd = log.indexOf("completed", firstEnd + 1);
        for (int i = firstEnd + 3; i < secondEnd; ++i)
            QCOMPARE(log[i], QStringLiteral("refresh [A3,A2]"));

        // Every end is a completion followed at once by the ended job; Finished comes once, last.
        QCOMPARE(count(log, "completed"), 3);
        QStringList ends;
        for (int i = 0; i < log.size(); ++i) {
            if (log[i] == QLatin1String("completed")) {
                QVERIFY(i + 1 < log.size());
                ends << log[i + 1];
            }
        }
        QCOMPARE(ends.first(), QStringLiteral("update A1 Finished"));
        ends.sort();
        QCOMPARE(ends, (QStringList{"update A1 Finished", "update A2 Finished", "update A3 Error"}));
        QCOMPARE(count(log, "update A3 Processing"), 1);
        QCOMPARE(count(log, "finished"), 1);
        QCOMPARE(log.last(), QStringLiteral("finished"));

        // A start carries the new job before its process exists; an end carries what it printed.
        const MLVWorker& started = batch.updates.front();
        QCOMPARE(started.mSourceFile, sources[0]);
        QCOMPARE(started.mOutputPath, mDir.filePath("A1/"));
        QVERIFY(started.mCommandLine.startsWith('"' + FakeClip::toolPath() + "\" -o "));
        QVERIFY(started.mStartTime.isNull());
        QCOMPARE(started.mProcessId, qint64(0));
        const MLVWorker& failed = *std::find_if(batch.updates.begin(), batch.updates.end(), [](const MLVWorker& w) {
            return w.GetStatus() == JobStatus::Error;
        });
        QCOMPARE(failed.mStdOut, QStringLiteral("A3 partly\n"));
        QCOMPARE(failed.mStdErr, QStringLiteral("A3 failed\n"));
        QCOMPARE(failed.mProcessId, qint64(0));
    }

    // The stop is asked for while the first start is reported, so it is handled before the
    // next cycle: with three free slots still only one job may have started.
    void oneStartPerCycle()
    {
        const QStringList sources{clip("B1", FakeClip().printOut("B1 done\n").runFor(200)),
                                  clip("B2", FakeClip().printOut("B2 done\n")),
                                  clip("B3", FakeClip().printOut("B3 done\n"))};
        Batch batch(settingsFor(sources, 3));
        MLVProcessor* const processor = batch.processor();
        connect(processor, &MLVProcessor::UpdateTable, processor, [processor](const MLVWorker&) {
            QMetaObject::invokeMethod(processor, &MLVProcessor::StopProcessing, Qt::QueuedConnection);
        }, Qt::DirectConnection);
        batch.start();
        QVERIFY(batch.waitForEnd());
        QCOMPARE(batch.log, (QStringList{"update B1 Processing", "completed", "update B1 Finished", "finished"}));
    }

    void stopWithJobsRunningAndQueued()
    {
        QStringList sources{clip("C1", FakeClip().printOut("C1 done\n").holdUntil(releaseFile("C1"))),
                            clip("C2", FakeClip().printOut("C2 done\n").holdUntil(releaseFile("C2")))};
        for (const QString name : {"C3", "C4", "C5"})
            sources << clip(name, FakeClip().printOut("never\n"));
        Batch batch(settingsFor(sources, 2));
        MLVProcessor* const processor = batch.processor();
        std::atomic<bool> asked{false};
        connect(processor, &MLVProcessor::RefreshTable, processor, [processor, &asked](const std::vector<MLVWorker>& w) {
            if (w.size() == 2 && !asked.exchange(true))
                QMetaObject::invokeMethod(processor, &MLVProcessor::StopProcessing, Qt::QueuedConnection);
        }, Qt::DirectConnection);
        batch.start();
        QTRY_VERIFY_WITH_TIMEOUT(batch.logHas("refresh [C1,C2]"), 30000);
        QVERIFY(FakeClip::release(releaseFile("C2")));
        QVERIFY(FakeClip::release(releaseFile("C1")));
        QVERIFY(batch.waitForEnd());

        const QStringList& log = batch.log;
        QCOMPARE(log.mid(0, 3), (QStringList{"update C1 Processing", "update C2 Processing", "refresh [C1,C2]"}));
        QStringList rest = log.mid(3);
        QCOMPARE(rest.size(), 5);
        QCOMPARE(rest.takeLast(), QStringLiteral("finished"));
        QCOMPARE(rest[0], QStringLiteral("completed"));
        QCOMPARE(rest[2], QStringLiteral("completed"));
        QStringList ends{rest[1], rest[3]};
        ends.sort();
        QCOMPARE(ends, (QStringList{"update C1 Finished", "update C2 Finished"}));
        for (const QString& entry : log)
            QVERIFY2(!entry.contains(QRegularExpression("C[345]")), qPrintable(entry));
        QVERIFY(!QFileInfo::exists(mDir.filePath("C3")));
    }

    void everyJobAlreadyFinished()
    {
        ConversionSettings settings = settingsFor({}, 2);
        for (const QString name : {"D1", "D2"}) {
            settings.workers.emplace_back(clip(name, FakeClip()), mDir.filePath(name + '/'), QStringLiteral("\"x\" -o y"));
            settings.workers.back().mStdOut = QStringLiteral("done\n");
        }
        Batch batch(settings);
        batch.start();
        QVERIFY(batch.waitForEnd());
        QCOMPARE(batch.log, (QStringList{"refresh []", "finished"}));
        QVERIFY(batch.snapshots.front().empty());
    }

    // Finished jobs are left out, a path without "/" is dropped without a word, and an empty
    // path costs a cycle that shows a snapshot instead; the job after them still runs.
    void unusableQueueEntriesAreDropped()
    {
        ConversionSettings settings = settingsFor({}, 1);
        settings.workers.emplace_back(clip("E0", FakeClip()), mDir.filePath("E0/"), QStringLiteral("\"x\" -o y"));
        settings.workers.back().mStdOut = QStringLiteral("done\n");
        settings.workers.emplace_back(QStringLiteral("E1.mlv"), QString(), QString());
        settings.workers.emplace_back(QString(), QString(), QString());
        settings.workers.emplace_back(clip("E3", FakeClip().printOut("E3 done\n")), QString(), QString());
        Batch batch(settings);
        batch.start();
        QVERIFY(batch.waitForEnd());
        QStringList log = batch.log;
        log.removeAll(QStringLiteral("refresh [E3]"));
        QCOMPARE(log, (QStringList{"refresh []", "update E3 Processing", "completed", "update E3 Finished", "finished"}));
    }

    // Without slots nothing ever starts; only a stop ends a batch that still has a queue.
    void noSlots()
    {
        Batch batch(settingsFor({clip("G1", FakeClip().printOut("G1\n"))}, 0));
        MLVProcessor* const processor = batch.processor();
        connect(processor, &MLVProcessor::RefreshTable, processor, [processor](const std::vector<MLVWorker>&) {
            QMetaObject::invokeMethod(processor, &MLVProcessor::StopProcessing, Qt::QueuedConnection);
        }, Qt::DirectConnection);
        batch.start();
        QVERIFY(batch.waitForEnd());
        QCOMPARE(batch.log, (QStringList{"refresh []", "finished"}));
    }
};

QTEST_GUILESS_MAIN(TestMLVProcessor)
#include "tst_mlvprocessor.moc"
