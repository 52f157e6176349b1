// Go, Stop, the end of a batch, closing while a batch runs and a logout, end to end with the fake mlv_dump.
#include <csignal>

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>

#include "fakeclip.h"
#include "testsettings.h"
#include "windowharness.h"

namespace {

constexpr int kBatchTimeout = 30000;
// What stays usable while a batch runs, without a custom destination.
const QStringList kRunning{"mpLabelExecutable", "mpLabelThreads", "mpLabelChroma",
                           "mpButtonAbout",     "mpProgress",     "mpButtonStop"};

}  // namespace

class TestRunControl : public QObject
{
    Q_OBJECT

private slots:
    void init() { mStorage.clear(); }

    // Stop lets the running job end and starts no other; closing is refused until the batch is over.
    void stopAndCloseWhileRunning()
    {
        WindowHarness harness;
        const QString release = harness.files.filePath("release");
        prepare(harness, {FakeClip().holdUntil(release).printOut("a done\n"), FakeClip(), FakeClip()}, true);
        harness.find<QPushButton>("mpButtonGo")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.column(1).at(0), QStringLiteral("Processing"), kBatchTimeout);
        // The destination chooser alone stays usable: its choice waits for the next batch.
        QStringList running = kRunning;
        running.insert(3, "mpButtonDestination");
        QCOMPARE(harness.controls(true), running);
        harness.window().close();
        harness.find<QPushButton>("mpButtonStop")->click();
        running.removeLast();
        QCOMPARE(harness.controls(true), running);
        harness.window().close();
        const QString refusal = "information|Cannot exit|Please stop rendering before exiting the program.";
        QCOMPARE(harness.calls, (QStringList{refusal, refusal}));
        QVERIFY(harness.exitCodes.isEmpty());

