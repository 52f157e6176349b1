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
    // The tool's own texts are kept whole, however long; a crash or failure code adds one line.
    void statusFollowsHowTheToolEnded_data()
    {
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::addColumn<int>("repeat");
        QTest::addColumn<int>("exitCode");  // -1: crash
        QTest::addColumn<QString>("addedErr");
        QTest::addColumn<int>("status");
        const QByteArray frame("frame 1\n"), error("[ERROR] x\n");
        QTest::newRow("standard output only") << frame << QByteArray() << 1 << 0 << "" << int(JobStatus::Finished);
        QTest::newRow("both channels") << frame << error << 1 << 0 << "" << int(JobStatus::Error);
        // Nothing printed: the job cannot be told from a running one.
        QTest::newRow("nothing") << QByteArray() << QByteArray() << 1 << 0 << "" << int(JobStatus::Processing);
        QTest::newRow("UTF-8") << QByteArray("Gr\xc3\xb6\xc3\x9f" "e\n") << QByteArray() << 1 << 0 << "" << int(JobStatus::Finished);
        QTest::newRow("code 3") << frame << QByteArray() << 1 << 3 << "fakemlvdump exited with code 3.\n" << int(JobStatus::Error);
        QTest::newRow("crash after an unfinished line") << frame << QByteArray("[ERROR] x") << 1 << -1
                                                        << "\nfakemlvdump crashed.\n" << int(JobStatus::Error);
        // Tens of megabytes on both channels, written in alternation, arrive complete.
        QTest::newRow("big output") << QByteArray("frame 0123456789 written to disk\n") << error << 700000 << 0 << ""
                                    << int(JobStatus::Error);
    }
    void statusFollowsHowTheToolEnded()
    {
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QFETCH(int, repeat);
        QFETCH(int, exitCode);
        QFETCH(QString, addedErr);
        QFETCH(int, status);
        FakeClip clip;
        clip.printOut(out, out.isEmpty() ? 0 : repeat).printErr(err, err.isEmpty() ? 0 : repeat);
        if (exitCode < 0)
            clip.crash();
        const auto worker = job(QStringLiteral("%1.mlv").arg(QTest::currentDataTag()), clip.exitWith(qMax(0, exitCode)));
        QVERIFY(worker);
        run(*worker);
        QVERIFY(worker->mStdOut == QString::fromUtf8(out.repeated(repeat)));
        QVERIFY(worker->mStdErr == QString::fromUtf8(err.repeated(repeat)) + addedErr);
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
        const QRegularExpression oneLine(QStringLiteral("^mlv_dump could not be started: [^\n]+\n$"));
        QVERIFY2(oneLine.match(worker->mStdErr).hasMatch() && worker->mStdOut.isEmpty(), qPrintable(worker->mStdErr));
        // The directory comes first, whatever happens to the tool.
        QVERIFY(QFileInfo(worker->mOutputPath).isDir());
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
