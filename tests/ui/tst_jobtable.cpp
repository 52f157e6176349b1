// The job list and its table: Add, drops, Clear, status texts and colours, tooltips and running progress.
#include <QPushButton>
#include <QtTest>

#include "testsettings.h"
#include "ui/durationtext.h"
#include "windowharness.h"

namespace {

MLVWorker Job(const QString& source, const QString& output, const QString& out = {}, const QString& err = {})
{
    MLVWorker job(source, output, "\"tool\" " + source);
    job.mStdOut = out;
    job.mStdErr = err;
    return job;
}

}  // namespace

class TestJobTable : public QObject
{
    Q_OBJECT

private slots:
    void init() { mStorage.clear(); }

    void dropAddsExistingMlvFilesOnce()
    {
        WindowHarness harness;
        const QString lower = harness.file("b.mlv");
        const QString upper = harness.file("B.MLV");
        harness.dropPaths({lower, harness.file("notes.txt"), harness.files.filePath("missing.mlv"),
                           "https://example.com/clip.mlv", upper, harness.file("c.mlv.bak"), harness.file("d.mlv "),
                           harness.file("e.ml"), lower});
        QCOMPARE(harness.column(0), (QStringList{lower, upper}));
        QCOMPARE(harness.column(1), (QStringList{"Ready", "Ready"}));
        const QString later = harness.file("z.mlv");
        harness.dropPaths({upper, later});
        QCOMPARE(harness.column(0), (QStringList{lower, upper, later}));

        // Data without URLs neither changes nor rebuilds the table.
        const QTableWidgetItem* pBefore = harness.find<QTableWidget>("mpTable")->item(0, 0);
        QMimeData text;
        text.setText(later);
        harness.drop(&text);
        QCOMPARE(harness.find<QTableWidget>("mpTable")->item(0, 0), pBefore);
        QCOMPARE(harness.column(0).size(), 3);

        harness.find<QPushButton>("mpButtonClear")->click();
        QCOMPARE(harness.column(0), QStringList());
        QCOMPARE(harness.marked(), (QStringList{"mpTable", "mpEditExecutable"}));
        QCOMPARE(harness.controls(false).first(), QStringLiteral("mpButtonClear"));
        harness.dropPaths({lower});
        QCOMPARE(harness.column(0), QStringList{lower});
    }

    // Reports name the cleaned path, so the list keeps that form and another spelling is the same job.
    void addDialogKeepsCleanedPaths()
    {
        WindowHarness harness;
        const QString a = harness.file("a.mlv");
        const QString b = harness.file("b.mlv");
        QVERIFY(QDir(harness.files.path()).mkdir("sub"));
        auto* pAdd = harness.find<QPushButton>("mpButtonAdd");
        pAdd->click();  // cancelled
        harness.openFileNamesAnswer = QStringList{harness.file("sub/notes.txt")};
        pAdd->click();  // nothing acceptable, yet the next dialog opens where the chosen file lies
        harness.openFileNamesAnswer = QStringList{harness.files.path() + "/./sub/../a.mlv", a.toUpper() + "x",
                                                  harness.files.path() + "//b.mlv", a};
        pAdd->click();
        QCOMPARE(harness.column(0), (QStringList{a, b}));
        const QString call = QStringLiteral("files|Choose MLV files|%1|MLV files (*.mlv)");
        QCOMPARE(harness.calls.mid(0, 3),
                 (QStringList{call.arg(QString()), call.arg(QString()), call.arg(harness.files.filePath("sub"))}));

        harness.update(Job(a, "/o/a/", "ok"));
        harness.update(Job(harness.files.filePath("stranger.mlv"), "/o/s/", "ok"));
        QCOMPARE(harness.column(0), (QStringList{a, b}));
        QCOMPARE(harness.column(1), (QStringList{"Finished", "Ready"}));
    }

