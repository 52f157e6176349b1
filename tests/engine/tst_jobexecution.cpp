#include <atomic>
#include <memory>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "engine/commandline.h"
#include "fakeclip.h"

class TestJobExecution : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mDir;

    // Writes the clip and builds its job the way the scheduler does.
    std::unique_ptr<MLVWorker> job(const QString& name, const FakeClip& clip, ConversionSettings settings = {})
    {
        if (settings.executable.isNull())
            settings.executable = FakeClip::toolPath();
        QString cleaned, output, command;
        if (!clip.write(mDir.filePath(name)) || !BuildCommandLine(settings, mDir.filePath(name), cleaned, output, command))
            return nullptr;
        return std::make_unique<MLVWorker>(cleaned, output, command);
    }

    // Runs the job on this thread, as its own thread would, and checks the two end signals.
    void run(MLVWorker& worker)
    {
        QStringList order;
        connect(&worker, &MLVWorker::Finished, this, [&](MLVWorker* pWorker) { order << (pWorker == &worker ? "this" : "other"); });
        connect(&worker, &MLVWorker::FinishedSignal, this, [&] { order << QStringLiteral("signal"); });
        worker.StartProcessing();
        QCOMPARE(order, (QStringList{"this", "signal"}));
        QCOMPARE(worker.mProcessId, qint64(0));
        QVERIFY(worker.mStartTime.isValid());
    }

