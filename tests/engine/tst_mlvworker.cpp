#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/mlvworker.h"

// The eight values of a record, for one comparison.
static QStringList Values(const MLVWorker& worker)
{
    return {worker.mSourceFile,
            worker.mOutputPath,
            worker.mCommandLine,
            worker.mStdOut,
            worker.mStdErr,
            worker.mStartTime.toString(QStringLiteral("hh:mm:ss.zzz")),
            QString::number(worker.mProcessId),
            QString::number(worker.mFileSize)};
}

class TestMLVWorker : public QObject
{
    Q_OBJECT

private slots:
    // Any text counts, a blank or a line break too; output without a command line is a record never run.
    void statusFollowsTheTexts()
    {
        const struct
        {
            const char *commandLine, *out, *err;
            JobStatus status;
        } rows[] = {{"", "", "", JobStatus::Ready},
                    {"\"x\" a", "", "", JobStatus::Processing},
                    {"\"x\" a", "\n", "", JobStatus::Finished},
                    {"\"x\" a", "done", " ", JobStatus::Error},
                    {"", "", "bad", JobStatus::Error},
                    {"", "done", "", JobStatus::Ready}};
        for (const auto& row : rows) {
            MLVWorker worker(QStringLiteral("/nowhere/a.mlv"), QString(), row.commandLine);
            worker.mStdOut = row.out;
            worker.mStdErr = row.err;
            QCOMPARE(int(worker.GetStatus()), int(row.status));
        }
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
