// The window at rest: construction, the option controls and their enabling, choosers, About and exit.
#include <tuple>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include "engine/bundledconverter.h"
#include "testsettings.h"
#include "windowharness.h"

namespace {

const QString kDefaults = QStringLiteral("|1|None|true|false|false|true|false|false|false|<into source directory>");

}  // namespace

class TestWindowOptions : public QObject
{
    Q_OBJECT

private slots:
    void init() { mStorage.clear(); }

    // The form's object names are the window's interface: its slots are wired to them by name. About names the
    // program, and the thread presets follow the ideal count.
    void firstStart()
    {
        WindowHarness harness;
        QCOMPARE(harness.window().windowTitle() + harness.window().objectName(), "Korvalin 0.9.9.0 betaMainWindow");
        QVERIFY(harness.window().acceptDrops());
        QCOMPARE(harness.options(), kDefaults);
        // Nothing to convert and no tool: both marked, Go blocked.
        QCOMPARE(harness.marked(), (QStringList{"mpTable", "mpEditExecutable"}));
        QCOMPARE(harness.controls(false), (QStringList{"mpButtonClear", "mpEditDestination", "mpButtonDestination",
                                                       "mpButtonStop", "mpButtonGo"}));
        // About: the program's name and version head the text; the rest is prose.
        harness.find<QPushButton>("mpButtonAbout")->click();
        QCOMPARE(harness.calls.size(), 1);
        QVERIFY2(harness.calls.first().startsWith("information|About the software|Korvalin 0.9.9.0 beta\n\nby the "),
                 qPrintable(harness.calls.first()));
        // The thread presets: the ideal count, then the spin box after 1/4, 1/2, All and 1.
        for (const QList<int>& expected :
             QList<QList<int>>{{2, 1, 1, 2, 1}, {12, 3, 6, 12, 1}, {-1, 1, 1, 1, 1}, {600, 128, 128, 128, 1}}) {
            harness.idealThreadCount = expected.first();
            QList<int> shown{expected.first()};
            for (const char* name : {"mpButtonQuarter", "mpButtonHalf", "mpButtonAll", "mpButtonOne"}) {
                harness.find<QPushButton>(name)->click();
                shown << harness.find<QSpinBox>("mpSpinThreads")->value();
            }
            QCOMPARE(shown, expected);
        }
    }

    // A first start offers the converter beside the program; any stored executable, even an empty one, wins.
    void firstStartOffersTheBundledConverter()
    {
        const QVariant nothing;
        for (const auto& [stored, beside, offered] : {std::tuple(nothing, true, true),
                                                      {nothing, false, false},
                                                      {QString(), true, false},
                                                      {"/opt/ml/mlv_dump", true, false}}) {
            mStorage.clear();
            if (stored.isValid())
                QSettings().setValue("Global/Executable", stored);
            QTemporaryDir program;
            const QString converter = program.filePath(BundledConverter::FileName());
            QVERIFY(!beside || QFile(converter).open(QIODevice::WriteOnly));
            WindowHarness harness(BundledConverter::FindIn(program.path()));
            const QString shown = harness.find<QLineEdit>("mpEditExecutable")->text();
            QCOMPARE(shown, offered ? converter : stored.toString());
            QCOMPARE(harness.marked().contains("mpEditExecutable"), shown.isEmpty());
        }
    }

