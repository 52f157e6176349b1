// A job's run of the tool: its texts, its status, its arguments and folder, and the I/O counters of a process.
#include <atomic>
#include <memory>
#include <system_error>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "engine/commandline.h"
#include "engine/processio.h"
#include "fakeclip.h"

class TestJobExecution : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mDir;

    // Writes the clip and builds its job the way the scheduler does.
    std::unique_ptr<MLVWorker> job(const QString& name, const FakeClip& clip,
                                   const QString& tool = FakeClip::toolPath(), const QString& destination = QString())
    {
        ConversionSettings settings;
        settings.executable = tool;
        settings.customDestination = !destination.isNull();
        settings.destination = destination;
        QString cleaned, output, command;
        if (!clip.write(mDir.filePath(name))
            || !BuildCommandLine(settings, mDir.filePath(name), cleaned, output, command))
            return nullptr;
        return std::make_unique<MLVWorker>(cleaned, output, command);
    }

    // Runs the job on this thread, as its own thread would, and checks the two end signals.
    void run(MLVWorker& worker)
    {
        QStringList order;
        connect(&worker, &MLVWorker::Finished, this,
                [&](MLVWorker* pWorker) { order << (pWorker == &worker ? "this" : "other"); });
        connect(&worker, &MLVWorker::FinishedSignal, this, [&] { order << QStringLiteral("signal"); });
        worker.StartProcessing();
        QCOMPARE(order, (QStringList{"this", "signal"}));
        QCOMPARE(worker.mProcessId, qint64(0));
        QVERIFY(worker.mStartTime.isValid());
    }

