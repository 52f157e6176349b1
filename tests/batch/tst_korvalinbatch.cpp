// korvalin-batch as a user runs it: real clips through our converter, printed commands, interrupts, bad input.
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <csignal>

#include "batch/jobreport.h"
#include "batch/progressdisplay.h"
#include "batch/shellcommand.h"
#include "mlvwriter.h"
#include "programrun.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 32;
constexpr std::uint32_t kFrames = 4;

bool WriteClip(const QString& path, unsigned seed)
{
    return mlvtest::writeSoundClip(QFile::encodeName(path).toStdString(), seed, kWidth, kHeight, kFrames);
}

mlvtest::ProgramRun RunBatch(const QStringList& arguments)
{
    return mlvtest::runProgram(QStringLiteral(KORVALIN_BATCH_PATH), arguments);
}

// A stand-in converter: a shell script.
bool WriteScript(const QString& path, const QByteArray& body)
{
    QFile script(path);
    return script.open(QIODevice::WriteOnly) && script.write("#!/bin/sh\n" + body) > 0
           && script.setPermissions(script.permissions() | QFile::ExeOwner);
}

// Every file below the folder, by path relative to it, with its bytes.
QMap<QString, QByteArray> FilesBelow(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files.insert(QDir(folder).relativeFilePath(file.fileName()), file.readAll());
    }
    return files;
}

}  // namespace

