// The job list and its table: Add, drops, Clear, status texts and colours, tooltips, running progress, details,
// and the keyboard: Tab through the table, the shortcuts, and Enter for a job's details.
#include <tuple>

#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "fakeclip.h"
#include "testsettings.h"
#include "ui/jobdetailsdialog.h"
#include "ui/launchfiles.h"
#include "ui/progresstext.h"
#include "windowharness.h"

class TestJobTable : public QObject
{
    Q_OBJECT

private slots:
    void init() { mStorage.clear(); }

    void dropAddsExistingMlvFilesOnce()
    {
        WindowHarness harness;
        const QString lower = harness.file("b.mlv"), upper = harness.file("B.MLV");
        harness.drop({lower, harness.file("notes.txt"), harness.files.filePath("missing.mlv"),
                      "https://example.com/clip.mlv", upper, harness.file("c.mlv.bak"), harness.file("d.mlv "), lower});
        QCOMPARE(harness.column(0) + harness.column(1), (QStringList{lower, upper, "Ready", "Ready"}));
        const QString later = harness.file("z.mlv");
        harness.drop({upper, later});
        // Data without URLs neither changes nor rebuilds the table.
        const QTableWidgetItem* pBefore = harness.find<QTableWidget>("mpTable")->item(0, 0);
        harness.drop({}, later);
        QCOMPARE(harness.find<QTableWidget>("mpTable")->item(0, 0), pBefore);
        QCOMPARE(harness.column(0), (QStringList{lower, upper, later}));

        harness.find<QPushButton>("mpButtonClear")->click();
        QCOMPARE(harness.column(0) + harness.marked(), (QStringList{"mpTable", "mpEditExecutable"}));
        QCOMPARE(harness.controls(false).first(), QStringLiteral("mpButtonClear"));
        harness.drop({lower});
        QCOMPARE(harness.column(0), QStringList{lower});
    }

    // A drop is taken as a copy whatever the source proposes, so no file manager moves the originals;
    // a source that offers no copy is refused.
    void dropsAreCopies()
    {
        for (const auto& [possible, proposed, taken] :
             {std::tuple(Qt::DropActions(Qt::CopyAction), Qt::CopyAction, Qt::CopyAction),
              {Qt::CopyAction | Qt::MoveAction, Qt::MoveAction, Qt::CopyAction},
              {Qt::CopyAction | Qt::LinkAction, Qt::LinkAction, Qt::CopyAction},
              {Qt::MoveAction, Qt::MoveAction, Qt::IgnoreAction}}) {
            WindowHarness harness;
            const QString clip = harness.file("a.mlv");
            QCOMPARE(harness.drop({clip}, {}, possible, proposed), taken);
            QCOMPARE(harness.entered, taken);
            QCOMPARE(harness.column(0), taken == Qt::IgnoreAction ? QStringList() : QStringList{clip});
        }
    }

    // A folder adds the MLV files directly inside it, by name; files given at start are added as a drop adds them.
    void foldersAndStartFilesAddAsDrops()
    {
        for (const bool atStart : {false, true}) {
            WindowHarness harness;
            QVERIFY(QDir(harness.files.path()).mkpath("card/sub"));
            const QStringList card{harness.file("card/a.mlv"), harness.file("card/B.MLV"), harness.file("card/c.mlv")};
            harness.file("card/notes.txt");
            harness.file("card/sub/deeper.mlv");
            const QString single = harness.file("single.MLV");
            const QStringList relative{"single.MLV", "card/./B.MLV", "card", "missing.mlv", "card/notes.txt"};
            if (atStart) {
                const QString before = QDir::currentPath();
                QDir::setCurrent(harness.files.path());
                harness.window().AddPaths(LaunchFiles::FromArguments(QStringList{"korvalin"} + relative));
                QDir::setCurrent(before);
            } else {
                QStringList paths;
                for (const QString& path : relative)
                    paths << harness.files.filePath(path);
                harness.drop(paths);
            }
            QCOMPARE(harness.column(0), (QStringList{single, card[1], card[0], card[2]}));
        }
    }

