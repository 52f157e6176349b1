#include <algorithm>
#include <atomic>
#include <tuple>
#include <vector>

#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "engine/foldercase.h"
#include "engine/mlvprocessor.h"
#include "engine/outputfolderclaims.h"
#include "fakeclip.h"

// Runs one batch on a thread of its own, wired as the window wires it, and logs every signal
// in the order it arrives on the test's thread ("update A1 Processing", "refresh [A1,A2]", ...).
class Batch : public QObject
{
    Q_OBJECT

public:
    explicit Batch(const ConversionSettings& settings,
                   MLVProcessor::Pacing pacing = MLVProcessor::Pacing::OneStartPerCycle)
        : processor(new MLVProcessor(settings, pacing))
    {
        processor->moveToThread(&mThread);
        connect(&mThread, &QThread::started, processor, &MLVProcessor::StartProcessing);
        connect(processor, &MLVProcessor::FileCompleted, this, [this] { log << QStringLiteral("completed"); });
        connect(processor, &MLVProcessor::UpdateTable, this, [this](const MLVWorker& worker) {
            static const char* const kStatus[] = {"Ready", "Processing", "Error", "Finished"};
            log << QStringLiteral("update %1 %2").arg(Name(worker), kStatus[int(worker.GetStatus())]);
            if (!worker.mStdErr.isEmpty())
                errors << worker.mStdErr;
        });
        connect(processor, &MLVProcessor::RefreshTable, this, [this](const std::vector<MLVWorker>& workers) {
            QStringList names;
            for (const MLVWorker& worker : workers)
                names << Name(worker);
            log << QStringLiteral("refresh [%1]").arg(names.join(','));
            snapshots.push_back(workers);
        });
        connect(processor, &MLVProcessor::Finished, this, [this] { log << QStringLiteral("finished"); });
        connect(processor, &MLVProcessor::Finished, &mThread, &QThread::quit);
        connect(processor, &MLVProcessor::Finished, processor, &QObject::deleteLater);
        mThread.start();
    }
    ~Batch() override
    {
        mThread.quit();
        mThread.wait();
    }

    // True once the processor has said Finished, deleted itself and its thread has ended.
    bool waitForEnd()
    {
        if (!QTest::qWaitFor([this] { return log.contains(QStringLiteral("finished")); }, 60000)
            || !mThread.wait(10000))
            return false;
        // Anything still queued towards this thread would show up in the log now.
        QCoreApplication::sendPostedEvents();
        return processor.isNull();
    }
    // Asks for a stop, from the batch's own thread, the first time a signal is sent.
    template <typename Signal>
    void stopOnFirst(Signal signal)
    {
        connect(
            processor, signal, processor,
            [this] {
                if (!mStopAsked.exchange(true))
                    QMetaObject::invokeMethod(processor, &MLVProcessor::StopProcessing, Qt::QueuedConnection);
            },
            Qt::DirectConnection);
    }
    static QString Name(const MLVWorker& worker) { return QFileInfo(worker.mSourceFile).completeBaseName(); }

    QPointer<MLVProcessor> processor;
    QStringList log;
    QStringList errors;  // the error texts of the reported jobs
    std::vector<std::vector<MLVWorker>> snapshots;

private:
    QThread mThread;
    std::atomic<bool> mStopAsked{false};
};

class TestMLVProcessor : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mDir;

    // Jobs for the clips named, each printing "<name> done": a '*' after a name holds it until
    // released, a '!' marks it finished already, a '?' makes it print "<name> failed" as an error
    // instead; "~name" stands for a path without a directory.
    ConversionSettings batchOf(const QStringList& names, int threads)
    {
        ConversionSettings settings;
        settings.executable = FakeClip::toolPath();
        settings.threads = threads;
        for (QString name : names) {
            const bool held = name.endsWith('*'), finished = name.endsWith('!'), bare = name.startsWith('~');
            const bool failing = name.contains('?');
            name.remove(QRegularExpression(QStringLiteral("[*!~?]")));
            const QString path = name.isEmpty() ? QString() : bare ? name + ".mlv" : mDir.filePath(name + ".mlv");
            FakeClip clip;
            if (held)
                clip.holdUntil(releaseFile(name));
            failing ? clip.printErr(name.toUtf8() + " failed\n") : clip.printOut(name.toUtf8() + " done\n");
            if (!path.contains('/') || clip.write(path))
                settings.workers.emplace_back(path, QString(), QString());
            if (finished)
                settings.workers.back().mCommandLine = "\"x\" -o y", settings.workers.back().mStdOut = "done\n";
        }
        return settings;
    }
    QString releaseFile(const QString& name) const { return mDir.filePath("release-" + name); }
    // A log (or a list of names) written as one comma-separated text.
    static QStringList Log(const char* entries) { return QString(entries).split(','); }

