// The window from the keyboard: Tab through the table, the shortcuts, Enter for a job's details and Delete.
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "fakeclip.h"
#include "testsettings.h"
#include "ui/jobdetailsdialog.h"
#include "windowharness.h"

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void init() { mStorage.clear(); }

    void tabLeavesTheTable_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("next");
        QTest::newRow("Tab") << int(Qt::Key_Tab) << "mpButtonAdd";
        QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << "mpButtonAbout";
    }
    void tabLeavesTheTable()
    {
        QFETCH(int, key);
        QFETCH(QString, next);
        WindowHarness harness;
        harness.drop({harness.file("a.mlv"), harness.file("b.mlv")});
        auto* pTable = activeTable(harness);
        QVERIFY(pTable);
        pTable->setCurrentCell(0, 0);
        QTest::keyClick(pTable, Qt::Key(key));
        QCOMPARE(QApplication::focusWidget()->objectName(), next);
    }

    // Each shortcut does what its button does, and nothing while that button is disabled.
    void shortcuts_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("tool");  // the executable is set, so Go is enabled
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("status");
        QTest::newRow("Ctrl+O") << int(Qt::Key_O) << false << QStringList{"files|Choose MLV files||MLV files (*.mlv)"}
                                << "Ready";
        QTest::newRow("Ctrl+Q") << int(Qt::Key_Q) << false
                                << QStringList{"question|Exit program?|Do you want to exit the program?"} << "Ready";
        QTest::newRow("Ctrl+Return, Go disabled") << int(Qt::Key_Return) << false << QStringList() << "Ready";
        QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << true << QStringList() << "Finished";
        QTest::newRow("Ctrl+Enter") << int(Qt::Key_Enter) << true << QStringList() << "Finished";
    }
    void shortcuts()
    {
        QFETCH(int, key);
        QFETCH(bool, tool);
        QFETCH(QStringList, calls);
        QFETCH(QString, status);
        WindowHarness harness;
        const QString clip = harness.files.filePath("a.mlv");
        QVERIFY(FakeClip().printOut("done\n").write(clip));
        harness.drop({clip});
        if (tool)
            harness.find<QLineEdit>("mpEditExecutable")->setText(FakeClip::toolPath());
        QVERIFY(activeTable(harness));
        QTest::keyClick(&harness.window(), Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(harness.calls, calls);
        QTRY_COMPARE_WITH_TIMEOUT(harness.column(1).at(0), status, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(harness.find<QPushButton>("mpButtonAdd")->isEnabled(), 30000);
    }

    // Enter opens the selected row's details; with no row selected it does nothing.
    void enterOpensTheSelectedJob()
    {
        WindowHarness harness;
        const QStringList files{harness.file("a.mlv"), harness.file("b.mlv")};
        harness.drop(files);
        auto* pTable = activeTable(harness);
        QVERIFY(pTable);
        QTest::keyClick(pTable, Qt::Key_Return);
        QVERIFY(harness.window().findChildren<JobDetailsDialog*>().isEmpty());
        pTable->selectRow(1);
        harness.find<QWidget>("mpCheckVerbose")->setProperty("checked", true);  // a rebuild keeps the selection
        QTest::keyClick(pTable, Qt::Key_Enter);
        const QList<JobDetailsDialog*> dialogs = harness.window().findChildren<JobDetailsDialog*>();
        QCOMPARE(dialogs.size(), 1);
        QCOMPARE(dialogs.first()->findChild<QLineEdit*>("mpEditSource")->text(), files[1]);
    }

    // Delete removes the selected row and selects the one that moves up; with no row selected it does nothing.
    void deleteRemovesTheSelectedJob()
    {
        WindowHarness harness;
        const QStringList files{harness.file("a.mlv"), harness.file("b.mlv"), harness.file("c.mlv")};
        harness.drop(files);
        auto* pTable = activeTable(harness);
        QVERIFY(pTable);
        QTest::keyClick(pTable, Qt::Key_Delete);
        QCOMPARE(harness.column(0), files);
        pTable->selectRow(1);
        QTest::keyClick(pTable, Qt::Key_Delete);
        QCOMPARE(harness.column(0), (QStringList{files[0], files[2]}));
        QTest::keyClick(pTable, Qt::Key_Delete);
        QCOMPARE(harness.column(0), QStringList{files[0]});
    }

private:
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

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
