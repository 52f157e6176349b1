// Go, Stop, the end of a batch and closing while a batch runs, end to end with the fake mlv_dump.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "fakeclip.h"
#include "testsettings.h"
#include "windowharness.h"

namespace {

constexpr int kBatchTimeout = 30000;

}  // namespace

class TestRunControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<MLVWorker>("MLVWorker");
        qRegisterMetaType<std::vector<MLVWorker>>("std::vector<MLVWorker>");
    }

    void init()
    {
        mStorage.clear();
        mFiles = std::make_unique<QTemporaryDir>();
        QVERIFY(mFiles->isValid());
    }

    void goConvertsTheListAndReportsProgress()
    {
        const QString a = clip("a.mlv", FakeClip().runFor(150).read(-1).printOut("a done\n"));
        const QString b = clip("b.mlv", FakeClip().runFor(150).read(-1).printOut("b done\n"));
        const QString c = clip("c.mlv", FakeClip().runFor(150).read(-1).printOut("c done\n"));
        WindowHarness harness;
        prepare(harness, {a, b, c});
        QSignalSpy progress(harness.find<QProgressBar>("mpProgress"), &QProgressBar::valueChanged);
        QSignalSpy messages(harness.window().statusBar(), &QStatusBar::messageChanged);

        harness.find<QPushButton>("mpButtonGo")->click();
        expectLocked(harness, true);
        QVERIFY(harness.find<QPushButton>("mpButtonStop")->isEnabled());

        QVERIFY(waitForEnd(harness));
        QCOMPARE(harness.column(1), (QStringList{"Finished", "Finished", "Finished"}));
        QCOMPARE(valuesOf(progress), (QList<int>{33, 66, 100, 0}));
        QVERIFY(harness.window().statusBar()->currentMessage().startsWith(QStringLiteral("Last duration: ")));
        QVERIFY(QRegularExpression(QStringLiteral("^Last duration: 0:00:\\d\\d$"))
                    .match(harness.window().statusBar()->currentMessage())
                    .hasMatch());
        // The batch takes a few one-second cycles, so the clock ticked while it ran.
        bool ticked = false;
        for (const QList<QVariant>& message : messages)
            ticked |= QRegularExpression(QStringLiteral("^Elapsed time: 0:00:\\d\\d$"))
                          .match(message.at(0).toString())
                          .hasMatch();
        QVERIFY(ticked);

        const auto* pTable = harness.find<QTableWidget>("mpTable");
        QCOMPARE(pTable->item(1, 2)->toolTip(), QStringLiteral("b done\n"));
        QVERIFY(pTable->item(1, 4)->toolTip().startsWith(QLatin1Char('"') + FakeClip::toolPath() + QLatin1Char('"')));
        QVERIFY(pTable->item(1, 4)->toolTip().endsWith(QLatin1Char('"') + b + QLatin1Char('"')));
        expectLocked(harness, false);
        QVERIFY(!harness.find<QPushButton>("mpButtonStop")->isEnabled());
    }

    void stopLetsTheRunningJobEndAndStartsNoOther()
    {
        const QString release = mFiles->filePath("release");
        const QString a = clip("a.mlv", FakeClip().holdUntil(release).printOut("a done\n"));
        const QString b = clip("b.mlv", FakeClip().printOut("b done\n"));
        const QString c = clip("c.mlv", FakeClip().printOut("c done\n"));
        WindowHarness harness;
        prepare(harness, {a, b, c});
        harness.find<QCheckBox>("mpCheckDestination")->click();
        QTest::keyClicks(harness.find<QLineEdit>("mpEditDestination"), mFiles->filePath("out"));

        harness.find<QPushButton>("mpButtonGo")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.column(1).at(0), QStringLiteral("Processing"), kBatchTimeout);
        // The destination chooser alone stays usable while a batch runs.
        QVERIFY(harness.find<QPushButton>("mpButtonDestination")->isEnabled());
        QVERIFY(!harness.find<QLineEdit>("mpEditDestination")->isEnabled());

        harness.window().close();
        QCOMPARE(harness.calls.size(), 1);
        QCOMPARE(harness.calls.at(0).kind, QStringLiteral("information"));
        QCOMPARE(harness.calls.at(0).caption, QStringLiteral("Cannot exit"));
        QCOMPARE(harness.calls.at(0).start, QStringLiteral("Please stop rendering before exiting the program."));

        harness.find<QPushButton>("mpButtonStop")->click();
        expectLocked(harness, true);
        QVERIFY(!harness.find<QPushButton>("mpButtonStop")->isEnabled());
        QVERIFY(harness.find<QPushButton>("mpButtonDestination")->isEnabled());

        // Stopping is still running: closing is refused all the same.
        harness.window().close();
        QCOMPARE(harness.calls.size(), 2);
        QCOMPARE(harness.calls.at(1).caption, QStringLiteral("Cannot exit"));
        QVERIFY(harness.exitCodes.isEmpty());

        QVERIFY(FakeClip::release(release));
        QVERIFY(waitForEnd(harness));
        QCOMPARE(harness.column(1), (QStringList{"Finished", "Ready", "Ready"}));
        QCOMPARE(harness.find<QProgressBar>("mpProgress")->value(), 0);
        expectLocked(harness, false);
        QVERIFY(harness.find<QPushButton>("mpButtonGo")->isEnabled());
        QVERIFY(QDir(mFiles->filePath("out/a")).exists());
    }

    void secondGoRerunsOnlyWhatDidNotFinish()
    {
        const QString record = mFiles->filePath("a.args");
        const QString release = mFiles->filePath("release");
        const QString a = clip("a.mlv", FakeClip().printOut("a done\n").recordArguments(record));
        const QString b = clip("b.mlv", FakeClip().printOut("b half\n").printErr("b broke\n"));
        const QString c = clip("c.mlv", FakeClip().printErr("c broke\n"));
        WindowHarness harness;
        prepare(harness, {a, b, c});
        harness.find<QPushButton>("mpButtonGo")->click();
        QVERIFY(waitForEnd(harness));
        QCOMPARE(harness.column(1), (QStringList{"Finished", "Error", "Error"}));
        QCOMPARE(harness.find<QTableWidget>("mpTable")->item(1, 3)->toolTip(), QStringLiteral("b broke\n"));
        QVERIFY(QFile::remove(record));

        // The failed clips are mended; only they run again, and the one still queued is Ready meanwhile.
        QVERIFY(FakeClip().holdUntil(release).printOut("b done\n").write(b));
        QVERIFY(FakeClip().printOut("c done\n").write(c));
        QSignalSpy progress(harness.find<QProgressBar>("mpProgress"), &QProgressBar::valueChanged);
        harness.find<QPushButton>("mpButtonGo")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.column(1).at(1), QStringLiteral("Processing"), kBatchTimeout);
        QCOMPARE(harness.column(1), (QStringList{"Finished", "Processing", "Ready"}));
        QCOMPARE(harness.find<QTableWidget>("mpTable")->item(2, 3)->text(), QString());
        QVERIFY(FakeClip::release(release));
        QVERIFY(waitForEnd(harness));
        QCOMPARE(harness.column(1), (QStringList{"Finished", "Finished", "Finished"}));
        QCOMPARE(valuesOf(progress), (QList<int>{50, 100, 0}));
        QVERIFY(!QFile::exists(record));
        QCOMPARE(harness.find<QTableWidget>("mpTable")->item(0, 2)->toolTip(), QStringLiteral("a done\n"));

        // Everything is finished: Go runs nothing and the bar never moves.
        progress.clear();
        harness.find<QPushButton>("mpButtonGo")->click();
        QVERIFY(waitForEnd(harness));
        QCOMPARE(harness.column(1), (QStringList{"Finished", "Finished", "Finished"}));
        QVERIFY(progress.isEmpty());
        QVERIFY(!QFile::exists(record));
    }

    // Files dropped while a batch runs join the list but wait for the next Go.
    void dropDuringARunWaitsForTheNextBatch()
    {
        const QString release = mFiles->filePath("release");
        const QString a = clip("a.mlv", FakeClip().holdUntil(release).printOut("a done\n"));
        const QString late = clip("late.mlv", FakeClip().printOut("late done\n"));
        WindowHarness harness;
        prepare(harness, {a});
        harness.find<QPushButton>("mpButtonGo")->click();
        QTRY_COMPARE_WITH_TIMEOUT(harness.column(1).at(0), QStringLiteral("Processing"), kBatchTimeout);
        harness.dropPaths({late});
        QCOMPARE(harness.column(0), (QStringList{a, late}));
        QVERIFY(FakeClip::release(release));
        QVERIFY(waitForEnd(harness));
        QCOMPARE(harness.column(1), (QStringList{"Finished", "Ready"}));
    }