    // Go needs jobs, a tool and, with a custom destination, a destination; only emptiness counts.
    void idleEnablingAndRedBorders()
    {
        WindowHarness harness;
        auto* pExecutable = harness.find<QLineEdit>("mpEditExecutable");
        auto* pDestination = harness.find<QLineEdit>("mpEditDestination");
        auto* pCustom = harness.find<QCheckBox>("mpCheckDestination");
        QTest::keyClicks(pExecutable, " ");
        harness.drop({harness.file("a.mlv")});
        QCOMPARE(harness.marked(), QStringList());
        QCOMPARE(harness.controls(false), (QStringList{"mpEditDestination", "mpButtonDestination", "mpButtonStop"}));
        QTest::keyClick(pExecutable, Qt::Key_Backspace);
        QCOMPARE(harness.marked() + harness.controls(false).mid(3), (QStringList{"mpEditExecutable", "mpButtonGo"}));

        QTest::keyClicks(pExecutable, "/no/such/tool");
        pCustom->click();
        QCOMPARE(harness.marked() + harness.controls(false),
                 (QStringList{"mpEditDestination", "mpButtonStop", "mpButtonGo"}));
        QTest::keyClicks(pDestination, "/no/such/dir");
        QCOMPARE(harness.controls(false), QStringList{"mpButtonStop"});
        // Typing in the middle keeps the cursor where it is: the field is not rewritten behind the user.
        for (QLineEdit* pEdit : {pExecutable, pDestination}) {
            pEdit->setCursorPosition(1);
            QTest::keyClicks(pEdit, "X");
            QCOMPARE(pEdit->text().left(4) + QString::number(pEdit->cursorPosition()), QStringLiteral("/Xno2"));
        }
        // Off again: the typed destination is kept but not shown, and no longer required.
        pCustom->click();
        QCOMPARE(pDestination->text(), QStringLiteral("<into source directory>"));
        QCOMPARE(harness.controls(false), (QStringList{"mpEditDestination", "mpButtonDestination", "mpButtonStop"}));
        pCustom->click();
        QCOMPARE(pDestination->text(), QStringLiteral("/Xno/such/dir"));
    }

    // Showing the record must never pass through the option slots.
    void refreshControlsRunsNoOptionSlot()
    {
        WindowHarness harness;
        const auto controls = harness.window().centralWidget()->findChildren<QWidget*>(QRegularExpression("^mp"));
        // Make the controls disagree with the record, behind the window's back.
        for (QWidget* pControl : controls)
            pControl->blockSignals(true);
        harness.find<QCheckBox>("mpCheckVerbose")->setChecked(true);
        harness.find<QCheckBox>("mpCheckColdPixels")->setChecked(false);
        harness.find<QLineEdit>("mpEditExecutable")->setText(QStringLiteral("stale"));
        harness.find<QLineEdit>("mpEditDestination")->setText(QStringLiteral("stale"));
        harness.find<QComboBox>("mpComboChroma")->setCurrentIndex(3);
        QList<std::shared_ptr<QSignalSpy>> spies;
        for (QWidget* pControl : controls) {
            pControl->blockSignals(false);
            for (const char* signal : {SIGNAL(stateChanged(int)), SIGNAL(textChanged(QString)),
                                       SIGNAL(currentIndexChanged(int)), SIGNAL(valueChanged(int))})
                if (pControl->metaObject()->indexOfSignal(signal + 1) >= 0)
                    spies << std::make_shared<QSignalSpy>(pControl, signal);
        }
        QCOMPARE(spies.size(), 13);

        harness.idealThreadCount = 12;
        harness.find<QPushButton>("mpButtonHalf")->click();  // sets threads and refreshes every control
        QCOMPARE(harness.options(), QString(kDefaults).replace("|1|", "|6|"));
        for (const auto& pSpy : spies)
            QCOMPARE(pSpy->count(), 0);
        // The placeholder never became the destination: turning the option on shows an empty field.
        harness.find<QCheckBox>("mpCheckDestination")->click();
        QCOMPARE(harness.find<QLineEdit>("mpEditDestination")->text(), QString());
    }

    // A cancelled chooser changes nothing; an answer replaces the field.
    void choosers()
    {
        WindowHarness harness;
        auto* pExecutable = harness.find<QLineEdit>("mpEditExecutable");
        auto* pDestination = harness.find<QLineEdit>("mpEditDestination");
        pExecutable->setText(QStringLiteral("/first"));
        harness.find<QCheckBox>("mpCheckDestination")->click();
        for (const QString& answer : {QString(), QStringLiteral("/opt/ml/mlv_dump")}) {
            harness.chosenFile = answer;
            harness.chosenFolder = answer.isEmpty() ? answer : QStringLiteral("/data/dng");
            harness.find<QPushButton>("mpButtonExecutable")->click();
            harness.find<QPushButton>("mpButtonDestination")->click();
        }
        QCOMPARE(pExecutable->text() + ' ' + pDestination->text(), "/opt/ml/mlv_dump /data/dng");
        QCOMPARE(harness.marked(), QStringList{"mpTable"});
        const QString file = QStringLiteral("file|Choose mlv_dump.exe|/first|Executables (*)");
        const QString directory = QStringLiteral("directory|Choose common destination directory|");
        QCOMPARE(harness.calls, (QStringList{file, directory, file, directory}));
    }