        QVERIFY(FakeClip::release(release));
        QVERIFY(waitForEnd(harness));
        QCOMPARE(harness.column(1), (QStringList{"Finished", "Ready", "Ready"}));
        QCOMPARE(harness.find<QProgressBar>("mpProgress")->value(), 0);
        QCOMPARE(harness.controls(false), QStringList{"mpButtonStop"});
        QVERIFY(QDir(harness.files.filePath("out/0")).exists());
    }

    // Go locks the controls; a drop joins the list, not the running batch; the bar counts ended jobs and the
    // status bar gives the duration. A second Go runs only what did not finish, a third nothing.
    void goRunsWhatDidNotFinish()
    {
        WindowHarness harness;
        const QString record = harness.files.filePath("args"), release = harness.files.filePath("release");
        const QString late = harness.files.filePath("late.mlv");
        const QStringList clips =
            prepare(harness, {FakeClip().printOut("a done\n").recordArguments(record),
                              FakeClip().printOut("b half\n").printErr("b broke\n"), FakeClip().printErr("c broke\n")});
        QSignalSpy progress(harness.find<QProgressBar>("mpProgress"), &QProgressBar::valueChanged);
        harness.find<QPushButton>("mpButtonGo")->click();
        QCOMPARE(harness.controls(true), kRunning);
        QVERIFY(FakeClip().printOut("late done\n").write(late));
        harness.drop({late});
        QVERIFY(waitForEnd(harness));
        QCOMPARE(harness.column(1) << harness.find<QTableWidget>("mpTable")->item(1, 3)->toolTip(),
                 (QStringList{"Finished", "Error", "Error", "Ready", "b broke\n"}));
        QCOMPARE(QList<QVariantList>(progress), (QList<QVariantList>{{33}, {66}, {100}, {0}}));
        const QString duration = harness.window().statusBar()->currentMessage();
        QVERIFY2(QRegularExpression("^Last duration: 0:00:\\d\\d$").match(duration).hasMatch(), qPrintable(duration));
        QCOMPARE(harness.controls(false), (QStringList{"mpEditDestination", "mpButtonDestination", "mpButtonStop"}));
        QVERIFY(QFile::remove(record));

        // The failed clips are mended; they run again with the new one, and those still queued show Ready.
        QVERIFY(FakeClip().holdUntil(release).printOut("b done\n").write(clips[1]));
        QVERIFY(FakeClip().printOut("c done\n").write(clips[2]));
        progress.clear();
        harness.find<QPushButton>("mpButtonGo")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.column(1).at(1), QStringLiteral("Processing"), kBatchTimeout);
        QCOMPARE(harness.column(1) + harness.column(3).mid(2),
                 (QStringList{"Finished", "Processing", "Ready", "Ready", "", ""}));
        QVERIFY(FakeClip::release(release));
        QVERIFY(waitForEnd(harness));
        QCOMPARE(harness.column(1), (QStringList{"Finished", "Finished", "Finished", "Finished"}));
        QCOMPARE(QList<QVariantList>(progress), (QList<QVariantList>{{33}, {66}, {100}, {0}}));

        // Everything is finished: Go runs nothing and the bar never moves.
        progress.clear();
        harness.find<QPushButton>("mpButtonGo")->click();
        QVERIFY(waitForEnd(harness));
        QVERIFY(progress.isEmpty());
        QVERIFY(!QFile::exists(record));
    }

    // A logout (or a plain kill) during a batch ends the running converter, whose unfinished files go, and
    // starts nothing more; then the application exits as a program ended by that signal does.
    void terminationEndsTheConverters()
    {
        for (const int signalNumber : {SIGTERM, SIGHUP}) {
            WindowHarness harness;
            prepare(harness, {FakeClip().holdUntil(harness.files.filePath("never")), FakeClip()}, true);
            harness.find<QPushButton>("mpButtonGo")->click();
            QTRY_COMPARE_WITH_TIMEOUT(harness.column(1).at(0), QStringLiteral("Processing"), kBatchTimeout);
            // The row shows Processing as the job starts, before its thread has made the folder.
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(harness.files.filePath("out/0")).isDir(), kBatchTimeout);
            const QString part = harness.files.filePath("out/0/0_000001.dng.part");
            const QString done = harness.files.filePath("out/0/0_000000.dng");
            for (const QString& file : {part, done})
                QVERIFY(QFile(file).open(QIODevice::WriteOnly));
            std::raise(signalNumber);
            QTRY_COMPARE_WITH_TIMEOUT(harness.exitCodes, QList<int>{128 + signalNumber}, kBatchTimeout);
            QCOMPARE(harness.column(1), (QStringList{"Error", "Ready"}));
            QVERIFY(harness.find<QTableWidget>("mpTable")->item(0, 3)->toolTip().contains("crashed"));
            QVERIFY(!QFile::exists(part) && QFile::exists(done));
        }
    }

private:
    // Writes one clip per behaviour, points the window at the fake tool and lists the clips; the DNGs go to
    // the folder "out" when `intoOut` is set.
    static QStringList prepare(WindowHarness& harness, const QList<FakeClip>& behaviours, bool intoOut = false)
    {
        if (intoOut) {
            harness.find<QCheckBox>("mpCheckDestination")->click();
            QTest::keyClicks(harness.find<QLineEdit>("mpEditDestination"), harness.files.filePath("out"));
        }
        QStringList clips;
        for (const FakeClip& behaviour : behaviours) {
            clips << harness.files.filePath(QString::number(clips.size()) + ".mlv");
            behaviour.write(clips.last());
        }
        harness.find<QLineEdit>("mpEditExecutable")->setText(FakeClip::toolPath());
        harness.drop(clips);
        return clips;
    }

    // The window is idle again and says how long the batch took. (Equal durations signal no
    // change, so the status bar is read, not watched.)
    static bool waitForEnd(WindowHarness& harness)
    {
        const auto* pAdd = harness.find<QPushButton>("mpButtonAdd");
        return QTest::qWaitFor([pAdd] { return pAdd->isEnabled(); }, kBatchTimeout)
               && harness.window().statusBar()->currentMessage().startsWith(QStringLiteral("Last duration: "));
    }

    TestSettings mStorage;
};

QTEST_MAIN(TestRunControl)
#include "tst_runcontrol.moc"
