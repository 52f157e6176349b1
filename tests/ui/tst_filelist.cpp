// Building the job list: the Add dialog, drops of every kind, duplicates and Clear.
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "testsettings.h"
#include "windowharness.h"

class TestFileList : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        mStorage.clear();
        mFiles = std::make_unique<QTemporaryDir>();
        QVERIFY(mFiles->isValid());
    }

    void dropAddsOnlyExistingMlvFilesInDropOrder()
    {
        const QString first = makeFile("b.mlv");
        const QString upper = makeFile("A001.MLV");
        const QString text = makeFile("notes.txt");
        const QString longer = makeFile("c.mlv.bak");
        const QString blank = makeFile("d.mlv ");
        const QString shorter = makeFile("e.ml");
        const QString missing = mFiles->filePath("missing.mlv");

        WindowHarness harness;
        harness.dropPaths({first, text, missing, QStringLiteral("https://example.com/clip.mlv"), upper, longer,
                           blank, shorter, first});
        QCOMPARE(harness.column(0), (QStringList{first, upper}));
        QCOMPARE(harness.column(1), (QStringList{"Ready", "Ready"}));

        // A second drop appends behind and still skips what is there already.
        const QString later = makeFile("z.mlv");
        harness.dropPaths({upper, later});
        QCOMPARE(harness.column(0), (QStringList{first, upper, later}));
        QVERIFY(harness.find<QPushButton>("mpButtonClear")->isEnabled());
    }

    // The scheduler reports cleaned paths, so two spellings of one file are one job.
    void pathsAreKeptCleaned()
    {
        const QString clip = makeFile("clip.mlv");
        const QString doubled = mFiles->path() + QStringLiteral("//clip.mlv");
        const QString dotted = mFiles->path() + QStringLiteral("/./sub/../clip.mlv");
        QDir(mFiles->path()).mkdir(QStringLiteral("sub"));

        WindowHarness harness;
        harness.openFileNamesAnswer = QStringList{doubled, dotted, clip};
        harness.find<QPushButton>("mpButtonAdd")->click();
        QCOMPARE(harness.column(0), QStringList{QDir::cleanPath(clip)});
    }

    void otherLetterCaseIsAnotherFile()
    {
        const QString lower = makeFile("take.mlv");
        const QString upper = makeFile("TAKE.mlv");
        WindowHarness harness;
        harness.dropPaths({lower, upper});
        QCOMPARE(harness.column(0), (QStringList{lower, upper}));
    }

    void dropWithoutUrlsChangesAndRefreshesNothing()
    {
        const QString clip = makeFile("a.mlv");
        WindowHarness harness;
        harness.dropPaths({clip});
        auto* pTable = harness.find<QTableWidget>("mpTable");
        const QTableWidgetItem* pBefore = pTable->item(0, 0);

        QMimeData text;
        text.setText(clip);
        harness.drop(&text);
        QCOMPARE(pTable->item(0, 0), pBefore);  // not rebuilt
        QCOMPARE(harness.column(0), QStringList{clip});

        // An empty URL list is still a drop with URLs: nothing added, but the table is rebuilt.
        QMimeData none;
        none.setUrls({});
        harness.drop(&none);
        QCOMPARE(harness.column(0), QStringList{clip});
    }

    void dropIsNotAcceptedAndNeverMovesTheDialogDirectory()
    {
        const QString clip = makeFile("a.mlv");
        WindowHarness harness;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(clip)});
        QVERIFY(!harness.drop(&data));
        QCOMPARE(harness.column(0), QStringList{clip});

        harness.find<QPushButton>("mpButtonAdd")->click();
        QCOMPARE(harness.calls.last().start, QString());
    }

    void addDialogAnsweredAndCancelled()
    {
        const QString a = makeFile("a.mlv");
        const QString b = makeFile("b.MLV");
        QDir(mFiles->path()).mkdir(QStringLiteral("other"));
        const QString elsewhere = makeFile("other/readme.txt");

        WindowHarness harness;
        auto* pAdd = harness.find<QPushButton>("mpButtonAdd");
        pAdd->click();  // cancelled: nothing, not even the remembered directory
        QCOMPARE(harness.calls.size(), 1);
        QCOMPARE(harness.calls.at(0).kind, QStringLiteral("files"));
        QCOMPARE(harness.calls.at(0).caption, QStringLiteral("Choose MLV files"));
        QCOMPARE(harness.calls.at(0).start, QString());
        QCOMPARE(harness.calls.at(0).filter, QStringLiteral("MLV files (*.mlv)"));
        QCOMPARE(harness.find<QTableWidget>("mpTable")->rowCount(), 0);

        harness.openFileNamesAnswer = QStringList{a, b, a};
        pAdd->click();
        QCOMPARE(harness.column(0), (QStringList{a, b}));

        // Nothing acceptable, yet the next dialog opens where the first chosen file lies.
        harness.openFileNamesAnswer = QStringList{elsewhere};
        pAdd->click();
        QCOMPARE(harness.column(0), (QStringList{a, b}));
        harness.openFileNamesAnswer.clear();
        pAdd->click();
        QCOMPARE(harness.calls.at(3).start, mFiles->filePath("other"));
        pAdd->click();
        QCOMPARE(harness.calls.at(4).start, mFiles->filePath("other"));
    }

    void clearEmptiesTheList()
    {
        WindowHarness harness;
        harness.dropPaths({makeFile("a.mlv"), makeFile("b.mlv"), makeFile("c.mlv")});
        QCOMPARE(harness.column(0).size(), 3);
        harness.find<QPushButton>("mpButtonClear")->click();
        QCOMPARE(harness.find<QTableWidget>("mpTable")->rowCount(), 0);
        QCOMPARE(harness.find<QTableWidget>("mpTable")->styleSheet(),
                 QStringLiteral("QTableWidget { border: 2px solid red; }"));
        QVERIFY(!harness.find<QPushButton>("mpButtonClear")->isEnabled());
        QVERIFY(!harness.find<QPushButton>("mpButtonGo")->isEnabled());
        // Cleared files can be added again.
        harness.dropPaths({mFiles->filePath("b.mlv")});
        QCOMPARE(harness.column(0), QStringList{mFiles->filePath("b.mlv")});
    }

private:
    QString makeFile(const QString& name)
    {
        const QString path = mFiles->filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("MLVI....");
        return path;
    }

    TestSettings mStorage;
    std::unique_ptr<QTemporaryDir> mFiles;
};

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
