#include <memory>
#include <vector>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "engine/mlvprocessor.h"

namespace {

// The eight values of a record, for one comparison.
QStringList Values(const MLVWorker& worker)
{
    return {worker.mSourceFile, worker.mOutputPath, worker.mCommandLine, worker.mStdOut, worker.mStdErr,
            worker.mStartTime.toString(QStringLiteral("hh:mm:ss.zzz")), QString::number(worker.mProcessId),
            QString::number(worker.mFileSize)};
}

}  // namespace

class TestMLVWorker : public QObject
{
    Q_OBJECT

private slots:
    void statusFollowsTheTexts_data()
    {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<int>("status");
        QTest::newRow("new record") << "" << "" << "" << int(JobStatus::Ready);
        QTest::newRow("started") << "\"x\" a" << "" << "" << int(JobStatus::Processing);
        QTest::newRow("output only") << "\"x\" a" << "done" << "" << int(JobStatus::Finished);
        QTest::newRow("both texts") << "\"x\" a" << "done" << "bad" << int(JobStatus::Error);
        QTest::newRow("errors without command") << "" << "" << "bad" << int(JobStatus::Error);
        QTest::newRow("output without command") << "" << "done" << "" << int(JobStatus::Ready);
        QTest::newRow("a blank is text") << "\"x\" a" << "" << " " << int(JobStatus::Error);
        QTest::newRow("a line break is text") << "\"x\" a" << "\n" << "" << int(JobStatus::Finished);
    }
    void statusFollowsTheTexts()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, status);
        MLVWorker worker(QStringLiteral("/nowhere/a.mlv"), QString(), commandLine);
        worker.mStdOut = out;
        worker.mStdErr = err;
        QCOMPARE(int(worker.GetStatus()), status);
    }

    void fileSizeIsTakenOnCreation()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("clip.MLV")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(12345, 'm')) == 12345);
        file.close();
        QCOMPARE(MLVWorker(file.fileName(), QString(), QString()).mFileSize, qint64(12345));
        QCOMPARE(MLVWorker(dir.filePath(QStringLiteral("gone.mlv")), QString(), QString()).mFileSize, qint64(0));
    }

    // A copy is a new object: same values, no parent, none of the original's connections.
    void copyIsADetachedValue()
    {
        QObject owner;
        MLVWorker original(QStringLiteral("/f/a.mlv"), QStringLiteral("/f/a/"), QStringLiteral("\"t\" x"));
        original.setParent(&owner);
        original.mStdOut = QStringLiteral("out");
        original.mStdErr = QStringLiteral("err");
        original.mStartTime = QTime(10, 11, 12, 13);
        original.mProcessId = 4321;
        original.mFileSize = 987654321012;
        QSignalSpy finished(&original, &MLVWorker::Finished);
        QSignalSpy finishedSignal(&original, &MLVWorker::FinishedSignal);

        MLVWorker copy(original);
        QVERIFY(copy.parent() == nullptr);
        QCOMPARE(Values(copy), Values(original));
        emit copy.Finished(&copy);
        emit copy.FinishedSignal();
        QCOMPARE(finished.count() + finishedSignal.count(), 0);
        original.setParent(nullptr);
    }

    // Records sent by queued signals from another thread, as the scheduler sends them.
    void recordsCrossThreadsIntact()
    {
        MLVWorker single(QStringLiteral("/f/ü clip.mlv"), QStringLiteral("/f/ü clip/"), QStringLiteral("cmd"));
        single.mStdErr = QStringLiteral("[ERROR] broken\n");
        single.mStartTime = QTime(1, 2, 3);
        single.mProcessId = 77;
        std::vector<MLVWorker> snapshot;
        snapshot.emplace_back(single);
        snapshot.emplace_back(QStringLiteral("/f/2.mlv"), QString(), QString());

        MLVProcessor sender{ConversionSettings()};
        QStringList received;
        connect(&sender, &MLVProcessor::UpdateTable, this, [&](MLVWorker worker) {
            received << Values(worker);
        }, Qt::QueuedConnection);
        connect(&sender, &MLVProcessor::RefreshTable, this, [&](std::vector<MLVWorker> workers) {
            for (const MLVWorker& worker : workers)
                received << Values(worker);
        }, Qt::QueuedConnection);
        std::unique_ptr<QThread> thread(QThread::create([&] {
            emit sender.UpdateTable(single);
            emit sender.RefreshTable(snapshot);
        }));
        thread->start();
        QVERIFY(thread->wait(10000));
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 24, 10000);
        QCOMPARE(received, Values(single) + Values(snapshot[0]) + Values(snapshot[1]));
    }
};

QTEST_GUILESS_MAIN(TestMLVWorker)
#include "tst_mlvworker.moc"
