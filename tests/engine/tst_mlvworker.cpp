#include <vector>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "engine/mlvworker.h"

// Sends job records by value from a thread of its own, as the scheduler does.
class RecordSender : public QObject
{
    Q_OBJECT
public:
    std::vector<MLVWorker>* snapshot = nullptr;
    MLVWorker* single = nullptr;
public slots:
    void Send()
    {
        emit One(*single);
        emit Many(*snapshot);
    }
signals:
    void One(MLVWorker worker);
    void Many(std::vector<MLVWorker> workers);
};

class RecordReceiver : public QObject
{
    Q_OBJECT
public:
    QThread* oneThread = nullptr;
    QString oneSource;
    QString oneErrors;
    qint64 oneProcessId = 0;
    std::vector<QString> manySources;
    QTime manyStart;
public slots:
    void One(MLVWorker worker)
    {
        oneThread = QThread::currentThread();
        oneSource = worker.mSourceFile;
        oneErrors = worker.mStdErr;
        oneProcessId = worker.mProcessId;
    }
    void Many(std::vector<MLVWorker> workers)
    {
        for (const MLVWorker& worker : workers)
            manySources.push_back(worker.mSourceFile);
        if (!workers.empty())
            manyStart = workers.back().mStartTime;
    }
};

class TestMLVWorker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<MLVWorker>("MLVWorker");
        qRegisterMetaType<std::vector<MLVWorker>>("std::vector<MLVWorker>");
    }

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
        QTest::newRow("errors only") << "\"x\" a" << "" << "bad" << int(JobStatus::Error);
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

    void newRecords()
    {
        const MLVWorker empty;
        QCOMPARE(empty.GetStatus(), JobStatus::Ready);
        QCOMPARE(empty.mFileSize, qint64(0));
        QCOMPARE(empty.mProcessId, qint64(0));
        QVERIFY(empty.mStartTime.isNull());
        QVERIFY(empty.parent() == nullptr);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("clip.MLV"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(12345, 'm'));
        file.close();
        const MLVWorker present(path, QString(), QString());
        QCOMPARE(present.mFileSize, qint64(12345));
        QCOMPARE(present.GetStatus(), JobStatus::Ready);

        const MLVWorker missing(dir.filePath(QStringLiteral("gone.mlv")), QStringLiteral("/out/"), QStringLiteral("cmd"));
        QCOMPARE(missing.mFileSize, qint64(0));
        QCOMPARE(missing.GetStatus(), JobStatus::Processing);
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

        QSignalSpy originalSpy(&original, &MLVWorker::FinishedSignal);
        int reachedThroughOriginal = 0;
        connect(&original, &MLVWorker::Finished, this, [&](MLVWorker*) { ++reachedThroughOriginal; });

        MLVWorker copy(original);
        QVERIFY(copy.parent() == nullptr);
        QCOMPARE(copy.mSourceFile, original.mSourceFile);
        QCOMPARE(copy.mOutputPath, original.mOutputPath);
        QCOMPARE(copy.mCommandLine, original.mCommandLine);
        QCOMPARE(copy.mStdOut, original.mStdOut);
        QCOMPARE(copy.mStdErr, original.mStdErr);
        QCOMPARE(copy.mStartTime, original.mStartTime);
        QCOMPARE(copy.mProcessId, original.mProcessId);
        QCOMPARE(copy.mFileSize, original.mFileSize);

        emit copy.Finished(&copy);
        emit copy.FinishedSignal();
        QCOMPARE(reachedThroughOriginal, 0);
        QCOMPARE(originalSpy.count(), 0);
        original.setParent(nullptr);
    }

    void recordsCrossThreadsIntact()
    {
        MLVWorker single(QStringLiteral("/f/ü clip.mlv"), QStringLiteral("/f/ü clip/"), QStringLiteral("cmd"));
        single.mStdErr = QStringLiteral("[ERROR] broken\n");
        single.mProcessId = 77;
        std::vector<MLVWorker> snapshot;
        snapshot.emplace_back(QStringLiteral("/f/1.mlv"), QString(), QString());
        snapshot.emplace_back(QStringLiteral("/f/2.mlv"), QString(), QString());
        snapshot.back().mStartTime = QTime(1, 2, 3);

        QThread thread;
        RecordSender sender;
        sender.single = &single;
        sender.snapshot = &snapshot;
        sender.moveToThread(&thread);
        RecordReceiver receiver;
        connect(&sender, &RecordSender::One, &receiver, &RecordReceiver::One);
        connect(&sender, &RecordSender::Many, &receiver, &RecordReceiver::Many);
        connect(&thread, &QThread::started, &sender, &RecordSender::Send);
        thread.start();

        QTRY_COMPARE_WITH_TIMEOUT(receiver.manySources.size(), std::size_t(2), 10000);
        thread.quit();
        QVERIFY(thread.wait(10000));
        QCOMPARE(receiver.oneThread, QThread::currentThread());
        QCOMPARE(receiver.oneSource, single.mSourceFile);
        QCOMPARE(receiver.oneErrors, single.mStdErr);
        QCOMPARE(receiver.oneProcessId, qint64(77));
        QCOMPARE(receiver.manySources, (std::vector<QString>{QStringLiteral("/f/1.mlv"), QStringLiteral("/f/2.mlv")}));
        QCOMPARE(receiver.manyStart, QTime(1, 2, 3));
    }
};

QTEST_GUILESS_MAIN(TestMLVWorker)
#include "tst_mlvworker.moc"