private slots:
    void threeFilesInTwoSlots()
    {
        Batch batch(batchOf({"A1*", "A2*", "A3?*"}, 2));

        // Both running jobs are shown with their live process before A1 is let go.
        const auto live = [](const std::vector<MLVWorker>& w) {
            return w.size() == 2 && w[0].mProcessId && w[1].mProcessId;
        };
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(batch.snapshots.begin(), batch.snapshots.end(), live), 30000);
        const std::vector<MLVWorker> running = *std::find_if(batch.snapshots.begin(), batch.snapshots.end(), live);
        QCOMPARE(Batch::Name(running[0]) + Batch::Name(running[1]), QStringLiteral("A1A2"));
        QVERIFY(running[0].mProcessId != running[1].mProcessId);
        for (const MLVWorker& worker : running)
            QVERIFY(worker.mStartTime.isValid() && worker.GetStatus() == JobStatus::Processing);
        QVERIFY(FakeClip::release(releaseFile("A1")));
        // A3 takes the slot A1 left, so it is listed before A2.
        QTRY_VERIFY_WITH_TIMEOUT(batch.log.contains("refresh [A3,A2]"), 30000);
        QVERIFY(FakeClip::release(releaseFile("A2")));
        QTRY_VERIFY_WITH_TIMEOUT(batch.log.contains("update A2 Finished"), 30000);
        QVERIFY(FakeClip::release(releaseFile("A3")));
        QVERIFY(batch.waitForEnd());

        // One start per cycle, then snapshots until the first end; each end is a completion
        // followed by the ended job, and Finished comes once, last.
        const int firstEnd = batch.log.indexOf("completed");
        QStringList before = batch.log.mid(0, firstEnd);
        before.removeDuplicates();
        QCOMPARE(before, (QStringList{"update A1 Processing", "update A2 Processing", "refresh [A1,A2]"}));
        QCOMPARE(batch.log.mid(firstEnd).filter(QRegularExpression(QStringLiteral("^(?!refresh)"))),
                 (QStringList{"completed", "update A1 Finished", "update A3 Processing", "completed",
                              "update A2 Finished", "completed", "update A3 Error", "finished"}));
    }

    // Queued jobs are dropped without a word; the running ones are still reported, without snapshots.
    void stopWithJobsRunningAndQueued()
    {
        Batch batch(batchOf({"C1*", "C2*", "C3", "C4"}, 2));
        batch.stopOnFirst(&MLVProcessor::RefreshTable);
        QTRY_VERIFY_WITH_TIMEOUT(batch.log.contains("refresh [C1,C2]"), 30000);
        QVERIFY(FakeClip::release(releaseFile("C2")));
        QTRY_VERIFY_WITH_TIMEOUT(batch.log.contains("update C2 Finished"), 30000);
        QVERIFY(FakeClip::release(releaseFile("C1")));
        QVERIFY(batch.waitForEnd());
        QCOMPARE(batch.log, (QStringList{"update C1 Processing", "update C2 Processing", "refresh [C1,C2]", "completed",
                                         "update C2 Finished", "completed", "update C1 Finished", "finished"}));
        QVERIFY(!QFileInfo::exists(mDir.filePath("C3")));
    }

    // One start per cycle: the stop, asked while the first start is reported, is handled before the
    // next cycle, so with three free slots only one job has started. A finished job is left out, a
    // path without "/" is dropped without a word, and an empty path costs a cycle that shows a
    // snapshot instead; the job after them still runs. At full pace every free slot is filled before
    // such a stop can be handled, and an ended job's slot goes to the next one while the other runs.
    void queueOutcomes()
    {
        // names, releases (in this order, each once it runs), threads, fill at once, stop at the first start,
        // and the log without the snapshots of running jobs
        for (const auto& [names, toRelease, threads, fillAtOnce, stop, expected] :
             {std::tuple("B1,B2,B3", "", 3, false, true, "update B1 Processing,completed,update B1 Finished,finished"),
              {"D1!,D2!", "", 2, false, false, "refresh [],finished"},
              {"E0!,~E1,,E3", "", 1, false, false,
               "refresh [],update E3 Processing,completed,update E3 Finished,finished"},
              {"F1*,F2*,F3*", "F1,F2", 2, true, true,
               "update F1 Processing,update F2 Processing,completed,update F1 Finished,completed,"
               "update F2 Finished,finished"},
              {"F1*,F2*,F3*", "F1,F3,F2", 2, true, false,
               "update F1 Processing,update F2 Processing,completed,update F1 Finished,update F3 Processing,completed,"
               "update F3 Finished,completed,update F2 Finished,finished"}}) {
            const QStringList releases = QString(toRelease).split(',', Qt::SkipEmptyParts);
            for (const QString& name : releases)
                QFile::remove(releaseFile(name));  // left by the row before
            Batch batch(batchOf(Log(names), threads),
                        fillAtOnce ? MLVProcessor::Pacing::FillSlotsAtOnce : MLVProcessor::Pacing::OneStartPerCycle);
            if (stop)
                batch.stopOnFirst(&MLVProcessor::UpdateTable);
            for (const QString& name : releases) {
                QTRY_VERIFY_WITH_TIMEOUT(batch.log.contains("update " + name + " Processing"), 30000);
                QVERIFY(FakeClip::release(releaseFile(name)));
                QTRY_VERIFY_WITH_TIMEOUT(batch.log.contains("update " + name + " Finished"), 30000);
            }
            QVERIFY(batch.waitForEnd());
            QCOMPARE(batch.log.filter(QRegularExpression(QStringLiteral("^(?!refresh \\[[^\\]])"))), Log(expected));
        }
    }

    // Within one batch an output folder serves the first job that writes there; a later job for the
    // same folder never starts, and its error names the first. Whether letter case tells two folders
    // apart is the rule of the file system they are on.
    void sharedOutputFolder_data()
    {
        QTest::addColumn<QStringList>("paths");  // below the test folder
        QTest::addColumn<bool>("customDestination");
        QTest::addColumn<QStringList>("starts");  // the starts and refusals, in order
        const bool caseMatters = FolderCase::Of(QDir::tempPath()) == Qt::CaseSensitive;
        QTest::newRow("same name, two folders")
            << QStringList{"A/clip.MLV", "B/clip.MLV", "A/other.mlv"} << true
            << QStringList{"update clip Processing", "update clip Error", "update other Processing"};
        QTest::newRow("names differing in case")
            << QStringList{"A/Take.mlv", "B/take.mlv"} << true
            << QStringList{"update Take Processing", caseMatters ? "update take Processing" : "update take Error"};
        if (caseMatters)
            QTest::newRow("one folder, extensions in two cases")
                << QStringList{"C/shot.mlv", "C/shot.MLV"} << false
                << QStringList{"update shot Processing", "update shot Error"};
    }
    void sharedOutputFolder()
    {
        QFETCH(QStringList, paths);
        QFETCH(bool, customDestination);
        QFETCH(QStringList, starts);
        const QTemporaryDir dir;
        ConversionSettings settings = batchOf({}, 2);
        settings.customDestination = customDestination;
        settings.destination = dir.filePath("dest");
        for (const QString& path : paths) {
            QVERIFY(QDir(dir.path()).mkpath(QFileInfo(path).path()));
            const QString clip = dir.filePath(path);
            QVERIFY(FakeClip().printOut("ok\n").recordArguments(clip + ".args").write(clip));
            settings.workers.emplace_back(dir.filePath(path), QString(), QString());
        }
        Batch batch(settings);
        QVERIFY(batch.waitForEnd());
        QCOMPARE(batch.log.filter(QRegularExpression(QStringLiteral(" (Processing|Error)$"))), starts);
        QCOMPARE(batch.log.count(QStringLiteral("completed")), paths.size());
        // The tool ran for the started jobs only, and a refusal names the file that already writes there.
        QStringList refusals;
        for (int i = 0; i < paths.size(); ++i) {
            const QFileInfo clip(dir.filePath(paths[i]));
            const bool started = starts[i].endsWith(QStringLiteral("Processing"));
            QCOMPARE(QFileInfo::exists(clip.filePath() + ".args"), started);
            if (!started)
                refusals << QStringLiteral("Not started: %1 already writes into %2/%3/\n")
                                .arg(dir.filePath(paths.first()),
                                     customDestination ? settings.destination : clip.path(), clip.completeBaseName());
        }
        QCOMPARE(batch.errors, refusals);
    }

    void folderClaimsFollowTheCaseRule()
    {
        for (const auto& [folderCase, second, taken] :
             {std::tuple(Qt::CaseSensitive, "/d/clip/", true),  // same spelling
              {Qt::CaseSensitive, "/d/./x/..//clip", true},     // another spelling of the path
              {Qt::CaseSensitive, "/d/Clip/", false},
              {Qt::CaseInsensitive, "/D/CLIP/", true},
              {Qt::CaseInsensitive, "/d/clip2/", false}}) {  // another folder
            OutputFolderClaims claims{folderCase};
            claims.Claim("/d/clip/", "/a/clip.mlv");
            claims.Claim(second, "/b/clip.mlv");
            QCOMPARE(claims.Owner(second), taken ? QStringLiteral("/a/clip.mlv") : QStringLiteral("/b/clip.mlv"));
        }
    }

    void fileSystemCase()
    {
        for (const char* type : {"vfat", "msdos", "exfat", "ntfs", "ntfs3", "fuseblk", "cifs", "smb3"})
            QVERIFY2(FolderCase::OfFileSystem(type) == Qt::CaseInsensitive, type);
        for (const char* type : {"ext4", "btrfs", "xfs", "tmpfs", "overlay", "fuse.sshfs", "nfs4", "", "vfat2"})
            QVERIFY2(FolderCase::OfFileSystem(type) == Qt::CaseSensitive, type);
    }