private slots:
    // The tool's own texts are kept; a crash or failure code adds one line after its errors.
    void statusFollowsHowTheToolEnded_data()
    {
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<int>("exitCode");  // -1: crash
        QTest::addColumn<QString>("addedErr");
        QTest::addColumn<int>("status");
        QTest::newRow("standard output only") << QByteArray("frame 1\n") << QByteArray() << 0 << "" << int(JobStatus::Finished);
        QTest::newRow("both channels") << QByteArray("frame 1\n") << QByteArray("[ERROR] x\n") << 0 << "" << int(JobStatus::Error);
        // Nothing printed: the job cannot be told from a running one.
        QTest::newRow("nothing") << QByteArray() << QByteArray() << 0 << "" << int(JobStatus::Processing);
        QTest::newRow("UTF-8") << QByteArray("Gr\xc3\xb6\xc3\x9f" "e\n") << QByteArray() << 0 << "" << int(JobStatus::Finished);
        QTest::newRow("code 3") << QByteArray("frame 1\n") << QByteArray() << 3 << "fakemlvdump exited with code 3.\n"
                                << int(JobStatus::Error);
        QTest::newRow("crash after an unfinished line") << QByteArray("frame 1\n") << QByteArray("[ERROR] x") << -1
                                                        << "\nfakemlvdump crashed.\n" << int(JobStatus::Error);
    }
    void statusFollowsHowTheToolEnded()
    {
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QFETCH(int, exitCode);
        QFETCH(QString, addedErr);
        QFETCH(int, status);
        FakeClip clip;
        clip.runFor(50).printOut(out, out.isEmpty() ? 0 : 1).printErr(err, err.isEmpty() ? 0 : 1);
        if (exitCode < 0)
            clip.crash();
        const auto worker = job(QStringLiteral("%1.mlv").arg(QTest::currentDataTag()), clip.exitWith(qMax(0, exitCode)));
        QVERIFY(worker);
        run(*worker);
        QCOMPARE(worker->mStdOut, QString::fromUtf8(out));
        QCOMPARE(worker->mStdErr, QString::fromUtf8(err) + addedErr);
        QCOMPARE(int(worker->GetStatus()), status);
    }

    void programThatCannotStart_data()
    {
        QTest::addColumn<QString>("executable");
        const QString notExecutable = mDir.filePath(QStringLiteral("mlv_dump"));
        QFile file(notExecutable);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\necho hi\n") > 0);
        file.close();
        QTest::newRow("missing") << mDir.filePath(QStringLiteral("no/such/mlv_dump"));
        QTest::newRow("no execute permission") << notExecutable;
    }
    void programThatCannotStart()
    {
        QFETCH(QString, executable);
        ConversionSettings settings;
        settings.executable = executable;
        settings.customDestination = true;
        settings.destination = mDir.filePath(QTest::currentDataTag());
        const auto worker = job(QStringLiteral("unstartable.mlv"), FakeClip().printOut("x\n"), settings);
        QVERIFY(worker);
        run(*worker);
        const QString prefix = QStringLiteral("mlv_dump could not be started: ");
        QVERIFY2(worker->mStdErr.startsWith(prefix) && worker->mStdErr.size() > prefix.size() + 1, qPrintable(worker->mStdErr));
        QCOMPARE(worker->mStdErr.count('\n'), 1);
        QVERIFY(worker->mStdErr.endsWith('\n') && worker->mStdOut.isEmpty());
        // The directory comes first, whatever happens to the tool.
        QVERIFY(QFileInfo(worker->mOutputPath).isDir());
    }

    // Tens of megabytes on both channels, written in alternation, arrive complete.
    void bigOutputIsKeptWhole()
    {
        const QByteArray outLine("frame 0123456789 written to disk\n");
        const QByteArray errLine("[WARNING] 0123456789 cold pixels\n");
        const auto worker = job(QStringLiteral("chatty.mlv"), FakeClip().printOut(outLine, 700000).printErr(errLine, 600000));
        QVERIFY(worker);
        run(*worker);
        QVERIFY(worker->mStdOut == QString::fromLatin1(outLine.repeated(700000)));
        QVERIFY(worker->mStdErr == QString::fromLatin1(errLine.repeated(600000)));
    }

    // The output directory is made, and every argument arrives whole, quotes included.
    void toolReceivesTheSplitCommandLine_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("everyOption");
        QTest::newRow("plain") << "A001C002.mlv" << false;
        QTest::newRow("blanks, every option") << "card 1/day two/take one.mlv" << true;
        QTest::newRow("non-ASCII") << "Größe/日本/Été ü.mlv" << false;
        QTest::newRow("double quotes") << "12\" monitor/a\" \"b.mlv" << false;
    }
    void toolReceivesTheSplitCommandLine()
    {
        QFETCH(QString, path);
        QFETCH(bool, everyOption);
        QVERIFY(QDir(mDir.path()).mkpath(QFileInfo(mDir.filePath(path)).path()));
        const QString record = mDir.filePath(QStringLiteral("args-%1").arg(QTest::currentDataTag()));
        ConversionSettings settings;
        settings.verbose = settings.skipErrors = settings.fixMovingColdPixels = everyOption;
        settings.fixColdPixels = settings.fixVerticalStripes = !everyOption;
        settings.chromaSmoothing = everyOption ? 2 : 0;
        const auto worker = job(path, FakeClip().recordArguments(record).printOut("ok\n").writeDngFiles(2), settings);
        QVERIFY(worker);
        QVERIFY(!QFileInfo::exists(worker->mOutputPath));
        run(*worker);
        QCOMPARE(worker->mStdErr, QString());
        const QStringList received = FakeClip::recordedArguments(record);
        QCOMPARE(received, QProcess::splitCommand(worker->mCommandLine).mid(1));
        QCOMPARE(received.last(), mDir.filePath(path));
        QCOMPARE(received.contains(QStringLiteral("--cs3x3")), everyOption);
        const QString stem = QFileInfo(path).completeBaseName() + '_';
        QCOMPARE(received.at(1), worker->mOutputPath + stem);
        QCOMPARE(QDir(worker->mOutputPath).entryList(QDir::Files), (QStringList{stem + "000000.dng", stem + "000001.dng"}));
    }

    // A copy taken while the job runs shows it either running or ended, never half-written.
    void copiesDuringTheRunAreWhole()
    {
        const QString release = mDir.filePath(QStringLiteral("release"));
        const auto worker = job(QStringLiteral("copied.mlv"), FakeClip().printOut("frame\n", 20000).printErr("skip\n", 20000).holdUntil(release));
        QVERIFY(worker);
        const QString finalOut = QString("frame\n").repeated(20000), finalErr = QString("skip\n").repeated(20000);
        QThread thread;
        worker->moveToThread(&thread);
        std::atomic<bool> ended{false};
        connect(&thread, &QThread::started, worker.get(), &MLVWorker::StartProcessing);
        connect(worker.get(), &MLVWorker::FinishedSignal, worker.get(), [&] { ended = true; }, Qt::DirectConnection);
        thread.start();
        int running = 0, whole = 0;
        for (bool wasEnded = false; !wasEnded;) {
            wasEnded = ended;
            const MLVWorker copy(*worker);
            const bool empty = copy.mStdOut.isEmpty() && copy.mStdErr.isEmpty();
            QVERIFY(empty || (copy.mStdOut == finalOut && copy.mStdErr == finalErr && copy.mProcessId == 0));
            if (copy.mProcessId != 0 && running++ == 0)
                QVERIFY(copy.mStartTime.isValid() && FakeClip::release(release));
            whole += empty ? 0 : 1;
        }
        thread.quit();
        QVERIFY(thread.wait(10000));
        QVERIFY(running > 0 && whole > 0);
    }
};

QTEST_GUILESS_MAIN(TestJobExecution)
#include "tst_jobexecution.moc"