class TestKorvalinBatch : public QObject
{
    Q_OBJECT

private slots:
    void convertsClipsAndReportsTheDamagedOne()
    {
        QTemporaryDir root;
        const QString footage = root.filePath("day 1"), json = root.filePath("summary.json");
        QVERIFY(QDir().mkpath(footage) && WriteClip(footage + "/A001.MLV", 10) && WriteClip(footage + "/A002.mlv", 20));
        QFile damaged(footage + "/A003.mlv");
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(4000, 'x')) == 4000);
        damaged.close();

        const QString inProcess = root.filePath("in-process");
        const auto run =
            RunBatch({"-j", "2", "-v", "--executable", MLV2DNG_PATH, "-d", inProcess, "--json", json, footage});
        QCOMPARE(run.exitCode, 1);
        // -v: the converter's own lines, each led by its clip's name.
        for (const char* name : {"A001.MLV", "A002.mlv", "A003.mlv"})
            QVERIFY2(run.out.contains(QString("\n") + name + ": mlv2dng "), qPrintable(run.out));

        // Unreadable JSON gives an empty object, without an exit code.
        const QJsonObject summary = QJsonDocument::fromJson(FilesBelow(root.path()).value("summary.json")).object();
        QCOMPARE(summary["exitCode"].toInt(-1), 1);
        const QJsonArray jobs = summary["jobs"].toArray();
        QCOMPARE(jobs.size(), 3);
        const QMap<QString, QByteArray> written = FilesBelow(inProcess);
        qint64 bytes = 0;
        for (const QByteArray& file : written)
            bytes += file.size();
        const QString totals = QString("3 clips: 2 finished, 1 failed, %1 MB written in ").arg(bytes / 1e6, 0, 'f', 1);
        QVERIFY2(run.out.trimmed().split('\n').last().startsWith(totals), qPrintable(run.out));
        for (const QJsonValue& value : jobs) {
            const QJsonObject job = value.toObject();
            // The job's own time, not the scheduler's: these clips take a few milliseconds.
            QVERIFY(job["durationMs"].toInt(-1) >= 0 && job["durationMs"].toInt() < 1000);
            const QString name = QFileInfo(job["source"].toString()).completeBaseName();
            const QString folder = job["outputFolder"].toString();
            QCOMPARE(folder, inProcess + '/' + name + '/');
            QVERIFY(job["commandLine"].toString().contains(name + '_'));
            const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
            if (name == "A003") {
                QCOMPARE(job["state"].toString(), QStringLiteral("Error"));
                QVERIFY(job["errors"].toString().startsWith("[ERROR] ") && files.isEmpty());
                continue;
            }
            QCOMPARE(job["state"].toString(), QStringLiteral("Finished"));
            QStringList expected{name + ".wav"};
            for (std::uint32_t frame = 0; frame < kFrames; ++frame)
                expected.append(name + QString("_%1.dng").arg(frame, 6, 10, QLatin1Char('0')));
            QCOMPARE(files, expected);
            QVERIFY(!written.value(name + '/' + name + ".wav").isEmpty());
        }

        // The same batch as printed commands through GNU parallel writes the very same bytes.
        const QString viaShell = root.filePath(QStringLiteral("via-parallel"));
        const auto printed =
            RunBatch({"--print-commands", "-j", "2", "--executable", MLV2DNG_PATH, "-d", viaShell, footage});
        QCOMPARE(printed.exitCode, 0);
        QCOMPARE(printed.out.count('\n'), 3);
        if (QStandardPaths::findExecutable(QStringLiteral("parallel")).isEmpty())
            QSKIP("GNU parallel is not installed (scripts/install-deps.sh installs it)");
        QProcess parallel;
        parallel.start(QStringLiteral("parallel"), {QStringLiteral("-j"), QStringLiteral("2")});
        QVERIFY(parallel.waitForStarted());
        parallel.write(printed.out.toUtf8());
        parallel.closeWriteChannel();
        QVERIFY(parallel.waitForFinished(120000));
        QCOMPARE(parallel.exitCode(), 1);  // the damaged clip fails there too
        QCOMPARE(FilesBelow(viaShell), written);
    }

    // Each word, quoted, reaches the shell's printf whole and apart from its neighbours.
    void quotedWordsSurviveTheShell()
    {
        const QStringList words{"/a b/  c.mlv",
                                "/say \"cut\".mlv",
                                "/it's 'a' take.mlv",
                                "/$HOME/`id`/$(id).mlv",
                                "-rf",
                                "/Aufnahme Größe/čšž 日本.mlv",
                                "/a\\b/*?[x].mlv"};
        QString command = "printf '%s\\n'";
        for (const QString& word : words)
            command += ' ' + ShellCommand::Quote(word);
        const auto run = mlvtest::runProgram("sh", {"-c", command});
        QCOMPARE(run.out, words.join('\n') + '\n');
    }

    void printedCommandRunsTheJobsArguments()
    {
        QTemporaryDir root;
        const QString odd = root.filePath("-it's \"$x\" Größe"), clip = odd + "/-clip.MLV", output = odd + "/-clip/";
        QVERIFY(QDir().mkpath(odd) && WriteClip(clip, 3));
        // A converter that only records its arguments, one per line.
        const QString recorder = root.filePath("recorder");
        QVERIFY(
            WriteScript(recorder, "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args\"\n"));
        const auto printed =
            RunBatch({"--print-commands", "--executable", recorder, "--chroma", "3x3", "--compress", clip});
        QCOMPARE(printed.exitCode, 0);
        QCOMPARE(mlvtest::runProgram("sh", {"-c", printed.out}).exitCode, 0);
        QFile args(root.filePath("args"));
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(args.readAll()).split('\n', Qt::SkipEmptyParts),
                 (QStringList{"-o", output + "-clip_", "--dng", "-c", "--cs3x3", clip}));
        QVERIFY(QFileInfo(output).isDir());
    }

    // A path with a line break has no one-line command: it is named on standard error, not printed broken.
    void lineBreaksAreNotPrinted()
    {
        QTemporaryDir root;
        const QString clip = root.filePath(QStringLiteral("two\nlines.mlv"));
        QVERIFY(WriteClip(clip, 1));
        const auto printed = RunBatch({"--print-commands", "--executable", MLV2DNG_PATH, clip});
        QCOMPARE(printed.exitCode, 1);
        QVERIFY2(printed.out.isEmpty() && printed.err.contains("no one-line command"), qPrintable(printed.err));
    }

    // Ctrl-C twice, or one SIGTERM.
    void interruptsEndConvertersAndTheirFiles()
    {
        for (const auto& [signalNumbers, exitCode] : {std::pair(QList<int>{SIGINT, SIGINT}, 130), {{SIGTERM}, 143}}) {
            QTemporaryDir root;
            for (const char* name : {"A.mlv", "B.mlv", "C.mlv"})
                QVERIFY(WriteClip(root.filePath(QLatin1String(name)), 1));
            // A converter that starts a file under its temporary name and then takes its time.
            // It runs on as a copy of sleep inside the test's folder, so the process list shows whether it is left.
            const QString slow = root.filePath("slow"), nap = root.filePath("nap");
            QVERIFY(QFile::copy(QStandardPaths::findExecutable("sleep"), nap));
            QVERIFY(WriteScript(slow, "printf x > \"$2\"000000.dng.part\nexec \"$(dirname \"$0\")/nap\" 60\n"));
            QProcess batch;
            batch.start(KORVALIN_BATCH_PATH, {"-j", "2", "--executable", slow, root.path()});
            QVERIFY(batch.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(root.filePath("B/B_000000.dng.part")), 20000);
            for (int i = 0; i < signalNumbers.size(); ++i) {
                if (i > 0)
                    QTest::qWait(300);
                ::kill(pid_t(batch.processId()), signalNumbers[i]);
            }
            QVERIFY(batch.waitForFinished(20000));
            QCOMPARE(batch.exitStatus(), QProcess::NormalExit);
            QCOMPARE(batch.exitCode(), exitCode);
            QVERIFY(batch.readAllStandardError().contains("Ending the running converters"));
            QVERIFY(batch.readAllStandardOutput().contains("C.mlv  Not started"));
            QCOMPARE(FilesBelow(root.path()).keys().filter(".part"), QStringList());
            QVERIFY(!QFileInfo::exists(root.filePath("C")));  // dropped by the first Ctrl-C
            // No converter is left: none of the processes still running names this folder.
            QVERIFY(!mlvtest::runProgram("ps", {"-eo", "args"}).out.contains(nap));
        }
    }

    void badCommandLinesAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        QTest::newRow("unknown option") << QString("--bogus /").split(' ') << "bogus";
        QTest::newRow("no jobs") << QString("-j 0 /").split(' ') << "--jobs";
        QTest::newRow("too many jobs") << QString("-j 500 /").split(' ') << "--jobs";
        QTest::newRow("missing path") << QStringList{"/no/such/clip.mlv"} << "No such file";
        QTest::newRow("no paths") << QStringList{} << "No MLV file or folder given";
        QTest::newRow("bad chroma") << QString("--chroma 4x4 /").split(' ') << "--chroma";
        // Found before any job starts; CLIP stands for a real clip.
        QTest::newRow("JSON in a missing folder")
            << QString("--json /no/such/folder/summary.json CLIP").split(' ') << "/no/such/folder";
        QTest::newRow("missing converter")
            << QString("--executable /no/such/mlv2dng CLIP").split(' ') << "/no/such/mlv2dng does not exist";
        QTest::newRow("converter that cannot run")
            << QString("--executable CLIP CLIP").split(' ') << ".mlv cannot be run";
    }

    void badCommandLinesAreRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        QTemporaryDir root;
        const QString clip = root.filePath("clip.mlv");
        QVERIFY(WriteClip(clip, 5));
        arguments.replaceInStrings(QRegularExpression("^CLIP$"), clip);
        const auto run = RunBatch(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty());
        const QStringList lines = run.err.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith("korvalin-batch: ") && lines[0].contains(says), qPrintable(lines[0]));
        QVERIFY(lines[1].startsWith("Usage: korvalin-batch"));
        QVERIFY(!QFileInfo::exists(root.filePath("clip")));  // no job started
    }

    // A running job keeps its last progress when its converter can no longer be read (it has ended, and the
    // end is not known yet), and every live line fits the terminal, the name shortened in its middle.
    void liveLinesKeepProgressAndFitTheWidth()
    {
        for (const int columns : {200, 60, 20}) {
            const QString name = QStringLiteral("A001_a_clip_name_longer_than_any_terminal_line_C0042.MLV");
            std::vector<JobReport> reports;
            reports.emplace_back(QStringLiteral("/card/") + name);
            reports.emplace_back(QStringLiteral("/card/queued.MLV"));
            JobReport& running = reports.front();
            running.started = QDateTime::currentDateTime();
            running.record->mStartTime = QTime(10, 0);
            running.record->mProcessId = 7;
            running.record->mFileSize = qint64(2) << 30;
            std::optional<ProcessIoCounters> io = ProcessIoCounters{quint64(3) << 29, quint64(1) << 29};
            const auto counters = [&io](qint64 id) { return id == 7 ? io : std::nullopt; };

            running.SampleProgress(counters, QTime(10, 0, 10));
            const QStringList lines = ProgressDisplay::LiveLines(reports, 10000, columns);
            QCOMPARE(lines.size(), 2);
            for (const QString& line : lines)
                QVERIFY2(line.size() < columns, qPrintable(line));
            if (columns >= 60) {
                QVERIFY2(lines[0].contains(name.left(4)) && lines[0].contains(name.right(9)), qPrintable(lines[0]));
                QVERIFY2(lines[0].contains(QStringLiteral("75 %")), qPrintable(lines[0]));
                QVERIFY2(lines[1].contains(QStringLiteral("left")), qPrintable(lines[1]));
            }
            io.reset();
            running.SampleProgress(counters, QTime(10, 0, 11));
            QCOMPARE(ProgressDisplay::LiveLines(reports, 10000, columns), lines);
        }
    }
};

QTEST_GUILESS_MAIN(TestKorvalinBatch)
#include "tst_korvalinbatch.moc"
