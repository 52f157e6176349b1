// Korvalin's only window: the job table, the global options and run control.
#pragma once

#include <functional>
#include <vector>

#include <QElapsedTimer>
#include <QMainWindow>
#include <QMutex>
#include <QTimer>

#include "engine/conversionsettings.h"
#include "engine/mlvworker.h"
#include "ui/progresstext.h"
#include "ui/runstate.h"
#include "ui/windowdialogs.h"
#include "ui_mainwindow.h"

class QStatusBar;

class MainWindow : public QMainWindow, private Ui::MainWindow
{
    Q_OBJECT

public:
    // bundledConverter is the executable a first start offers (see BundledConverter::BesideProgram).
    explicit MainWindow(const QString& bundledConverter = QString(), QWidget* parent = nullptr);
    ~MainWindow() override;

    // Adds files and folders to the list exactly as dropping them would.
    void AddPaths(const QStringList& paths);

    // Replaces the file choosers, message boxes and application exit (tests answer them instead).
    void SetDialogs(WindowDialogs dialogs);
    // Replaces QThread::idealThreadCount for the thread preset buttons.
    void SetIdealThreadCount(std::function<int()> idealThreadCount);
    // Replaces the process I/O counter reader and the time of day used for progress and rates.
    void SetProgressSources(ProgressText::CounterSource counters, ProgressText::Clock clock);

protected:
    void closeEvent(QCloseEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragMoveEvent(QDragMoveEvent* pEvent) override;
    void dragLeaveEvent(QDragLeaveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private slots:
    void on_mpEditExecutable_textChanged(QString rText);
    void on_mpButtonExecutable_clicked();
    void on_mpComboChroma_currentIndexChanged(int index);
    void on_mpCheckColdPixels_stateChanged(int state);
    void on_mpCheckMovingColdPixels_stateChanged(int state);
    void on_mpCheckVerticalStripes_stateChanged(int state);
    void on_mpCheckRelaxed_stateChanged(int state);
    void on_mpCheckVerbose_stateChanged(int state);
    void on_mpCheckCompress_stateChanged(int state);
    void on_mpCheckDestination_stateChanged(int state);
    void on_mpEditDestination_textChanged(QString rText);
    void on_mpButtonDestination_clicked();
    void on_mpButtonStop_clicked();
    void on_mpButtonGo_clicked();
    void on_mpButtonAdd_clicked();
    void on_mpButtonClear_clicked();
    void on_mpSpinThreads_valueChanged(int value);
    void on_mpButtonOne_clicked();
    void on_mpButtonQuarter_clicked();
    void on_mpButtonHalf_clicked();
    void on_mpButtonAll_clicked();
    void on_mpButtonAbout_clicked();
    void FileCompleted();
    void UpdateTable(MLVWorker worker);
    // Running copies of jobs stand in for their rows; with none, the window's own list is shown.
    void RefreshTable(std::vector<MLVWorker> workers = {});
    void Stopped();
    void TimerSignal();
    void ShowJobDetails(int row);
    // SIGTERM or SIGHUP (a logout): a running batch stops and its converters are ended, as korvalin-batch
    // ends them on a second Ctrl-C, their unfinished files removed; then the application exits.
    void EndSession(int signalNumber);

private:
    void RefreshControls();
    void UpdateControlState();
    void LoadSettings();
    void SaveSettings();
    void SetThreads(int threads);
    void SetFlag(bool& option, int state);
    void ListChanged();
    void AddShortcuts();
    void RemoveSelectedJob();
    void ScrollToLowestRunningRow();
    void EndConverters();
    void FinishSession();

    QMutex mTableLock;
    QStatusBar* mpStatus = nullptr;
    ConversionSettings mSettings;
    RunState mRunState = RunState::Idle;
    quint64 mBatchJobCount = 0;
    quint64 mCompletedJobCount = 0;
    qint32 mLastDuration = 0;
    QElapsedTimer mBatchClock;
    QTimer mElapsedTimer;

    const QString mBundledConverter;
    WindowDialogs mDialogs;
    std::function<int()> mIdealThreadCount;
    ProgressText::CounterSource mReadCounters;
    ProgressText::Clock mClock;

    // Non-zero once a termination signal has come: the code the application exits with.
    int mSessionEndCode = 0;
    QElapsedTimer mSessionEndClock;
    QTimer mEndConvertersTimer;
};
