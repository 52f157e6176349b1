#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/mlvworker.h"

// The ten values of a record, for one comparison.
static QStringList Values(const MLVWorker& worker)
{
    return {worker.mSourceFile,
            worker.mOutputPath,
            worker.mCommandLine,
            worker.mStdOut,
            worker.mStdErr,
            worker.mStartTime.toString(QStringLiteral("hh:mm:ss.zzz")),
            QString::number(worker.mProcessId),
            QString::number(worker.mFileSize),
            QString::number(worker.mDurationMs),
            QString::number(worker.mExitCode)};
}

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
        QTest::newRow("new record") << ""
                                    << ""
                                    << "" << int(JobStatus::Ready);
        QTest::newRow("started") << "\"x\" a"
                                 << ""
                                 << "" << int(JobStatus::Processing);
        QTest::newRow("output only") << "\"x\" a"
                                     << "done"
                                     << "" << int(JobStatus::Finished);
        QTest::newRow("both texts") << "\"x\" a"
                                    << "done"
                                    << "bad" << int(JobStatus::Error);
        QTest::newRow("errors without command") << ""
                                                << ""
                                                << "bad" << int(JobStatus::Error);
        QTest::newRow("output without command") << ""
                                                << "done"
                                                << "" << int(JobStatus::Ready);
        QTest::newRow("a blank is text") << "\"x\" a"
                                         << ""
                                         << " " << int(JobStatus::Error);
        QTest::newRow("a line break is text") << "\"x\" a"
                                              << "\n"
                                              << "" << int(JobStatus::Finished);
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

    // The size is taken on creation (0 for a missing file). A copy is a new object: same values,
    // no parent, none of the original's connections. (Queued signals copy records this way: the
    // scheduler's test receives them across threads.)
    void recordsKeepTheirValues()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("ü clip.MLV")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(12345, 'm')) == 12345);
        file.close();
        QObject owner;
        MLVWorker single(file.fileName(), QStringLiteral("/f/ü clip/"), QStringLiteral("\"t\" x"));
        QCOMPARE(single.mFileSize, qint64(12345));
        single.setParent(&owner);
        single.mStdOut = QStringLiteral("out");
        single.mStdErr = QStringLiteral("[ERROR] broken\n");
        single.mStartTime = QTime(10, 11, 12, 13);
        single.mDurationMs = 2002;
        single.mExitCode = 3;
        single.mProcessId = 4321;
        QSignalSpy finished(&single, &MLVWorker::Finished);
        QSignalSpy finishedSignal(&single, &MLVWorker::FinishedSignal);
        MLVWorker copy(single);
        QCOMPARE(MLVWorker(dir.filePath(QStringLiteral("gone.mlv")), QString(), QString()).mFileSize, qint64(0));
        QVERIFY(copy.parent() == nullptr);
        QCOMPARE(Values(copy), Values(single));
        emit copy.Finished(&copy);
        emit copy.FinishedSignal();
        QCOMPARE(finished.count() + finishedSignal.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMLVWorker)
#include "tst_mlvworker.moc"
