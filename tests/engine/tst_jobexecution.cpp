#include <atomic>
#include <memory>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <sys/types.h>
#endif

#include "engine/commandline.h"
#include "engine/mlvworker.h"
#include "fakeclip.h"

namespace {

const QString kTool = QStringLiteral("fakemlvdump");

// Builds the job for one clip the way the scheduler does.
std::unique_ptr<MLVWorker> MakeJob(const ConversionSettings& settings, const QString& source)
{
    QString cleaned;
    QString output;
    QString command;
    if (!BuildCommandLine(settings, source, cleaned, output, command))
        return nullptr;
    return std::make_unique<MLVWorker>(cleaned, output, command);
}

ConversionSettings FakeToolSettings()
{
    ConversionSettings settings;
    settings.executable = FakeClip::toolPath();
    return settings;
}

}  // namespace

class TestJobExecution : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mDir;

    QString writeClip(const QString& name, const FakeClip& clip)
    {
        const QString path = mDir.filePath(name);
        return clip.write(path) ? path : QString();
    }

    // Runs the job on this thread, as its own thread would, and checks the two end signals.
    void run(MLVWorker& worker)
    {
        QStringList order;
        connect(&worker, &MLVWorker::Finished, this, [&](MLVWorker* pWorker) {
            order << (pWorker == &worker ? QStringLiteral("Finished(this)") : QStringLiteral("Finished(other)"));
        });
        connect(&worker, &MLVWorker::FinishedSignal, this, [&] { order << QStringLiteral("FinishedSignal"); });
        worker.StartProcessing();
        QCOMPARE(order, (QStringList{QStringLiteral("Finished(this)"), QStringLiteral("FinishedSignal")}));
        QCOMPARE(worker.mProcessId, qint64(0));
        QVERIFY(worker.mStartTime.isValid());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(mDir.isValid());
        QVERIFY(QFileInfo(FakeClip::toolPath()).isExecutable());
    }

    void statusFollowsWhatTheToolPrinted_data()
    {
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<int>("status");
        QTest::newRow("standard output only") << QByteArray("frame 1\nframe 2\n") << QByteArray() << int(JobStatus::Finished);
        QTest::newRow("both channels") << QByteArray("frame 1\n") << QByteArray("[ERROR] bad block\n") << int(JobStatus::Error);
        QTest::newRow("standard error only") << QByteArray() << QByteArray("[ERROR] no frames\n") << int(JobStatus::Error);
        // Nothing printed: the job cannot be told from a running one.
        QTest::newRow("nothing") << QByteArray() << QByteArray() << int(JobStatus::Processing);
        QTest::newRow("UTF-8 text") << QByteArray("Gr\xc3\xb6\xc3\x9f" "e \xe2\x9c\x93\n") << QByteArray()
                                    << int(JobStatus::Finished);
    }
    void statusFollowsWhatTheToolPrinted()
    {
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QFETCH(int, status);
        FakeClip clip;
        clip.runFor(50);
        if (!out.isEmpty())
            clip.printOut(out);
        if (!err.isEmpty())
            clip.printErr(err);
        const QString source = writeClip(QStringLiteral("status %1.mlv").arg(QTest::currentDataTag()), clip);
        const auto job = MakeJob(FakeToolSettings(), source);
        QVERIFY(job);
        run(*job);
        QCOMPARE(job->mStdOut, QString::fromUtf8(out));
        QCOMPARE(job->mStdErr, QString::fromUtf8(err));
        QCOMPARE(int(job->GetStatus()), status);
    }

    // The tool's own texts are kept, and one line saying how it ended follows its errors.
    void crashOrFailureCodeIsAnError_data()
    {
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<bool>("crash");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expectedErr");
        QTest::newRow("code 3 after regular output") << QByteArray("frame 1\n") << QByteArray() << false << 3
                                                     << kTool + " exited with code 3.\n";
        QTest::newRow("code 1 after an unfinished error line") << QByteArray() << QByteArray("broken") << false << 1
                                                               << "broken\n" + kTool + " exited with code 1.\n";
        QTest::newRow("crash after regular output") << QByteArray("frame 1\n") << QByteArray() << true << 0
                                                    << kTool + " crashed.\n";
        QTest::newRow("crash after errors") << QByteArray("frame 1\n") << QByteArray("[ERROR] x\n") << true << 0
                                            << "[ERROR] x\n" + kTool + " crashed.\n";
    }
    void crashOrFailureCodeIsAnError()
    {
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QFETCH(bool, crash);
        QFETCH(int, exitCode);
        QFETCH(QString, expectedErr);
        FakeClip clip;
        clip.exitWith(exitCode);
        if (!out.isEmpty())
            clip.printOut(out);
        if (!err.isEmpty())
            clip.printErr(err);
        if (crash)
            clip.crash();
        const auto job = MakeJob(FakeToolSettings(), writeClip(QStringLiteral("ending %1.mlv").arg(QTest::currentDataTag()), clip));
        QVERIFY(job);
        run(*job);
        QCOMPARE(job->mStdOut, QString::fromLatin1(out));
        QCOMPARE(job->mStdErr, expectedErr);
        QCOMPARE(job->GetStatus(), JobStatus::Error);
    }

    void programThatCannotStart_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("name");
        const QString notExecutable = mDir.filePath(QStringLiteral("plain-file"));
        QFile file(notExecutable);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\necho hi\n");
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QTest::newRow("missing") << mDir.filePath(QStringLiteral("no/such/mlv_dump")) << "mlv_dump";
        QTest::newRow("no execute permission") << notExecutable << "plain-file";
        QTest::newRow("a directory") << mDir.path() << QFileInfo(mDir.path()).fileName();
        QTest::newRow("empty") << QString() << "mlv_dump";
    }
    void programThatCannotStart()
    {
        QFETCH(QString, executable);
        QFETCH(QString, name);
        ConversionSettings settings;
        settings.executable = executable;
        settings.customDestination = true;
        settings.destination = mDir.filePath(QStringLiteral("unstartable/%1").arg(QTest::currentDataTag()));
        const auto job = MakeJob(settings, writeClip(QStringLiteral("unstartable.mlv"), FakeClip().printOut("x\n")));
        QVERIFY(job);
        run(*job);
        const QString prefix = name + " could not be started: ";
        QVERIFY2(job->mStdErr.startsWith(prefix), qPrintable(job->mStdErr));
        QVERIFY2(job->mStdErr.size() > prefix.size() + 1, "the reason is missing");
        QCOMPARE(job->mStdErr.count('\n'), 1);
        QVERIFY(job->mStdErr.endsWith('\n'));
        QVERIFY(job->mStdOut.isEmpty());
        QCOMPARE(job->GetStatus(), JobStatus::Error);
        // The directory comes first, whatever happens to the tool.
        QVERIFY(QFileInfo(job->mOutputPath).isDir());
    }

    void outputDirectoryIsCreated()
    {
        ConversionSettings settings = FakeToolSettings();
        settings.customDestination = true;
        settings.destination = mDir.filePath(QStringLiteral("deep/er/still"));
        const auto job = MakeJob(settings, writeClip(QStringLiteral("Take 7.mlv"), FakeClip().printOut("ok\n").writeDngFiles(3)));
        QVERIFY(job);
        QCOMPARE(job->mOutputPath, settings.destination + "/Take 7/");
        QVERIFY(!QFileInfo::exists(job->mOutputPath));
        run(*job);
        QCOMPARE(job->GetStatus(), JobStatus::Finished);
        QCOMPARE(QDir(job->mOutputPath).entryList(QDir::Files),
                 (QStringList{"Take 7_000000.dng", "Take 7_000001.dng", "Take 7_000002.dng"}));
    }

    // Tens of megabytes on both channels, written in alternation, arrive complete.
    void bigOutputIsKeptWhole()
    {
        const QByteArray outLine("frame 0123456789 written to disk\n");
        const QByteArray errLine("[WARNING] 0123456789 cold pixels\n");
        const qint64 outCount = 700000;
        const qint64 errCount = 600000;
        const auto job = MakeJob(FakeToolSettings(),
                                 writeClip(QStringLiteral("chatty.mlv"), FakeClip().printOut(outLine, outCount).printErr(errLine, errCount)));
        QVERIFY(job);
        run(*job);
        QCOMPARE(job->mStdOut.size(), outLine.size() * outCount);
        QCOMPARE(job->mStdErr.size(), errLine.size() * errCount);
        QVERIFY(job->mStdOut == QString::fromLatin1(outLine.repeated(int(outCount))));
        QVERIFY(job->mStdErr == QString::fromLatin1(errLine.repeated(int(errCount))));
        QCOMPARE(job->GetStatus(), JobStatus::Error);
    }

    void toolReceivesTheSplitCommandLine_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("everyOption");
        QTest::newRow("plain") << "plain" << "A001C002.mlv" << false;
        QTest::newRow("every option") << "plain" << "A001C003.mlv" << true;
        QTest::newRow("blanks") << "card 1/day two" << "take one.mlv" << false;
        QTest::newRow("non-ASCII") << "Größe/日本" << "Été ü.mlv" << true;
        QTest::newRow("double quotes") << "12\" monitor" << "a\" \"b.mlv" << false;
    }
    void toolReceivesTheSplitCommandLine()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(bool, everyOption);
        QVERIFY(QDir(mDir.path()).mkpath(folder));
        const QString record = mDir.filePath(QStringLiteral("args-%1").arg(QTest::currentDataTag()));
        const QString source = writeClip(folder + '/' + name, FakeClip().recordArguments(record).printOut("ok\n").writeDngFiles(1));
        QVERIFY(!source.isEmpty());
        ConversionSettings settings = FakeToolSettings();
        if (everyOption) {
            settings.verbose = true;
            settings.skipErrors = true;
            settings.chromaSmoothing = 2;
            settings.fixColdPixels = false;
            settings.fixMovingColdPixels = true;
            settings.fixVerticalStripes = false;
        }
        const auto job = MakeJob(settings, source);
        QVERIFY(job);
        run(*job);
        QVERIFY2(job->mStdErr.isEmpty(), qPrintable(job->mStdErr));
        QCOMPARE(job->GetStatus(), JobStatus::Finished);

        const QStringList received = FakeClip::recordedArguments(record);
        QCOMPARE(received, QProcess::splitCommand(job->mCommandLine).mid(1));
        QCOMPARE(received.last(), source);
        QString stem = name;
        stem.chop(4);
        QCOMPARE(received.at(1), job->mOutputPath + stem + '_');
        QVERIFY(QFileInfo::exists(job->mOutputPath + stem + "_000000.dng"));
        QCOMPARE(received.contains(QStringLiteral("--cs3x3")), everyOption);
    }

    // A copy taken while the job runs shows it either running or ended, never half-written.
    void copiesDuringTheRunAreWhole()
    {
        const QString release = mDir.filePath(QStringLiteral("release-copies"));
        const QByteArray outLine("frame written\n");
        const QByteArray errLine("[WARNING] skipped\n");
        const auto job = MakeJob(FakeToolSettings(), writeClip(QStringLiteral("copied.mlv"),
                                 FakeClip().printOut(outLine, 20000).printErr(errLine, 20000).holdUntil(release)));
        QVERIFY(job);
        const QString finalOut = QString::fromLatin1(outLine.repeated(20000));
        const QString finalErr = QString::fromLatin1(errLine.repeated(20000));

        QThread thread;
        job->moveToThread(&thread);
        std::atomic<bool> ended{false};
        connect(&thread, &QThread::started, job.get(), &MLVWorker::StartProcessing);
        connect(job.get(), &MLVWorker::FinishedSignal, job.get(), [&] { ended = true; }, Qt::DirectConnection);
        thread.start();

        int running = 0;
        int whole = 0;
        qint64 seenId = 0;
        QElapsedTimer limit;
        limit.start();
        while (limit.elapsed() < 60000) {
            const bool wasEnded = ended;
            const MLVWorker copy(*job);
            const bool empty = copy.mStdOut.isEmpty() && copy.mStdErr.isEmpty();
            QVERIFY(empty || (copy.mStdOut == finalOut && copy.mStdErr == finalErr));
            if (copy.mProcessId != 0) {
                QVERIFY(empty);
                QVERIFY(copy.mStartTime.isValid());
                QVERIFY(seenId == 0 || seenId == copy.mProcessId);
                seenId = copy.mProcessId;
                if (running++ == 0)
                    QVERIFY(FakeClip::release(release));
            }
            if (!empty) {
                QCOMPARE(copy.mProcessId, qint64(0));
                ++whole;
            }
            if (wasEnded)
                break;
        }
        thread.quit();
        QVERIFY(thread.wait(10000));
        QVERIFY(running > 0);
        QVERIFY(whole > 0);
        QCOMPARE(job->GetStatus(), JobStatus::Error);
    }

#ifdef Q_OS_UNIX
    void processKilledFromOutsideIsAnError()
    {
        const auto job = MakeJob(FakeToolSettings(), writeClip(QStringLiteral("endless.mlv"), FakeClip().printOut("frame 1\n").hang()));
        QVERIFY(job);
        QThread thread;
        job->moveToThread(&thread);
        QSignalSpy ended(job.get(), &MLVWorker::FinishedSignal);
        connect(&thread, &QThread::started, job.get(), &MLVWorker::StartProcessing);
        thread.start();
        qint64 processId = 0;
        QTRY_VERIFY_WITH_TIMEOUT((processId = MLVWorker(*job).mProcessId) != 0, 20000);
        QCOMPARE(ended.count(), 0);
        QCOMPARE(::kill(pid_t(processId), SIGKILL), 0);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
        thread.quit();
        QVERIFY(thread.wait(10000));
        QCOMPARE(job->mStdOut, QStringLiteral("frame 1\n"));
        QCOMPARE(job->mStdErr, kTool + " crashed.\n");
        QCOMPARE(job->mProcessId, qint64(0));
    }
#endif
};

QTEST_GUILESS_MAIN(TestJobExecution)
#include "tst_jobexecution.moc"