    void statusTextsColoursAndTooltips()
    {
        WindowHarness harness;
        const QStringList files{harness.file("ready.mlv"), harness.file("running.mlv"), harness.file("failed.mlv"),
                                harness.file("done.mlv")};
        harness.dropPaths(files);
        harness.update(Job(files[1], "/out/running/"));
        harness.update(Job(files[2], "/out/failed/", "frames 1..3\n", "bad block\nat 12"));
        harness.update(Job(files[3], "/out/done/", "all done\n"));

        const auto* pTable = harness.find<QTableWidget>("mpTable");
        QCOMPARE(pTable->horizontalHeaderItem(4)->text(), QStringLiteral("Command line"));
        QCOMPARE(harness.column(0), files);
        QCOMPARE(harness.column(1), (QStringList{"Ready", "Processing", "Error", "Finished"}));
        QCOMPARE(harness.column(2), (QStringList{"", "", "<see tooltip>", "<see tooltip>"}));
        QCOMPARE(harness.column(3), (QStringList{"", "", "<see tooltip>", ""}));
        QCOMPARE(harness.column(4), (QStringList{"", "<see tooltip>", "<see tooltip>", "<see tooltip>"}));
        QCOMPARE(pTable->item(2, 2)->toolTip(), QStringLiteral("frames 1..3\n"));
        QCOMPARE(pTable->item(2, 3)->toolTip(), QStringLiteral("bad block\nat 12"));
        QCOMPARE(pTable->item(1, 4)->toolTip(), "\"tool\" " + files[1]);
        QCOMPARE(pTable->item(0, 2)->toolTip() + pTable->item(0, 0)->toolTip(), QString());

        // Status cells: text colour over background; every cell can be neither selected nor edited.
        const QList<QColor> colours{Qt::black, Qt::white, Qt::black, Qt::yellow,
                                    Qt::white, Qt::red,   Qt::black, Qt::green};
        for (int row = 0; row < 4; ++row) {
            QCOMPARE(pTable->item(row, 1)->foreground(), QBrush(colours[2 * row]));
            QCOMPARE(pTable->item(row, 1)->background(), QBrush(colours[2 * row + 1]));
            for (int column = 0; column < 5; ++column) {
                QCOMPARE(pTable->item(row, column)->flags(), Qt::ItemFlags(Qt::ItemIsEnabled));
                if (column != 1)
                    QCOMPARE(pTable->item(row, column)->background().style(), Qt::NoBrush);
            }
        }
    }

    // Running copies stand in for their own rows only: same source and same output.
    void runningCopiesShowProgress()
    {
        WindowHarness harness;
        const QString a = harness.file("a.mlv");
        const QString b = harness.file("b.mlv", 0);
        harness.dropPaths({a, b});
        harness.update(Job(a, "/out/a/"));
        harness.update(Job(b, "/out/b/"));
        MLVWorker runningA = Job(a, "/out/a/");
        MLVWorker otherOutputB = Job(b, "/elsewhere/b/");
        MLVWorker stranger = Job(harness.files.filePath("c.mlv"), "/out/c/");
        for (MLVWorker* pJob : {&runningA, &otherOutputB, &stranger}) {
            pJob->mProcessId = 4242 + (pJob == &otherOutputB) + 2 * (pJob == &stranger);
            pJob->mStartTime = harness.now.addMSecs(-10000);
        }
        runningA.mFileSize = 1048576000;
        harness.counters = ProcessIoCounters{524288000, 262144000};
        harness.counterQueries.clear();
        harness.refresh({stranger, otherOutputB, runningA});
        // Rates are bytes per millisecond / 1024; only the overlaid copy's process is asked.
        QCOMPARE(harness.column(1), (QStringList{"50 %, 51 MiB/s r, 25 MiB/s w", "Processing"}));
        QCOMPARE(harness.column(0), (QStringList{a, b}));
        QCOMPARE(harness.counterQueries, (QList<qint64>{4242, 0}));
        QCOMPARE(harness.find<QTableWidget>("mpTable")->item(0, 1)->background().color(), QColor(Qt::yellow));

        otherOutputB.mOutputPath = "/out/b/";  // a zero-byte source has no percentage
        harness.refresh({runningA, otherOutputB});
        QCOMPARE(harness.column(1), (QStringList{"50 %, 51 MiB/s r, 25 MiB/s w", "n/a"}));
        harness.counters.reset();  // the process is gone or unreadable
        harness.refresh({runningA});
        QCOMPARE(harness.column(1), (QStringList{"Processing", "Processing"}));
    }

    void progressAndDurationTexts()
    {
        // Large counters must not overflow on the way to the percentage; no size or no time is "n/a".
        QCOMPARE(ProgressText::Format(Q_UINT64_C(40000000000000), 0, Q_UINT64_C(80000000000000), 1000000),
                 QStringLiteral("50 %, 39062 MiB/s r, 0 MiB/s w"));
        QCOMPARE(ProgressText::Format(500, 500, 1000, 0), QStringLiteral("n/a"));
        QCOMPARE(ProgressText::ElapsedMs(QTime(23, 59, 59, 500), QTime(0, 0, 0, 500)), Q_UINT64_C(1000));
        QCOMPARE(ProgressText::ElapsedMs(QTime(), QTime(12, 0)), Q_UINT64_C(0));
        // A duration reads like a time of day: seconds cut, wrapping after a day.
        QCOMPARE(DurationText::Format(59999), QStringLiteral("0:00:59"));
        QCOMPARE(DurationText::Format(3725400), QStringLiteral("1:02:05"));
        QCOMPARE(DurationText::Format((25 * 60 + 3) * 60 * 1000), QStringLiteral("1:03:00"));
    }

private:
    TestSettings mStorage;
};

QTEST_MAIN(TestJobTable)
#include "tst_jobtable.moc"