#ifdef Q_OS_LINUX
    // A folder yet to be made on a real FAT file system: its claims ignore case. Needs root and a loop device.
    void folderOnAFatImage()
    {
        const QTemporaryDir dir;
        const QString image = dir.filePath("card.img"), mountPoint = dir.filePath("card");
        QVERIFY(QDir(dir.path()).mkdir("card"));
        const auto run = [](const QString& program, const QStringList& arguments) {
            QProcess process;
            process.start(program, arguments);
            if (process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
                return QString();
            return program + ": "
                   + (process.error() == QProcess::FailedToStart ? process.errorString()
                                                                 : QString(process.readAllStandardError()).trimmed());
        };
        QString failure = run("mkfs.vfat", {"-C", image, "2048"});
        if (failure.isEmpty())
            failure = run("mount", {"-o", "loop", image, mountPoint});
        if (!failure.isEmpty())
            QSKIP(qPrintable("no FAT image can be mounted here (it needs root, a loop device and vfat): " + failure));
        const auto unmount = qScopeGuard([&] { run("umount", {mountPoint}); });
        const QString folder = mountPoint + "/DCIM/A001";
        QCOMPARE(FolderCase::Of(folder), Qt::CaseInsensitive);
        OutputFolderClaims claims;
        claims.Claim(folder, "/a/A001.MLV");
        QCOMPARE(claims.Owner(mountPoint + "/dcim/a001"), QStringLiteral("/a/A001.MLV"));
    }
#endif
};

QTEST_GUILESS_MAIN(TestMLVProcessor)
#include "tst_mlvprocessor.moc"
