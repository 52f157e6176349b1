#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

#include "testsettings.h"
#include "ui/mainwindow.h"

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void widgetsCarryTheirNamesAndTexts()
    {
        MainWindow window;
        QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(window.size(), QSize(602, 676));

        const QList<QPair<QString, QString>> buttons{
            {"mpButtonAdd", "Add files"}, {"mpButtonClear", "Clear list"}, {"mpButtonExecutable", "..."},
            {"mpButtonOne", "1"}, {"mpButtonQuarter", "1/4"}, {"mpButtonHalf", "1/2"}, {"mpButtonAll", "All"},
            {"mpButtonDestination", "..."}, {"mpButtonAbout", "About"}, {"mpButtonStop", "Stop!"},
            {"mpButtonGo", "Go!"}};
        for (const auto& button : buttons) {
            const auto* widget = window.findChild<QPushButton*>(button.first);
            QVERIFY2(widget, qPrintable(button.first));
            QCOMPARE(widget->text(), button.second);
        }
        const QList<QPair<QString, QString>> checks{
            {"mpCheckColdPixels", "Fix cold pixels"}, {"mpCheckRelaxed", "Skip errors"},
            {"mpCheckMovingColdPixels", "Fix moving cold pixels"}, {"mpCheckVerticalStripes", "FixVerticalStripes"},
            {"mpCheckVerbose", "Verbose console output"}, {"mpCheckDestination", "Custom destination"}};
        for (const auto& check : checks) {
            const auto* widget = window.findChild<QCheckBox*>(check.first);
            QVERIFY2(widget, qPrintable(check.first));
            QCOMPARE(widget->text(), check.second);
        }
        const QList<QPair<QString, QString>> labels{
            {"mpLabelDnD", "Drag and drop is also possible."}, {"mpLabelExecutable", "mlv_dump executable"},
            {"mpLabelThreads", "Threads"}, {"mpLabelChroma", "Chroma smoothing"}};
        for (const auto& label : labels) {
            const auto* widget = window.findChild<QLabel*>(label.first);
            QVERIFY2(widget, qPrintable(label.first));
            QCOMPARE(widget->text(), label.second);
        }
        QVERIFY(window.findChild<QTableWidget*>("mpTable"));
        QVERIFY(window.findChild<QComboBox*>("mpComboChroma"));
        QVERIFY(window.findChild<QLineEdit*>("mpEditExecutable"));
        QVERIFY(window.findChild<QLineEdit*>("mpEditDestination"));
        QVERIFY(window.findChild<QWidget*>("mpCentralWidget"));
        QCOMPARE(window.centralWidget()->objectName(), QStringLiteral("mpCentralWidget"));
    }

    void rangesAndProgressBar()
    {
        MainWindow window;
        const auto* spin = window.findChild<QSpinBox*>("mpSpinThreads");
        QVERIFY(spin);
        QCOMPARE(spin->minimum(), 1);
        QCOMPARE(spin->maximum(), 128);

        auto* progress = window.findChild<QProgressBar*>("mpProgress");
        QVERIFY(progress);
        QCOMPARE(progress->value(), 0);
        QVERIFY(!progress->isTextVisible());
        QCOMPARE(progress->format(), QString());
        progress->setValue(66);
        QCOMPARE(progress->text(), QString());
    }

    // Widgets are created in reading order, so keyboard focus walks the form top to bottom.
    void focusFollowsCreationOrder()
    {
        MainWindow window;
        const QStringList expected{"mpButtonAdd", "mpButtonClear", "mpEditExecutable", "mpButtonExecutable",
                                   "mpSpinThreads", "mpButtonOne", "mpButtonQuarter", "mpButtonHalf",
                                   "mpButtonAll", "mpComboChroma", "mpCheckColdPixels", "mpCheckRelaxed",
                                   "mpCheckMovingColdPixels", "mpCheckVerticalStripes", "mpCheckVerbose",
                                   "mpCheckDestination", "mpEditDestination", "mpButtonDestination",
                                   "mpButtonAbout", "mpButtonStop", "mpButtonGo"};
        QStringList seen;
        for (QObject* child : window.centralWidget()->children()) {
            const QString name = child->objectName();
            if (expected.contains(name))
                seen << name;
        }
        QCOMPARE(seen, expected);
    }

private:
    TestSettings mStorage;
};

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
