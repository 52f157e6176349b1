// The window at rest: construction, the option controls and their enabling, choosers, About and exit.
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "testsettings.h"
#include "ui/mainwindow.h"
#include "windowharness.h"

namespace {

const QString kRed = QStringLiteral("QLineEdit { border: 2px solid red; }");
const QString kRedTable = QStringLiteral("QTableWidget { border: 2px solid red; }");

void Store(const QString& key, const QVariant& value)
{
    QSettings settings;
    settings.setValue(QStringLiteral("Global/") + key, value);
    settings.sync();
}

QVariant Stored(const QString& key)
{
    return QSettings().value(QStringLiteral("Global/") + key);
}

}  // namespace

class TestWindowOptions : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        mStorage.clear();
        QVERIFY(mFiles.isValid());
    }

    void constructionSetsTitleTableComboAndStatusBar()
    {
        WindowHarness harness;
        MainWindow& window = harness.window();
        QCOMPARE(window.windowTitle(), QStringLiteral("Korvalin 0.9.9.0 beta"));
        QVERIFY(window.acceptDrops());
        QVERIFY(window.statusBar());
        QVERIFY(window.statusBar()->objectName() != QStringLiteral("mpStatusBar"));

        const auto* pTable = harness.find<QTableWidget>("mpTable");
        QCOMPARE(pTable->columnCount(), 5);
        QCOMPARE(pTable->rowCount(), 0);
        QCOMPARE(pTable->selectionMode(), QAbstractItemView::NoSelection);
        QCOMPARE(pTable->selectionBehavior(), QAbstractItemView::SelectRows);
        const QStringList headers{"Source file", "Status", "Output", "Errors", "Command line"};
        for (int column = 0; column < 5; ++column)
            QCOMPARE(pTable->horizontalHeaderItem(column)->text(), headers.at(column));

        const auto* pCombo = harness.find<QComboBox>("mpComboChroma");
        QCOMPARE(pCombo->count(), 4);
        const QStringList labels{"None", "2x2", "3x3", "5x5"};
        const QStringList data{"no-cs", "cs2x2", "cs3x3", "cs5x5"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(pCombo->itemText(i), labels.at(i));
            QCOMPARE(pCombo->itemData(i, Qt::UserRole).toString(), data.at(i));
            QVERIFY(pCombo->itemIcon(i).isNull());
        }
    }

    void firstStartShowsTheDefaults()
    {
        WindowHarness harness;
        QCOMPARE(harness.find<QLineEdit>("mpEditExecutable")->text(), QString());
        QCOMPARE(harness.find<QLineEdit>("mpEditDestination")->text(), QStringLiteral("<into source directory>"));
        QVERIFY(!harness.find<QCheckBox>("mpCheckDestination")->isChecked());
        QCOMPARE(harness.find<QSpinBox>("mpSpinThreads")->value(), 1);
        QCOMPARE(harness.find<QComboBox>("mpComboChroma")->currentText(), QStringLiteral("None"));
        QVERIFY(harness.find<QCheckBox>("mpCheckColdPixels")->isChecked());
        QVERIFY(!harness.find<QCheckBox>("mpCheckMovingColdPixels")->isChecked());
        QVERIFY(harness.find<QCheckBox>("mpCheckVerticalStripes")->isChecked());
        QVERIFY(!harness.find<QCheckBox>("mpCheckRelaxed")->isChecked());
        QVERIFY(!harness.find<QCheckBox>("mpCheckVerbose")->isChecked());
        QCOMPARE(harness.find<QProgressBar>("mpProgress")->value(), 0);
        // Nothing to convert and no tool: both marked, Go blocked.
        QCOMPARE(harness.find<QLineEdit>("mpEditExecutable")->styleSheet(), kRed);
        QCOMPARE(harness.find<QTableWidget>("mpTable")->styleSheet(), kRedTable);
        QVERIFY(!harness.find<QPushButton>("mpButtonGo")->isEnabled());
    }

    void storedOptionsAreShown_data()
    {
        QTest::addColumn<QString>("storedChroma");
        QTest::addColumn<QString>("shownChroma");
        QTest::newRow("cs3x3") << "cs3x3" << "3x3";
        QTest::newRow("cs2x2") << "cs2x2" << "2x2";
        QTest::newRow("cs5x5") << "cs5x5" << "5x5";
        QTest::newRow("capitals") << "CS3X3" << "None";
        QTest::newRow("unknown") << "cs4x4" << "None";
    }

    void storedOptionsAreShown()
    {
        QFETCH(QString, storedChroma);
        QFETCH(QString, shownChroma);
        Store("ChromaSmoothing", storedChroma);
        Store("Executable", "/opt/ml/mlv_dump");
        Store("Destination", "/data/out");
        Store("CustomDestination", true);
        Store("Threads", 6);
        Store("FixColdPixels", false);
        Store("Verbose", true);
        WindowHarness harness;
        QCOMPARE(harness.find<QComboBox>("mpComboChroma")->currentText(), shownChroma);
        QCOMPARE(harness.find<QLineEdit>("mpEditExecutable")->text(), QStringLiteral("/opt/ml/mlv_dump"));
        QCOMPARE(harness.find<QLineEdit>("mpEditDestination")->text(), QStringLiteral("/data/out"));
        QVERIFY(harness.find<QCheckBox>("mpCheckDestination")->isChecked());
        QCOMPARE(harness.find<QSpinBox>("mpSpinThreads")->value(), 6);
        QVERIFY(!harness.find<QCheckBox>("mpCheckColdPixels")->isChecked());
        QVERIFY(harness.find<QCheckBox>("mpCheckVerbose")->isChecked());
        QCOMPARE(harness.find<QLineEdit>("mpEditExecutable")->styleSheet(), QString());
    }

    // Idle enabling: Go needs jobs, a tool and, with a custom destination, a destination.
    void idleEnablingAndRedBorders()
    {
        WindowHarness harness;
        auto* pGo = harness.find<QPushButton>("mpButtonGo");
        auto* pClear = harness.find<QPushButton>("mpButtonClear");
        auto* pExecutable = harness.find<QLineEdit>("mpEditExecutable");
        auto* pDestination = harness.find<QLineEdit>("mpEditDestination");
        auto* pCustom = harness.find<QCheckBox>("mpCheckDestination");
        auto* pTable = harness.find<QTableWidget>("mpTable");

        QVERIFY(!pClear->isEnabled());
        QVERIFY(!harness.find<QPushButton>("mpButtonStop")->isEnabled());
        QVERIFY(!pDestination->isEnabled());
        QVERIFY(!harness.find<QPushButton>("mpButtonDestination")->isEnabled());
        for (const char* name : {"mpButtonAdd", "mpButtonExecutable", "mpButtonOne", "mpButtonQuarter",
                                 "mpButtonHalf", "mpButtonAll", "mpButtonAbout"})
            QVERIFY2(harness.find<QPushButton>(name)->isEnabled(), name);
        for (const char* name : {"mpCheckColdPixels", "mpCheckMovingColdPixels", "mpCheckVerticalStripes",
                                 "mpCheckRelaxed", "mpCheckVerbose", "mpCheckDestination"})
            QVERIFY2(harness.find<QCheckBox>(name)->isEnabled(), name);
        QVERIFY(harness.find<QLabel>("mpLabelDnD")->isEnabled());
        QVERIFY(pTable->isEnabled());

        // A blank counts as a given path; only emptiness is tested.
        QTest::keyClicks(pExecutable, " ");
        QCOMPARE(pExecutable->styleSheet(), QString());
        QVERIFY(!pGo->isEnabled());  // still no jobs

        harness.dropPaths({makeClip("a.mlv")});
        QCOMPARE(pTable->styleSheet(), QString());
        QVERIFY(pGo->isEnabled());
        QVERIFY(pClear->isEnabled());

        QTest::keyClick(pExecutable, Qt::Key_Backspace);
        QCOMPARE(pExecutable->styleSheet(), kRed);
        QVERIFY(!pGo->isEnabled());
        QTest::keyClicks(pExecutable, "/no/such/tool");
        QVERIFY(pGo->isEnabled());

        pCustom->click();
        QVERIFY(pDestination->isEnabled());
        QVERIFY(harness.find<QPushButton>("mpButtonDestination")->isEnabled());
        QCOMPARE(pDestination->text(), QString());
        QCOMPARE(pDestination->styleSheet(), kRed);
        QVERIFY(!pGo->isEnabled());
        QTest::keyClicks(pDestination, "/no/such/dir");
        QCOMPARE(pDestination->styleSheet(), QString());
        QVERIFY(pGo->isEnabled());

        // Off again: the typed destination is kept but not shown, and no longer required.
        pCustom->click();
        QCOMPARE(pDestination->text(), QStringLiteral("<into source directory>"));
        QVERIFY(!pDestination->isEnabled());
        pCustom->click();
        QCOMPARE(pDestination->text(), QStringLiteral("/no/such/dir"));
        QTest::keyClick(pDestination, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(pDestination, Qt::Key_Delete);
        QVERIFY(!pGo->isEnabled());
        pCustom->click();
        QCOMPARE(pDestination->styleSheet(), QString());
        QVERIFY(pGo->isEnabled());

        pClear->click();
        QCOMPARE(pTable->rowCount(), 0);
        QCOMPARE(pTable->styleSheet(), kRedTable);
        QVERIFY(!pGo->isEnabled());
        QVERIFY(!pClear->isEnabled());
    }

    // Showing the record must never pass through the option slots.
    void refreshControlsRunsNoOptionSlot()
    {
        WindowHarness harness;
        auto* pVerbose = harness.find<QCheckBox>("mpCheckVerbose");
        auto* pCold = harness.find<QCheckBox>("mpCheckColdPixels");
        auto* pCustom = harness.find<QCheckBox>("mpCheckDestination");
        auto* pExecutable = harness.find<QLineEdit>("mpEditExecutable");
        auto* pDestination = harness.find<QLineEdit>("mpEditDestination");
        auto* pSpin = harness.find<QSpinBox>("mpSpinThreads");
        auto* pCombo = harness.find<QComboBox>("mpComboChroma");

        // Make every control disagree with the record, behind the window's back.
        for (QObject* pControl : std::initializer_list<QObject*>{pVerbose, pCold, pExecutable, pDestination, pCombo})
            pControl->blockSignals(true);
        pVerbose->setChecked(true);
        pCold->setChecked(false);
        pExecutable->setText(QStringLiteral("stale"));
        pDestination->setText(QStringLiteral("stale"));
        pCombo->setCurrentIndex(3);
        for (QObject* pControl : std::initializer_list<QObject*>{pVerbose, pCold, pExecutable, pDestination, pCombo})
            pControl->blockSignals(false);

        QSignalSpy verboseSpy(pVerbose, &QCheckBox::stateChanged);
        QSignalSpy coldSpy(pCold, &QCheckBox::stateChanged);
        QSignalSpy executableSpy(pExecutable, &QLineEdit::textChanged);
        QSignalSpy destinationSpy(pDestination, &QLineEdit::textChanged);
        QSignalSpy comboSpy(pCombo, QOverload<int>::of(&QComboBox::currentIndexChanged));
        QSignalSpy spinSpy(pSpin, QOverload<int>::of(&QSpinBox::valueChanged));

        harness.idealThreadCount = 12;
        harness.find<QPushButton>("mpButtonHalf")->click();  // sets threads and refreshes every control

        QVERIFY(!pVerbose->isChecked());
        QVERIFY(pCold->isChecked());
        QCOMPARE(pExecutable->text(), QString());
        QCOMPARE(pDestination->text(), QStringLiteral("<into source directory>"));
        QCOMPARE(pCombo->currentIndex(), 0);
        QCOMPARE(pSpin->value(), 6);
        QCOMPARE(verboseSpy.count() + coldSpy.count() + executableSpy.count() + destinationSpy.count() +
                     comboSpy.count() + spinSpy.count(),
                 0);
        QVERIFY(!pCustom->signalsBlocked());
        QVERIFY(!pSpin->signalsBlocked());

        // The placeholder never became the destination: turning the option on shows an empty field.
        pCustom->click();
        QCOMPARE(pDestination->text(), QString());
    }

    void optionSlotsChangeTheRecord()
    {
        WindowHarness harness;
        harness.find<QCheckBox>("mpCheckColdPixels")->click();
        harness.find<QCheckBox>("mpCheckMovingColdPixels")->click();
        harness.find<QCheckBox>("mpCheckVerticalStripes")->click();
        harness.find<QCheckBox>("mpCheckRelaxed")->click();
        harness.find<QCheckBox>("mpCheckVerbose")->click();
        harness.find<QCheckBox>("mpCheckDestination")->click();
        QTest::keyClicks(harness.find<QLineEdit>("mpEditDestination"), "/out");
        QTest::keyClicks(harness.find<QLineEdit>("mpEditExecutable"), "/bin/tool");
        harness.find<QComboBox>("mpComboChroma")->setCurrentIndex(2);
        auto* pSpin = harness.find<QSpinBox>("mpSpinThreads");
        pSpin->selectAll();
        QTest::keyClicks(pSpin, "17");
        QCOMPARE(pSpin->value(), 17);

        // A partial state is not "on".
        auto* pVerbose = harness.find<QCheckBox>("mpCheckVerbose");
        pVerbose->setTristate(true);
        pVerbose->setCheckState(Qt::PartiallyChecked);
        QVERIFY(!pVerbose->isChecked());
        QCOMPARE(pVerbose->checkState(), Qt::Unchecked);

        QVERIFY(!QSettings().contains(QStringLiteral("Global/Executable")));  // nothing saved before exit
        harness.questionAnswer = QMessageBox::Yes;
        harness.window().close();
        QCOMPARE(harness.exitCodes, QList<int>{0});
        QCOMPARE(Stored("FixColdPixels").toBool(), false);
        QCOMPARE(Stored("FixMovingColdPixels").toBool(), true);
        QCOMPARE(Stored("FixVerticalStripes").toBool(), false);
        QCOMPARE(Stored("SkipErrors").toBool(), true);
        QCOMPARE(Stored("Verbose").toBool(), false);
        QCOMPARE(Stored("CustomDestination").toBool(), true);
        QCOMPARE(Stored("Destination").toString(), QStringLiteral("/out"));
        QCOMPARE(Stored("Executable").toString(), QStringLiteral("/bin/tool"));
        QCOMPARE(Stored("ChromaSmoothing").toString(), QStringLiteral("cs3x3"));
        QCOMPARE(Stored("Threads").toInt(), 17);
    }

    // Typing in the middle keeps the cursor where it is: the field is not rewritten behind the user.
    void textSlotsDoNotRewriteTheField()
    {
        WindowHarness harness;
        auto* pExecutable = harness.find<QLineEdit>("mpEditExecutable");
        QTest::keyClicks(pExecutable, "abc");
        pExecutable->setCursorPosition(1);
        QTest::keyClicks(pExecutable, "X");
        QCOMPARE(pExecutable->text(), QStringLiteral("aXbc"));
        QCOMPARE(pExecutable->cursorPosition(), 2);

        harness.find<QCheckBox>("mpCheckDestination")->click();
        auto* pDestination = harness.find<QLineEdit>("mpEditDestination");
        QTest::keyClicks(pDestination, "/dst");
        pDestination->setCursorPosition(0);
        QTest::keyClicks(pDestination, "Y");
        QCOMPARE(pDestination->text(), QStringLiteral("Y/dst"));
        QCOMPARE(pDestination->cursorPosition(), 1);
    }

    void threadPresets_data()
    {
        QTest::addColumn<int>("ideal");
        QTest::addColumn<int>("quarter");
        QTest::addColumn<int>("half");
        QTest::addColumn<int>("all");
        QTest::newRow("2") << 2 << 1 << 1 << 2;
        QTest::newRow("6") << 6 << 1 << 3 << 6;
        QTest::newRow("8") << 8 << 2 << 4 << 8;
        QTest::newRow("12") << 12 << 3 << 6 << 12;
        QTest::newRow("unknown count") << -1 << 1 << 1 << 1;
        QTest::newRow("above the spin box") << 600 << 128 << 128 << 128;
    }

    void threadPresets()
    {
        QFETCH(int, ideal);
        QFETCH(int, quarter);
        QFETCH(int, half);
        QFETCH(int, all);
        WindowHarness harness;
        harness.idealThreadCount = ideal;
        auto* pSpin = harness.find<QSpinBox>("mpSpinThreads");
        harness.find<QPushButton>("mpButtonQuarter")->click();
        QCOMPARE(pSpin->value(), quarter);
        harness.find<QPushButton>("mpButtonHalf")->click();
        QCOMPARE(pSpin->value(), half);
        harness.find<QPushButton>("mpButtonAll")->click();
        QCOMPARE(pSpin->value(), all);
        harness.find<QPushButton>("mpButtonOne")->click();
        QCOMPARE(pSpin->value(), 1);
    }

    void executableChooser()
    {
        WindowHarness harness;
        auto* pButton = harness.find<QPushButton>("mpButtonExecutable");
        auto* pEdit = harness.find<QLineEdit>("mpEditExecutable");
        QTest::keyClicks(pEdit, "/first");

        pButton->click();  // cancelled
        QCOMPARE(harness.calls.size(), 1);
        QCOMPARE(harness.calls.at(0).kind, QStringLiteral("file"));
        QCOMPARE(harness.calls.at(0).caption, QStringLiteral("Choose mlv_dump.exe"));
        QCOMPARE(harness.calls.at(0).start, QStringLiteral("/first"));
#ifdef Q_OS_WIN
        QCOMPARE(harness.calls.at(0).filter, QStringLiteral("Executables (*.exe)"));
#else
        QCOMPARE(harness.calls.at(0).filter, QStringLiteral("Executables (*)"));
#endif
        QCOMPARE(pEdit->text(), QStringLiteral("/first"));

        QTest::keyClick(pEdit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(pEdit, Qt::Key_Delete);
        QCOMPARE(pEdit->styleSheet(), kRed);
        harness.openFileNameAnswer = QStringLiteral("/opt/ml/mlv_dump");
        pButton->click();
        QCOMPARE(harness.calls.at(1).start, QString());
        QCOMPARE(pEdit->text(), QStringLiteral("/opt/ml/mlv_dump"));
        QCOMPARE(pEdit->styleSheet(), QString());
    }

    void destinationChooser()
    {
        WindowHarness harness;
        harness.find<QCheckBox>("mpCheckDestination")->click();
        auto* pButton = harness.find<QPushButton>("mpButtonDestination");
        auto* pEdit = harness.find<QLineEdit>("mpEditDestination");

        pButton->click();  // cancelled
        QCOMPARE(harness.calls.size(), 1);
        QCOMPARE(harness.calls.at(0).kind, QStringLiteral("directory"));
        QCOMPARE(harness.calls.at(0).caption, QStringLiteral("Choose common destination directory"));
        QCOMPARE(harness.calls.at(0).start, QString());
        QCOMPARE(pEdit->text(), QString());
        QCOMPARE(pEdit->styleSheet(), kRed);

        harness.directoryAnswer = QStringLiteral("/data/dng");
        pButton->click();
        QCOMPARE(pEdit->text(), QStringLiteral("/data/dng"));
        QCOMPARE(pEdit->styleSheet(), QString());
        harness.directoryAnswer.clear();
        pButton->click();
        QCOMPARE(harness.calls.at(2).start, QStringLiteral("/data/dng"));
        QCOMPARE(pEdit->text(), QStringLiteral("/data/dng"));
    }

    void aboutTextLineByLine()
    {
        WindowHarness harness;
        harness.find<QPushButton>("mpButtonAbout")->click();
        QCOMPARE(harness.calls.size(), 1);
        QCOMPARE(harness.calls.at(0).kind, QStringLiteral("information"));
        QCOMPARE(harness.calls.at(0).caption, QStringLiteral("About the software"));
        const QStringList lines = harness.calls.at(0).start.split(QLatin1Char('\n'));
        const QStringList expected{
            "Korvalin 0.9.9.0 beta",
            "",
            "by the Korvalin developers (Veltrano) 2018",
            "Contact: korvalin@veltrano.example",
            "",
            "Released under the MIT License; see the LICENSE file.",
            "",
            "It converts .MLV files into .DNG sequences using Magic Lantern's mlv_dump.exe.",
            "You can specify your preferred mlv_dump executable, collect all resulting sequences in a single "
            "folder and do some corrections. You can use multithreading to increase performance (only noticable "
            "when working with compressed raw).",
            "",
            "",
            "Thanks to the Magic Lantern team for such a great tool set!",
            "",
            "The software settings are global. List entries cannot be configured individually.",
            "",
            "BE CAREFUL when using multithreading with traditional harddisks - the resulting file fragmentation "
            "may be a performance killer."};
        QCOMPARE(lines.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(lines.at(i), expected.at(i));
        QCOMPARE(lines.first(), harness.window().windowTitle());
    }

    // The box the user really sees: a modal information box, dismissed here by its Ok button.
    void aboutUsesTheRealMessageBox()
    {
        MainWindow window;
        QString seenTitle;
        QString seenText;
        QTimer::singleShot(0, [&] { dismissModal(&seenTitle, &seenText, QMessageBox::AcceptRole); });
        window.findChild<QPushButton*>(QStringLiteral("mpButtonAbout"))->click();
        QCOMPARE(seenTitle, QStringLiteral("About the software"));
        QVERIFY(seenText.startsWith(QStringLiteral("Korvalin 0.9.9.0 beta\n\nby the Korvalin developers")));
        QVERIFY(seenText.endsWith(QStringLiteral("may be a performance killer.")));
    }

    void closeAnsweredNoSavesNothing()
    {
        WindowHarness harness;
        QTest::keyClicks(harness.find<QLineEdit>("mpEditExecutable"), "/bin/tool");
        harness.questionAnswer = QMessageBox::No;
        harness.window().close();
        QCOMPARE(harness.calls.size(), 1);
        QCOMPARE(harness.calls.at(0).kind, QStringLiteral("question"));
        QCOMPARE(harness.calls.at(0).caption, QStringLiteral("Exit program?"));
        QCOMPARE(harness.calls.at(0).start, QStringLiteral("Do you want to exit the program?"));
        QVERIFY(harness.exitCodes.isEmpty());
        QVERIFY(!QSettings().contains(QStringLiteral("Global/Executable")));
    }

    // Kept last: QCoreApplication::exit leaves this thread unable to run nested event loops.
    void closeAnsweredYesExitsTheEventLoopWithZero()
    {
        MainWindow window;
        window.show();
        QTest::keyClicks(window.findChild<QLineEdit*>(QStringLiteral("mpEditExecutable")), "/usr/bin/mlv_dump");
        QString seenTitle;
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(0, [&] { dismissModal(&seenTitle, nullptr, QMessageBox::YesRole); });
            window.close();
        });
        QEventLoop loop;
        QTimer::singleShot(20000, &loop, [&loop] { loop.exit(99); });
        QCOMPARE(loop.exec(), 0);
        QCOMPARE(seenTitle, QStringLiteral("Exit program?"));
        QVERIFY(window.isVisible());  // the close event itself was refused
        QCOMPARE(Stored("Executable").toString(), QStringLiteral("/usr/bin/mlv_dump"));
        QCOMPARE(Stored("Threads").toInt(), 1);
        QCOMPARE(Stored("ChromaSmoothing").toString(), QStringLiteral("no-cs"));
    }

private:
    QString makeClip(const QString& name)
    {
        const QString path = mFiles.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("MLVI");
        return path;
    }

    // Finds the modal box on screen, reports its title and text, and presses the button with the role.
    static void dismissModal(QString* pTitle, QString* pText, QMessageBox::ButtonRole role)
    {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!pBox) {
            QTimer::singleShot(10, [=] { dismissModal(pTitle, pText, role); });
            return;
        }
        *pTitle = pBox->windowTitle();
        if (pText)
            *pText = pBox->text();
        for (QAbstractButton* pButton : pBox->buttons()) {
            if (pBox->buttonRole(pButton) == role) {
                pButton->click();
                return;
            }
        }
    }

    TestSettings mStorage;
    QTemporaryDir mFiles;
};

QTEST_MAIN(TestWindowOptions)
#include "tst_windowoptions.moc"