private:
    QString clip(const QString& name, const FakeClip& behaviour)
    {
        const QString path = mFiles->filePath(name);
        return behaviour.write(path) ? path : QString();
    }

    static void prepare(WindowHarness& harness, const QStringList& clips)
    {
        QTest::keyClicks(harness.find<QLineEdit>("mpEditExecutable"), FakeClip::toolPath());
        harness.dropPaths(clips);
        QCOMPARE(harness.column(0), clips);
    }

    // Waits for the batch's end: the window is idle again and says how long the batch took.
    // (The status bar signals nothing when two batches take equally long, so it is read, not watched.)
    static bool waitForEnd(WindowHarness& harness)
    {
        const auto* pAdd = harness.find<QPushButton>("mpButtonAdd");
        return QTest::qWaitFor([pAdd] { return pAdd->isEnabled(); }, kBatchTimeout) &&
               harness.window().statusBar()->currentMessage().startsWith(QStringLiteral("Last duration: "));
    }

    static void expectLocked(WindowHarness& harness, bool locked)
    {
        for (const char* name : {"mpButtonAdd", "mpButtonExecutable", "mpButtonOne", "mpButtonQuarter",
                                 "mpButtonHalf", "mpButtonAll"})
            QVERIFY2(harness.find<QPushButton>(name)->isEnabled() == !locked, name);
        for (const char* name : {"mpCheckColdPixels", "mpCheckMovingColdPixels", "mpCheckVerticalStripes",
                                 "mpCheckRelaxed", "mpCheckVerbose", "mpCheckDestination"})
            QVERIFY2(harness.find<QCheckBox>(name)->isEnabled() == !locked, name);
        QCOMPARE(harness.find<QLineEdit>("mpEditExecutable")->isEnabled(), !locked);
        QCOMPARE(harness.find<QSpinBox>("mpSpinThreads")->isEnabled(), !locked);
        QCOMPARE(harness.find<QTableWidget>("mpTable")->isEnabled(), !locked);
        QCOMPARE(harness.find<QLabel>("mpLabelDnD")->isEnabled(), !locked);
        QCOMPARE(harness.find<QPushButton>("mpButtonClear")->isEnabled(), !locked);
        QVERIFY(harness.find<QPushButton>("mpButtonAbout")->isEnabled());
        if (locked)
            QVERIFY(!harness.find<QPushButton>("mpButtonGo")->isEnabled());
    }

    static QList<int> valuesOf(const QSignalSpy& spy)
    {
        QList<int> values;
        for (const QList<QVariant>& arguments : spy)
            values.append(arguments.at(0).toInt());
        return values;
    }

    TestSettings mStorage;
    std::unique_ptr<QTemporaryDir> mFiles;
};

QTEST_MAIN(TestRunControl)
#include "tst_runcontrol.moc"