    // No keeps the window and saves nothing; the real question box, answered Yes, saves every option and the
    // window's place, and ends the event loop with 0; the next start shows what was saved. Kept last: after
    // QCoreApplication::exit this thread runs no nested event loops.
    void closeSavesOnlyOnYes()
    {
        WindowHarness harness;
        for (const char* name : {"mpCheckColdPixels", "mpCheckMovingColdPixels", "mpCheckVerticalStripes",
                                 "mpCheckRelaxed", "mpCheckVerbose", "mpCheckCompress", "mpCheckDestination"})
            harness.find<QCheckBox>(name)->click();
        QTest::keyClicks(harness.find<QLineEdit>("mpEditDestination"), "/out");
        QTest::keyClicks(harness.find<QLineEdit>("mpEditExecutable"), "/bin/tool");
        harness.find<QComboBox>("mpComboChroma")->setCurrentIndex(2);
        harness.find<QSpinBox>("mpSpinThreads")->selectAll();
        QTest::keyClicks(harness.find<QSpinBox>("mpSpinThreads"), "17");
        // A partial state is not "on".
        harness.find<QCheckBox>("mpCheckVerbose")->setTristate(true);
        harness.find<QCheckBox>("mpCheckVerbose")->setCheckState(Qt::PartiallyChecked);
        QCOMPARE(harness.find<QCheckBox>("mpCheckVerbose")->checkState(), Qt::Unchecked);

        harness.window().close();
        QCOMPARE(harness.calls, QStringList{"question|Exit program?|Do you want to exit the program?"});
        QVERIFY(harness.exitCodes.isEmpty());
        QVERIFY(QSettings().allKeys().isEmpty());

        harness.window().SetDialogs(WindowDialogs::Standard());
        harness.window().show();
        harness.window().move(40, 50);
        const QRect placed = harness.window().geometry();
        QString title;
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(0, [&] { pressYes(&title); });
            harness.window().close();
        });
        QEventLoop loop;
        QTimer::singleShot(20000, &loop, [&loop] { loop.exit(99); });
        QCOMPARE(loop.exec(), 0);
        QCOMPARE(title, QStringLiteral("Exit program?"));
        QVERIFY(harness.window().isVisible());  // the close event itself was refused
        QStringList stored;
        for (const char* key :
             {"FixColdPixels", "FixMovingColdPixels", "FixVerticalStripes", "SkipErrors", "Verbose", "CompressDng",
              "CustomDestination", "Destination", "Executable", "ChromaSmoothing", "Threads"})
            stored << QSettings().value(QStringLiteral("Global/") + key).toString();
        QCOMPARE(stored.join(' '), QStringLiteral("false true false true false true true /out /bin/tool cs3x3 17"));
        QCOMPARE(QSettings().childGroups(), (QStringList{"Global", "Window"}));
        // The next start shows them all, and its window takes the same place.
        WindowHarness next;
        QCOMPARE(next.options(), QStringLiteral("/bin/tool|17|3x3|false|true|true|false|false|true|true|/out"));
        QCOMPARE(next.marked(), QStringList{"mpTable"});
        QCOMPARE(next.window().geometry(), placed);
    }

private:
    // Waits for the modal box, notes its title and presses its Yes button.
    static void pressYes(QString* pTitle)
    {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!pBox)
            return QTimer::singleShot(10, [=] { pressYes(pTitle); });
        *pTitle = pBox->windowTitle();
        pBox->button(QMessageBox::Yes)->click();
    }

    TestSettings mStorage;
};

QTEST_MAIN(TestWindowOptions)
#include "tst_windowoptions.moc"
