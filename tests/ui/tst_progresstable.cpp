// The progress table: rows, status texts and colours, tooltips, overlays of running jobs, progress and rates.
#include <QBrush>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "testsettings.h"
#include "ui/durationtext.h"
#include "ui/progresstext.h"
#include "windowharness.h"

namespace {

MLVWorker Job(const QString& source, const QString& output, const QString& commandLine, const QString& out = {},
              const QString& err = {})
{
    MLVWorker job(source, output, commandLine);
    job.mStdOut = out;
    job.mStdErr = err;
    return job;
}

}  // namespace

class TestProgressTable : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        mStorage.clear();
        mFiles = std::make_unique<QTemporaryDir>();
        QVERIFY(mFiles->isValid());
    }

    void formatWorkedExampleAndLimits()
    {
        // 1,048,576,000 bytes, half read and a quarter written in 10 s: rates in bytes/ms / 1024.
        QCOMPARE(ProgressText::Format(524288000, 262144000, 1048576000, 10000),
                 QStringLiteral("50 %, 51 MiB/s r, 25 MiB/s w"));
        QCOMPARE(ProgressText::Format(3000, 0, 1000, 1), QStringLiteral("300 %, 2 MiB/s r, 0 MiB/s w"));
        QCOMPARE(ProgressText::Format(0, 0, 1000, 5), QStringLiteral("0 %, 0 MiB/s r, 0 MiB/s w"));
        QCOMPARE(ProgressText::Format(500, 500, 0, 1000), QStringLiteral("n/a"));
        QCOMPARE(ProgressText::Format(500, 500, 1000, 0), QStringLiteral("n/a"));
        // Large counters must not overflow on the way to the percentage.
        QCOMPARE(ProgressText::Format(Q_UINT64_C(40000000000000), 0, Q_UINT64_C(80000000000000), 1000000),
                 QStringLiteral("50 %, 39062 MiB/s r, 0 MiB/s w"));
    }

    void elapsedTime()
    {
        QCOMPARE(ProgressText::ElapsedMs(QTime(), QTime(12, 0)), Q_UINT64_C(0));
        QCOMPARE(ProgressText::ElapsedMs(QTime(12, 0), QTime(12, 0, 10)), Q_UINT64_C(10000));
        QCOMPARE(ProgressText::ElapsedMs(QTime(23, 59, 59, 500), QTime(0, 0, 0, 500)), Q_UINT64_C(1000));
    }

    void durationFormat_data()
    {
        QTest::addColumn<qint64>("milliseconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0:00:00";
        QTest::newRow("just under a minute") << qint64(59999) << "0:00:59";
        QTest::newRow("hour, minutes, seconds") << qint64(3725400) << "1:02:05";
        QTest::newRow("wraps after a day") << qint64((25 * 60 + 3) * 60 * 1000) << "1:03:00";
        QTest::newRow("ten hours") << qint64(36000000) << "10:00:00";
    }

    void durationFormat()
    {
        QFETCH(qint64, milliseconds);
        QFETCH(QString, text);
        QCOMPARE(DurationText::Format(milliseconds), text);
    }

    void emptyListHasHeadersAndNoRows()
    {
        WindowHarness harness;
        refresh(harness, {});
        const auto* pTable = table(harness);
        QCOMPARE(pTable->rowCount(), 0);
        QCOMPARE(pTable->columnCount(), 5);
        QCOMPARE(pTable->horizontalHeaderItem(4)->text(), QStringLiteral("Command line"));
    }

    void statusTextsColoursAndTooltips()
    {
        const QString ready = makeFile("ready.mlv", 10);
        const QString running = makeFile("running.mlv", 10);
        const QString failed = makeFile("failed.mlv", 10);
        const QString done = makeFile("done.mlv", 10);
        WindowHarness harness;
        harness.dropPaths({ready, running, failed, done});
        update(harness, Job(running, "/out/running/", "\"tool\" running"));
        update(harness, Job(failed, "/out/failed/", "\"tool\" failed", "frames 1..3\n", "bad block\nat 12"));
        update(harness, Job(done, "/out/done/", "\"tool\" done", "all done\n"));

        QCOMPARE(harness.column(0), (QStringList{ready, running, failed, done}));
        QCOMPARE(harness.column(1), (QStringList{"Ready", "Processing", "Error", "Finished"}));
        QCOMPARE(harness.column(2), (QStringList{"", "", "<see tooltip>", "<see tooltip>"}));
        QCOMPARE(harness.column(3), (QStringList{"", "", "<see tooltip>", ""}));
        QCOMPARE(harness.column(4), (QStringList{"", "<see tooltip>", "<see tooltip>", "<see tooltip>"}));

        const auto* pTable = table(harness);
        QCOMPARE(pTable->item(2, 2)->toolTip(), QStringLiteral("frames 1..3\n"));
        QCOMPARE(pTable->item(2, 3)->toolTip(), QStringLiteral("bad block\nat 12"));
        QCOMPARE(pTable->item(1, 4)->toolTip(), QStringLiteral("\"tool\" running"));
        QCOMPARE(pTable->item(0, 2)->toolTip(), QString());
        QCOMPARE(pTable->item(0, 0)->toolTip(), QString());

        const QList<QPair<QColor, QColor>> colours{{Qt::black, Qt::white}, {Qt::black, Qt::yellow},
                                                   {Qt::white, Qt::red}, {Qt::black, Qt::green}};
        for (int row = 0; row < 4; ++row) {
            const QTableWidgetItem* pStatus = pTable->item(row, 1);
            QCOMPARE(pStatus->foreground().color(), colours.at(row).first);
            QCOMPARE(pStatus->foreground().style(), Qt::SolidPattern);
            QCOMPARE(pStatus->background().color(), colours.at(row).second);
            for (int column = 0; column < 5; ++column) {
                QCOMPARE(pTable->item(row, column)->flags(), Qt::ItemFlags(Qt::ItemIsEnabled));
                if (column != 1) {
                    QCOMPARE(pTable->item(row, column)->background().style(), Qt::NoBrush);
                    QCOMPARE(pTable->item(row, column)->foreground().style(), Qt::NoBrush);
                }
            }
        }
    }

    // A report names the cleaned path; a file added under another spelling must still get it.
    void updateFindsAFileAddedUnderAnUncleanPath()
    {
        const QString clip = makeFile("a.mlv", 10);
        const QString other = makeFile("b.mlv", 10);
        WindowHarness harness;
        harness.openFileNamesAnswer = QStringList{mFiles->path() + QStringLiteral("/./a.mlv"),
                                                  mFiles->path() + QStringLiteral("//b.mlv")};
        harness.find<QPushButton>("mpButtonAdd")->click();
        update(harness, Job(clip, "/o/a/", "cmd", "ok"));
        update(harness, Job(other, "/o/b/", "cmd"));
        QCOMPARE(harness.column(1), (QStringList{"Finished", "Processing"}));

        // A report for a file that is not listed changes nothing.
        update(harness, Job(mFiles->filePath("stranger.mlv"), "/o/s/", "cmd", "ok"));
        QCOMPARE(harness.column(0), (QStringList{clip, other}));
        QCOMPARE(harness.column(1), (QStringList{"Finished", "Processing"}));
    }

    void runningCopiesOverlayOnlyTheirOwnJob()
    {
        const QString a = makeFile("a.mlv", 1000);
        const QString b = makeFile("b.mlv", 1000);
        WindowHarness harness;
        harness.dropPaths({a, b});
        update(harness, Job(a, "/out/a/", "cmd a"));
        update(harness, Job(b, "/out/b/", "cmd b"));
        harness.counters = ProcessIoCounters{500, 2048000};

        MLVWorker runningA = Job(a, "/out/a/", "cmd a");
        runningA.mProcessId = 4242;
        runningA.mStartTime = harness.now.addMSecs(-1000);
        MLVWorker otherOutputB = Job(b, "/elsewhere/b/", "cmd b");
        otherOutputB.mProcessId = 4343;
        otherOutputB.mStartTime = harness.now.addMSecs(-1000);
        MLVWorker stranger = Job(mFiles->filePath("c.mlv"), "/out/c/", "cmd c");
        stranger.mProcessId = 4444;

        harness.counterQueries.clear();
        refresh(harness, {stranger, otherOutputB, runningA});
        QCOMPARE(harness.column(1), (QStringList{"50 %, 0 MiB/s r, 2 MiB/s w", "Processing"}));
        // Only the overlaid copy's process is asked; the others are never looked at.
        QCOMPARE(harness.counterQueries, (QList<qint64>{4242, 0}));
        QCOMPARE(harness.column(0), (QStringList{a, b}));

        // A rebuild from the window's own list knows no process: back to "Processing".
        refresh(harness, {});
        QCOMPARE(harness.column(1), (QStringList{"Processing", "Processing"}));
    }

    void rateWorkedExampleThroughTheWindow()
    {
        const QString clip = makeFile("big.mlv", 0);
        WindowHarness harness;
        harness.dropPaths({clip});
        update(harness, Job(clip, "/out/big/", "cmd"));
        MLVWorker running = Job(clip, "/out/big/", "cmd");
        running.mFileSize = 1048576000;
        running.mProcessId = 77;
        running.mStartTime = harness.now.addMSecs(-10000);
        harness.counters = ProcessIoCounters{524288000, 262144000};
        refresh(harness, {running});
        QCOMPARE(harness.column(1), QStringList{"50 %, 51 MiB/s r, 25 MiB/s w"});
        QCOMPARE(table(harness)->item(0, 1)->background().color(), QColor(Qt::yellow));
    }

    void unmeasurableProgress()
    {
        const QString empty = makeFile("empty.mlv", 0);
        WindowHarness harness;
        harness.dropPaths({empty});
        update(harness, Job(empty, "/o/e/", "cmd"));
        MLVWorker running = Job(empty, "/o/e/", "cmd");
        running.mProcessId = 9;
        running.mStartTime = harness.now.addMSecs(-5000);

        harness.counters.reset();  // process gone or not readable
        refresh(harness, {running});
        QCOMPARE(harness.column(1), QStringList{"Processing"});

        harness.counters = ProcessIoCounters{100, 100};
        refresh(harness, {running});  // zero-byte source
        QCOMPARE(harness.column(1), QStringList{"n/a"});

        running.mFileSize = 1000;
        running.mStartTime = QTime();
        refresh(harness, {running});  // never started
        QCOMPARE(harness.column(1), QStringList{"n/a"});

        running.mStartTime = harness.now;
        refresh(harness, {running});  // less than a millisecond old
        QCOMPARE(harness.column(1), QStringList{"n/a"});
    }

private:
    static QTableWidget* table(WindowHarness& harness) { return harness.find<QTableWidget>("mpTable"); }

    static void update(WindowHarness& harness, const MLVWorker& job)
    {
        QVERIFY(QMetaObject::invokeMethod(&harness.window(), "UpdateTable", Q_ARG(MLVWorker, job)));
    }

    static void refresh(WindowHarness& harness, const std::vector<MLVWorker>& running)
    {
        QVERIFY(QMetaObject::invokeMethod(&harness.window(), "RefreshTable",
                                          Q_ARG(std::vector<MLVWorker>, running)));
    }

    QString makeFile(const QString& name, int size)
    {
        const QString path = mFiles->filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(size, 'm'));
        return path;
    }

    TestSettings mStorage;
    std::unique_ptr<QTemporaryDir> mFiles;
};

QTEST_MAIN(TestProgressTable)
#include "tst_progresstable.moc"