    // Reports name the cleaned path, so the list keeps that form and another spelling is the same job.
    void addDialogKeepsCleanedPaths()
    {
        WindowHarness harness;
        const QString a = harness.file("a.mlv"), b = harness.file("b.mlv");
        QVERIFY(QDir(harness.files.path()).mkdir("sub"));
        auto* pAdd = harness.find<QPushButton>("mpButtonAdd");
        pAdd->click();  // cancelled
        harness.chosenFiles = QStringList{harness.file("sub/notes.txt")};
        pAdd->click();  // nothing acceptable, yet the next dialog opens where the chosen file lies
        harness.chosenFiles = QStringList{harness.files.path() + "/./sub/../a.mlv", a.toUpper() + "x",
                                          harness.files.path() + "//b.mlv", a};
        pAdd->click();
        const QString call = QStringLiteral("files|Choose MLV files|%1|MLV files (*.mlv)");
        QCOMPARE(harness.calls, (QStringList{call.arg(""), call.arg(""), call.arg(harness.files.filePath("sub"))}));
        update(harness, a, "/o/a/", "ok");
        update(harness, harness.files.filePath("stranger.mlv"), "/o/s/", "ok");
        QCOMPARE(harness.column(0) + harness.column(1), (QStringList{a, b, "Finished", "Ready"}));
    }

