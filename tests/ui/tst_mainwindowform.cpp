#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>
#include <QtTest>

#include "testsettings.h"
#include "ui/mainwindow.h"

// The form's object names are the window's interface: its slots are wired to them by name.
class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void widgetsCarryTheirNamesAndTexts()
    {
        const MainWindow window;
        QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
        const QList<QPair<const char*, const char*>> texts{
            {"mpButtonAdd", "Add files"}, {"mpLabelDnD", "Drag and drop is also possible."},
            {"mpButtonClear", "Clear list"}, {"mpLabelExecutable", "mlv_dump executable"},
            {"mpButtonExecutable", "..."}, {"mpLabelThreads", "Threads"}, {"mpButtonOne", "1"},
            {"mpButtonQuarter", "1/4"}, {"mpButtonHalf", "1/2"}, {"mpButtonAll", "All"},
            {"mpLabelChroma", "Chroma smoothing"}, {"mpCheckColdPixels", "Fix cold pixels"},
            {"mpCheckRelaxed", "Skip errors"}, {"mpCheckMovingColdPixels", "Fix moving cold pixels"},
            {"mpCheckVerticalStripes", "FixVerticalStripes"}, {"mpCheckVerbose", "Verbose console output"},
            {"mpCheckDestination", "Custom destination"}, {"mpButtonDestination", "..."},
            {"mpButtonAbout", "About"}, {"mpButtonStop", "Stop!"}, {"mpButtonGo", "Go!"}};
        for (const auto& expected : texts) {
            const QObject* pWidget = window.findChild<QObject*>(QLatin1String(expected.first));
            QVERIFY2(pWidget, expected.first);
            const auto* pButton = qobject_cast<const QAbstractButton*>(pWidget);
            const auto* pLabel = qobject_cast<const QLabel*>(pWidget);
            QCOMPARE(pButton ? pButton->text() : pLabel ? pLabel->text() : QString(), QString(expected.second));
        }
    }

    void threadRangeAndSilentProgressBar()
    {
        const MainWindow window;
        const auto* pSpin = window.findChild<QSpinBox*>("mpSpinThreads");
        QVERIFY(pSpin);
        QCOMPARE(QList<int>({pSpin->minimum(), pSpin->maximum(), pSpin->value()}), QList<int>({1, 128, 1}));
        auto* pProgress = window.findChild<QProgressBar*>("mpProgress");
        QVERIFY(pProgress);
        pProgress->setValue(66);
        QVERIFY(!pProgress->isTextVisible());
        QCOMPARE(pProgress->text(), QString());
    }

private:
    TestSettings mStorage;
};

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
