#include <tuple>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/bundledconverter.h"
#include "engine/joblist.h"

class TestJobList : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mDir;

    bool touch(const QString& path) const
    {
        return QDir(mDir.path()).mkpath(QFileInfo(path).path())
               && QFile(mDir.filePath(path)).open(QIODevice::WriteOnly);
    }

private slots:
    void initTestCase()
    {
        for (const char* path : {"d/b.mlv", "d/A.MLV", "d/c.MLV.bak", "d/notes.txt", "d/.hidden.mlv", "d/sub/z.mlv",
                                 "d/sub/deeper/y.MLV", "d/dir.mlv/e.mlv", "d/C.mlv"})
            QVERIFY(touch(path));
    }

    // A folder adds its MLV files sorted by their path below it, under the same rules as single files. Each row
    // gives a path below the test folder, whether to recurse, what was listed before and what is added.
    void pathsExpandToTheirFiles()
    {
        for (const auto& [path, recursive, listed, added] :
             {std::tuple("d", false, QStringList(), QStringList{"d/A.MLV", "d/b.mlv", "d/C.mlv"}),
              {"d/",
               true,
               {},
               {"d/A.MLV", "d/b.mlv", "d/C.mlv", "d/dir.mlv/e.mlv", "d/sub/deeper/y.MLV", "d/sub/z.mlv"}},
              {"d/sub/.././/", false, {"d/b.mlv"}, {"d/A.MLV", "d/C.mlv"}},  // another spelling, some listed
              {"d/sub/../b.mlv", true, {}, {"d/b.mlv"}},
              {"d/b.mlv", false, {"d/b.mlv"}, {}},
              {"gone", true, {}, {}}}) {
            std::list<MLVWorker> workers;
            for (const QString& file : listed)
                workers.emplace_back(mDir.filePath(file), QString(), QString());
            QCOMPARE(JobList::AppendPath(workers, mDir.filePath(path), recursive), added.size());
            QStringList sources;
            for (const MLVWorker& worker : workers)
                sources << worker.mSourceFile.mid(mDir.path().size() + 1);
            QCOMPARE(sources, listed + added);
        }
    }

    // Any text counts, a blank or a line break too; output without a command line is a record never run.
    void statusFollowsTheTexts()
    {
        for (const auto& [commandLine, out, err, status] : {std::tuple("", "", "", JobStatus::Ready),
                                                            {"\"x\" a", "", "", JobStatus::Processing},
                                                            {"\"x\" a", "\n", "", JobStatus::Finished},
                                                            {"\"x\" a", "done", " ", JobStatus::Error},
                                                            {"", "", "bad", JobStatus::Error},
                                                            {"", "done", "", JobStatus::Ready}}) {
            MLVWorker worker(QStringLiteral("/nowhere/a.mlv"), QString(), commandLine);
            worker.mStdOut = out;
            worker.mStdErr = err;
            QCOMPARE(int(worker.GetStatus()), int(status));
        }
    }

    void bundledConverterIsFoundBesideOnly()
    {
        QCOMPARE(BundledConverter::FindIn(mDir.path()), QString());
        QVERIFY(touch("bin/" + BundledConverter::FileName() + "/inside"));  // a folder of that name is no converter
        QCOMPARE(BundledConverter::FindIn(mDir.filePath("bin")), QString());
        QVERIFY(touch(BundledConverter::FileName()));
        QCOMPARE(BundledConverter::FindIn(mDir.path() + "/bin/.."), mDir.filePath(BundledConverter::FileName()));
        QCOMPARE(BundledConverter::FindIn(QString()), QString());
    }
};

QTEST_GUILESS_MAIN(TestJobList)
#include "tst_joblist.moc"