    void statusTextsColoursAndTooltips()
    {
        WindowHarness harness;
        const QStringList files{harness.file("ready.mlv"), harness.file("running.mlv"), harness.file("failed.mlv"),
                                harness.file("done.mlv")};
        harness.drop(files);
        update(harness, files[1], "/out/running/");
        update(harness, files[2], "/out/failed/", "frames 1..3\n", "bad block\nat 12");
        update(harness, files[3], "/out/done/", "all done\n");

        auto* pTable = harness.find<QTableWidget>("mpTable");
        QCOMPARE(harness.column(0), files);
        QCOMPARE(harness.column(1), (QStringList{"Ready", "Processing", "Error", "Finished"}));
        QCOMPARE(harness.column(2) + harness.column(3) + harness.column(4),
                 (QStringList{"", "", "<see tooltip>", "<see tooltip>", "", "", "<see tooltip>", "", "",
                              "<see tooltip>", "<see tooltip>", "<see tooltip>"}));
        const auto tip = [pTable](int row, int column) { return pTable->item(row, column)->toolTip(); };
        QCOMPARE(QStringList({tip(2, 2), tip(2, 3), tip(1, 4), tip(0, 2), tip(0, 0)}),
                 (QStringList{"frames 1..3\n", "bad block\nat 12", "\"tool\" " + files[1], "", files[0]}));
        // Status cells: text colour over background; a cell can be selected (its whole row) but not edited.
        const QList<QColor> colours{Qt::black, Qt::white, Qt::black, Qt::yellow,
                                    Qt::white, Qt::red,   Qt::black, Qt::green};
        for (int row = 0; row < 4; ++row) {
            QCOMPARE(pTable->item(row, 1)->foreground(), QBrush(colours[2 * row]));
            QCOMPARE(pTable->item(row, 1)->background(), QBrush(colours[2 * row + 1]));
            for (int column = 0; column < 5; ++column) {
                QCOMPARE(pTable->item(row, column)->flags(), Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                if (column != 1)
                    QCOMPARE(pTable->item(row, column)->background().style(), Qt::NoBrush);
            }
        }
        // A selected row keeps its status colour, so an error still shows red.
        pTable->selectRow(2);
        const QRect status = pTable->visualItemRect(pTable->item(2, 1));
        const QImage shown = pTable->viewport()->grab().toImage();
        QCOMPARE(QColor(shown.pixel(status.left() + 2, status.center().y())), QColor(Qt::red));
        QVERIFY(QColor(shown.pixel(pTable->visualItemRect(pTable->item(2, 2)).center())) != QColor(Qt::white));
    }

    // Running copies stand in for their own rows only: same source and same output.
    void runningCopiesShowProgress()
    {
        WindowHarness harness;
        const QString a = harness.file("a.mlv"), b = harness.file("b.mlv", 0);
        harness.drop({a, b});
        update(harness, a, "/out/a/");
        update(harness, b, "/out/b/");
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
        refresh(harness, {stranger, otherOutputB, runningA});
        // Rates are bytes per millisecond / 1024; only the overlaid copy's process is asked.
        QCOMPARE(harness.column(0) + harness.column(1),
                 (QStringList{a, b, "50 %, 51 MiB/s r, 25 MiB/s w", "Processing"}));
        QCOMPARE(harness.counterQueries, (QList<qint64>{4242, 0}));
        QCOMPARE(harness.find<QTableWidget>("mpTable")->item(0, 1)->background().color(), QColor(Qt::yellow));

        otherOutputB.mOutputPath = "/out/b/";  // a zero-byte source has no percentage
        refresh(harness, {runningA, otherOutputB});
        QCOMPARE(harness.column(1), (QStringList{"50 %, 51 MiB/s r, 25 MiB/s w", "n/a"}));
        QCOMPARE(ProgressText::ElapsedMs(QTime(23, 59), QTime(0, 1)), 120000u);  // a job running past midnight
        harness.counters.reset();                                                // the process is gone or unreadable
        refresh(harness, {runningA});
        QCOMPARE(harness.column(1), (QStringList{"Processing", "Processing"}));
    }

    // The table is disabled during a batch, so a job that starts below the view is scrolled into it, up
    // and down only; a long Source column leaves the Status column in view.
    void startedJobsScrollIntoView()
    {
        WindowHarness harness;
        QStringList files;
        for (int i = 0; i < 40; ++i)
            files << harness.file(QString(60, 'x') + QString::number(i) + ".mlv");
        harness.drop(files);
        harness.window().resize(640, 480);
        auto* pTable = activeTable(harness);
        QVERIFY(pTable);
        update(harness, files[1], "/out/1/");
        update(harness, files[35], "/out/35/");
        update(harness, files[2], "/out/2/", "done\n");
        const QRect view = pTable->viewport()->rect();
        QVERIFY(view.contains(pTable->visualItemRect(pTable->item(35, 1))));
        QVERIFY(!view.intersects(pTable->visualItemRect(pTable->item(1, 1))));
    }

    // Enter on the selected row (nothing without one), or a double-click, opens a window of its own per job,
    // beside the main one, holding even a verbose log whole.
    void detailsShowTheWholeJob()
    {
        WindowHarness harness;
        const QStringList files{harness.file("a.mlv"), harness.file("b.mlv")};
        harness.drop(files);
        const QString log = QStringLiteral("Frame written\n").repeated(50000);
        MLVWorker ended = Job(files[1], "/out/b/", log, "[ERROR] frame 7 damaged\n");
        ended.mExitCode = 1;
        ended.mDurationMs = 61234;
        harness.invoke("UpdateTable", Q_ARG(MLVWorker, ended));
        auto* pTable = activeTable(harness);
        QVERIFY(pTable);
        QTest::keyClick(pTable, Qt::Key_Return);
        pTable->selectRow(1);
        harness.find<QWidget>("mpCheckVerbose")->setProperty("checked", true);  // a rebuild keeps the selection
        QTest::keyClick(pTable, Qt::Key_Enter);
        // As the system delivers a double click: a click, then the second press as a double click.
        const QPoint cell = pTable->visualItemRect(pTable->item(0, 2)).center();
        QTest::mouseClick(pTable->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(pTable->viewport(), Qt::LeftButton, {}, cell);
        const QList<JobDetailsDialog*> dialogs = harness.window().findChildren<JobDetailsDialog*>();
        QCOMPARE(dialogs.size(), 2);
        JobDetailsDialog* pDialog = dialogs.first();
        QVERIFY(pDialog->isVisible() && !pDialog->isModal());
        QStringList fields;
        for (JobDetailsDialog* pEach : dialogs)
            for (const char* name : {"mpEditSource", "mpEditOutputFolder", "mpEditCommandLine", "mpEditState",
                                     "mpEditExitCode", "mpEditDuration"}) {
                const auto* pField = pEach->findChild<QLineEdit*>(name);
                fields << pField->text() + (pField->isReadOnly() ? "" : " editable");
            }
        QCOMPARE(fields, (QStringList{files[1], "/out/b/", "\"tool\" " + files[1], "Error", "1", "0:01:01.234",
                                      files[0], "", "", "Ready", "", ""}));
        // There is no such folder to open.
        QVERIFY(!pDialog->findChild<QPushButton*>("mpButtonOpenFolder")->isEnabled());
        const auto* pOutput = pDialog->findChild<QPlainTextEdit*>("mpTextOutput");
        QVERIFY(pOutput->isReadOnly() && pOutput->textInteractionFlags() & Qt::TextSelectableByMouse);
        QCOMPARE(pOutput->toPlainText(), log);
        QCOMPARE(pDialog->findChild<QPlainTextEdit*>("mpTextErrors")->toPlainText(), "[ERROR] frame 7 damaged\n");
        pDialog->findChild<QPushButton*>("mpButtonCopy")->click();
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY(copied.contains(files[1]) && copied.contains(log) && copied.contains("[ERROR] frame 7"));
        // The main window stays usable meanwhile, and the tooltip keeps the log as before.
        QVERIFY(harness.find<QPushButton>("mpButtonAdd")->isEnabled());
        QCOMPARE(pTable->item(1, 2)->toolTip(), log);
        pDialog->close();
        QTRY_COMPARE(harness.window().findChildren<JobDetailsDialog*>().size(), 1);
    }

    // Each shortcut does what its button does, and nothing while that button is disabled (Go is enabled once
    // the executable is set).
    void shortcuts()
    {
        const QStringList none, add{"files|Choose MLV files||MLV files (*.mlv)"},
            exit{"question|Exit program?|Do you want to exit the program?"};
        for (const auto& [key, tool, calls, status] : {std::tuple(Qt::Key_O, false, add, "Ready"),
                                                       {Qt::Key_Q, false, exit, "Ready"},
                                                       {Qt::Key_Return, false, none, "Ready"},
                                                       {Qt::Key_Return, true, none, "Finished"},
                                                       {Qt::Key_Enter, true, none, "Finished"}}) {
            WindowHarness harness;
            const QString clip = harness.files.filePath("a.mlv");
            QVERIFY(FakeClip().printOut("done\n").write(clip));
            harness.drop({clip});
            if (tool)
                harness.find<QLineEdit>("mpEditExecutable")->setText(FakeClip::toolPath());
            QVERIFY(activeTable(harness));
            QTest::keyClick(&harness.window(), key, Qt::ControlModifier);
            QCOMPARE(harness.calls, calls);
            QTRY_COMPARE_WITH_TIMEOUT(harness.column(1).at(0), QString(status), 30000);
            QTRY_VERIFY_WITH_TIMEOUT(harness.find<QPushButton>("mpButtonAdd")->isEnabled(), 30000);
        }
    }

    // Tab and Shift+Tab leave the table for the form. Delete removes the selected row and selects the one that
    // moves up; with no row selected it does nothing.
    void keyboardInTheTable()
    {
        WindowHarness harness;
        const QStringList files{harness.file("a.mlv"), harness.file("b.mlv"), harness.file("c.mlv")};
        harness.drop(files);
        auto* pTable = activeTable(harness);
        QVERIFY(pTable);
        QTest::keyClick(pTable, Qt::Key_Delete);
        QCOMPARE(harness.column(0), files);
        for (const auto& [key, next] : {std::pair(Qt::Key_Tab, "mpButtonAdd"), {Qt::Key_Backtab, "mpButtonAbout"}}) {
            pTable->setFocus();
            pTable->setCurrentCell(0, 0);
            QTest::keyClick(pTable, key);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString(next));
        }
        pTable->setFocus();
        pTable->selectRow(1);
        QTest::keyClick(pTable, Qt::Key_Delete);
        QCOMPARE(harness.column(0), (QStringList{files[0], files[2]}));
        QTest::keyClick(pTable, Qt::Key_Delete);
        QCOMPARE(harness.column(0), QStringList{files[0]});
    }

private:
    static MLVWorker Job(const QString& source, const QString& output, const QString& out = {}, const QString& err = {})
    {
        MLVWorker job(source, output, "\"tool\" " + source);
        job.mStdOut = out;
        job.mStdErr = err;
        return job;
    }

    static void update(WindowHarness& harness, const QString& source, const QString& output, const QString& out = {},
                       const QString& err = {})
    {
        harness.invoke("UpdateTable", Q_ARG(MLVWorker, Job(source, output, out, err)));
    }

    static void refresh(WindowHarness& harness, const std::vector<MLVWorker>& running)
    {
        harness.invoke("RefreshTable", Q_ARG(std::vector<MLVWorker>, running));
    }

    // Shows the window, waits until it is active and puts the focus into the table.
    static QTableWidget* activeTable(WindowHarness& harness)
    {
        harness.window().show();
        QApplication::setActiveWindow(&harness.window());
        if (!QTest::qWaitForWindowActive(&harness.window()))
            return nullptr;
        auto* pTable = harness.find<QTableWidget>("mpTable");
        pTable->setFocus();
        return pTable;
    }

    TestSettings mStorage;
};

QTEST_MAIN(TestJobTable)
#include "tst_jobtable.moc"