private slots:
    // The tool's own texts are kept whole, however long; a crash, a failure code or a tool that
    // cannot start adds one line (a pattern). The output directory is made first in every case.
    void statusFollowsHowTheToolEnded()
    {
        const QString fake = FakeClip::toolPath(), missing = mDir.filePath("no/such/mlv_dump");
        const QByteArray frame("frame 1 Gr\303\266\303\237e\n"), error("[ERROR] x\n");  // UTF-8
        const JobStatus finished = JobStatus::Finished, failed = JobStatus::Error;
        // tag, tool, out, err, repeat, exit code (-1: crash), the line added to the errors, status
        for (const auto& [tag, tool, out, err, repeat, exitCode, addedErr, status] :
             {std::tuple("standard output only, UTF-8", fake, frame, QByteArray(), 1, 0, "", finished),
              {"both channels", fake, frame, error, 1, 0, "", failed},
              // Nothing printed: the job cannot be told from a running one.
              {"nothing", fake, {}, {}, 1, 0, "", JobStatus::Processing},
              {"code 3", fake, frame, {}, 1, 3, "fakemlvdump exited with code 3\\.\n", failed},
              {"crash after an unfinished line", fake, frame, "[ERROR] x", 1, -1, "\nfakemlvdump crashed\\.\n", failed},
              // Tens of megabytes on both channels, written in alternation, arrive complete.
              {"big output", fake, "frame 0123456789 written to disk\n", error, 700000, 0, "", failed},
              {"missing tool", missing, {}, {}, 1, 0, "mlv_dump could not be started: [^\n]+\n", failed}}) {
            FakeClip clip;
            clip.printOut(out, out.isEmpty() ? 0 : repeat).printErr(err, err.isEmpty() ? 0 : repeat);
            if (exitCode < 0)
                clip.crash();
            const auto worker = job(QStringLiteral("%1.mlv").arg(tag), clip.exitWith(qMax(0, exitCode)), tool);
            QVERIFY2(worker && !QFileInfo::exists(worker->mOutputPath), tag);
            run(*worker);
            QVERIFY(QFileInfo(worker->mOutputPath).isDir());
            const QString errText = QString::fromUtf8(err.repeated(repeat));
            QVERIFY2(worker->mStdOut == QString::fromUtf8(out.repeated(repeat)) && worker->mStdErr.startsWith(errText),
                     tag);
            const QRegularExpression added(QRegularExpression::anchoredPattern(addedErr));
            QVERIFY2(added.match(worker->mStdErr.mid(errText.size())).hasMatch(),
                     qPrintable(tag + worker->mStdErr.right(100)));
            QCOMPARE(int(worker->GetStatus()), int(status));
            QCOMPARE(worker->mExitCode, tool == fake ? exitCode : -1);
            QVERIFY(worker->mDurationMs >= 0);
        }
    }

    // Every argument arrives whole, quotes included.
    void toolReceivesTheSplitCommandLine()
    {
        for (const QString path : {"card 1/day two/take one.mlv", "Größe/日本/Été ü.mlv", "12\" monitor/a\" \"b.mlv"}) {
            QVERIFY(QDir(mDir.path()).mkpath(QFileInfo(mDir.filePath(path)).path()));
            const QString record = mDir.filePath(path + ".args");
            const auto worker = job(path, FakeClip().recordArguments(record).printOut("ok\n"));
            QVERIFY(worker);
            run(*worker);
            QCOMPARE(worker->mStdErr, QString());
            const QStringList received = FakeClip::recordedArguments(record);
            QCOMPARE(received, QProcess::splitCommand(worker->mCommandLine).mid(1));
            QCOMPARE(received.last(), mDir.filePath(path));
            QCOMPARE(received.at(1), worker->mOutputPath + QFileInfo(path).completeBaseName() + '_');
        }
    }

    // A folder that cannot be made is reported with the system's reason, and the tool never starts: a plain file
    // stands where the folder goes, or where a parent of it goes.
    void uncreatableFolderStartsNothing()
    {
        const QString reason = QString::fromStdString(std::make_error_code(std::errc::not_a_directory).message());
        QVERIFY(QFile(mDir.filePath("in-the-way")).open(QIODevice::WriteOnly));
        for (const QString destination : {"", "in-the-way/dng"}) {
            const QString record = mDir.filePath("args-" + QString(destination).replace('/', '-'));
            const auto worker = job("in-the-way.mlv", FakeClip().recordArguments(record).printOut("ok\n"),
                                    FakeClip::toolPath(), mDir.filePath(destination));
            QVERIFY(worker);
            run(*worker);
            QCOMPARE(worker->mStdErr,
                     QStringLiteral("Cannot create the output folder %1: %2\n").arg(worker->mOutputPath, reason));
            QVERIFY(worker->mStdOut.isEmpty() && !QFileInfo::exists(record));
        }
    }

    // A copy taken while the job runs shows it either running or ended, never half-written.
    void copiesDuringTheRunAreWhole()
    {
        const QString release = mDir.filePath(QStringLiteral("release"));
        const auto worker =
            job("copied.mlv", FakeClip().printOut("frame\n", 20000).printErr("skip\n", 20000).holdUntil(release));
        QVERIFY(worker);
        const QString finalOut = QString("frame\n").repeated(20000), finalErr = QString("skip\n").repeated(20000);
        QThread thread;
        worker->moveToThread(&thread);
        std::atomic<bool> ended{false};
        connect(&thread, &QThread::started, worker.get(), &MLVWorker::StartProcessing);
        connect(
            worker.get(), &MLVWorker::FinishedSignal, worker.get(), [&] { ended = true; }, Qt::DirectConnection);
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

    // The counters reach what the child read and wrote, and stop there; an ended process gives nothing.
    void ioCountersOfAChildThatReadsAKnownFile()
    {
        const qint64 size = 3 * 1024 * 1024 + 123;
        QVERIFY(!ReadProcessIoCounters(0) && !ReadProcessIoCounters(-1));
        QTemporaryDir dir;
        const QString clip = dir.filePath("clip.mlv"), release = dir.filePath("release");
        QVERIFY(FakeClip().printOut(QByteArray(1000, 'w'), 500).holdUntil(release).sizeAtLeast(size).write(clip));
        QProcess process;
        process.start(FakeClip::toolPath(), {clip});
        QVERIFY(process.waitForStarted(30000));
        const qint64 processId = process.processId();
        const auto counted = [&] {
            const auto counters = ReadProcessIoCounters(processId);
            return counters && counters->bytesRead >= quint64(size) && counters->bytesWritten >= 500 * 1000;
        };
        QTRY_VERIFY_WITH_TIMEOUT(counted(), 20000);
        QVERIFY(ReadProcessIoCounters(processId)->bytesRead < quint64(size) + 1024 * 1024);
        QVERIFY(FakeClip::release(release));
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!ReadProcessIoCounters(processId));
    }
};

QTEST_GUILESS_MAIN(TestJobExecution)
#include "tst_jobexecution.moc"
