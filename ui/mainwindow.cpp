#include "ui/mainwindow.h"

#include <csignal>
#include <iterator>
#include <memory>
#include <new>
#include <utility>

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMimeData>
#include <QMutexLocker>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QThread>
#include <QUrl>

#include "engine/childprocesses.h"
#include "engine/joblist.h"
#include "engine/mlvprocessor.h"
#include "engine/processio.h"
#include "engine/signalpipe.h"
#include "settings/chromasmoothing.h"
#include "settings/settingsstore.h"
#include "ui/durationtext.h"
#include "ui/jobdetailsdialog.h"
#include "ui/programidentity.h"
#include "ui/statuscelldelegate.h"
#include "ui/tablewriter.h"
#include "ui/threadpresets.h"

namespace {

const QString kMissingTable = QStringLiteral("QTableWidget { border: 2px solid red; }");
const QString kMissingEdit = QStringLiteral("QLineEdit { border: 2px solid red; }");
// The window's own place on the desktop; the conversion options stay alone in "Global".
const QString kGeometryKey = QStringLiteral("Window/Geometry");
// As korvalin-batch does: converters are asked to end, again and again in case one was just starting,
// and made to end after a while.
const int kEndConvertersEveryMs = 200;
const qint64 kForceConvertersAfterMs = 3000;

// Showing a value must never run the slot that reacts to the user changing it.
template <typename Control, typename Write>
void WriteBlocked(Control* pControl, Write&& write)
{
    const bool wasBlocked = pControl->blockSignals(true);
    write(pControl);
    pControl->blockSignals(wasBlocked);
}

QString ExecutableFilter()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Executables (*.exe)");
#else
    // Programs carry no extension here.
    return QStringLiteral("Executables (*)");
#endif
}

// Some file managers delete or move the originals after a drop they see accepted as a move.
void AcceptAsCopy(QDropEvent* pEvent)
{
    if (pEvent->possibleActions() & Qt::CopyAction) {
        pEvent->setDropAction(Qt::CopyAction);
        pEvent->accept();
    } else {
        pEvent->ignore();
    }
}

// Our converter writes every file as NAME.part and renames it when complete; an ended converter leaves
// only those behind, all starting with the clip's name.
void RemoveUnfinishedFiles(const MLVWorker& job)
{
    if (job.mOutputPath.isEmpty() || job.mCommandLine.isEmpty() || job.GetStatus() == JobStatus::Finished)
        return;
    const QDir folder(job.mOutputPath);
    const QString name = QFileInfo(job.mSourceFile).completeBaseName();
    for (const QString& file : folder.entryList({name + QStringLiteral("*.part")}, QDir::Files | QDir::Hidden))
        QFile::remove(folder.filePath(file));
}

}  // namespace

MainWindow::MainWindow(const QString& bundledConverter, QWidget* parent)
    : QMainWindow(parent)
    , mBundledConverter(bundledConverter)
    , mDialogs(WindowDialogs::Standard())
    , mIdealThreadCount([] { return QThread::idealThreadCount(); })
    , mReadCounters(ReadProcessIoCounters)
    , mClock([] { return QTime::currentTime(); })
{
    setupUi(this);
    setWindowTitle(ProgramIdentity::Heading());
    setAcceptDrops(true);

    mElapsedTimer.setInterval(1000);
    mElapsedTimer.setSingleShot(false);
    connect(&mElapsedTimer, &QTimer::timeout, this, &MainWindow::TimerSignal);
    mEndConvertersTimer.setInterval(kEndConvertersEveryMs);
    connect(&mEndConvertersTimer, &QTimer::timeout, this, &MainWindow::EndConverters);
#ifndef Q_OS_WIN
    // A logout (SIGHUP) or a plain `kill` (SIGTERM) ends the converters instead of leaving them without a parent.
    connect(new SignalPipe({SIGTERM, SIGHUP}, this), &SignalPipe::Received, this, &MainWindow::EndSession);
#endif

    mpStatus = new QStatusBar;
    setStatusBar(mpStatus);

    mpTable->setColumnCount(5);
    mpTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    // One row can be selected, for its details; Tab moves on to the next control instead of the next cell.
    mpTable->setSelectionMode(QAbstractItemView::SingleSelection);
    mpTable->setTabKeyNavigation(false);
    // A capped Source column keeps a path's end, the clip's name, in view.
    mpTable->setTextElideMode(Qt::ElideMiddle);
    mpTable->setItemDelegateForColumn(1, new StatusCellDelegate(mpTable));
    connect(mpTable, &QTableWidget::cellDoubleClicked, this, &MainWindow::ShowJobDetails);
    AddShortcuts();

    mpComboChroma->addItem(QIcon(), QStringLiteral("None"), QStringLiteral("no-cs"));
    mpComboChroma->addItem(QIcon(), QStringLiteral("2x2"), QStringLiteral("cs2x2"));
    mpComboChroma->addItem(QIcon(), QStringLiteral("3x3"), QStringLiteral("cs3x3"));
    mpComboChroma->addItem(QIcon(), QStringLiteral("5x5"), QStringLiteral("cs5x5"));

    LoadSettings();
    RefreshControls();
    UpdateControlState();
}

MainWindow::~MainWindow() = default;

void MainWindow::SetDialogs(WindowDialogs dialogs)
{
    mDialogs = std::move(dialogs);
}

void MainWindow::SetIdealThreadCount(std::function<int()> idealThreadCount)
{
    mIdealThreadCount = std::move(idealThreadCount);
}

void MainWindow::SetProgressSources(ProgressText::CounterSource counters, ProgressText::Clock clock)
{
    mReadCounters = std::move(counters);
    mClock = std::move(clock);
}

// ---- Close and drag and drop ----

void MainWindow::closeEvent(QCloseEvent* pEvent)
{
    if (mRunState != RunState::Idle) {
        mDialogs.information(this, QStringLiteral("Cannot exit"),
                             QStringLiteral("Please stop rendering before exiting the program."));
    } else if (mDialogs.question(this, QStringLiteral("Exit program?"),
                                 QStringLiteral("Do you want to exit the program?"))
               == QMessageBox::Yes) {
        SaveSettings();
        mDialogs.exitApplication(0);
    }
    // The window itself never closes; leaving is the application's exit alone.
    pEvent->ignore();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* pEvent)
{
    AcceptAsCopy(pEvent);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* pEvent)
{
    AcceptAsCopy(pEvent);
}

void MainWindow::dragLeaveEvent(QDragLeaveEvent* pEvent)
{
    pEvent->accept();
}

void MainWindow::dropEvent(QDropEvent* pEvent)
{
    const QMimeData* pData = pEvent->mimeData();
    if (!pData || !pData->hasUrls() || !(pEvent->possibleActions() & Qt::CopyAction))
        return;
    QStringList paths;
    for (const QUrl& url : pData->urls())
        paths.append(url.toLocalFile());
    AddPaths(paths);
    AcceptAsCopy(pEvent);
}

void MainWindow::AddPaths(const QStringList& paths)
{
    for (const QString& path : paths)
        JobList::AppendPath(mSettings.workers, path, false);
    ListChanged();
}

// ---- Option slots ----

void MainWindow::on_mpEditExecutable_textChanged(QString rText)
{
    mSettings.executable = rText;
    UpdateControlState();
}

void MainWindow::on_mpButtonExecutable_clicked()
{
    const QString chosen =
        mDialogs.openFileName(this, QStringLiteral("Choose mlv_dump.exe"), mSettings.executable, ExecutableFilter());
    if (chosen.isEmpty())
        return;
    mSettings.executable = chosen;
    RefreshControls();
    UpdateControlState();
}

void MainWindow::on_mpComboChroma_currentIndexChanged(int index)
{
    mSettings.chromaSmoothing = ChromaSmoothing::TextToCode(mpComboChroma->itemData(index, Qt::UserRole).toString());
    RefreshControls();
    UpdateControlState();
}

void MainWindow::on_mpCheckColdPixels_stateChanged(int state)
{
    SetFlag(mSettings.fixColdPixels, state);
}

void MainWindow::on_mpCheckMovingColdPixels_stateChanged(int state)
{
    SetFlag(mSettings.fixMovingColdPixels, state);
}

void MainWindow::on_mpCheckVerticalStripes_stateChanged(int state)
{
    SetFlag(mSettings.fixVerticalStripes, state);
}

void MainWindow::on_mpCheckRelaxed_stateChanged(int state)
{
    SetFlag(mSettings.skipErrors, state);
}

void MainWindow::on_mpCheckVerbose_stateChanged(int state)
{
    SetFlag(mSettings.verbose, state);
}

void MainWindow::on_mpCheckCompress_stateChanged(int state)
{
    SetFlag(mSettings.compressDng, state);
}

void MainWindow::on_mpCheckDestination_stateChanged(int state)
{
    SetFlag(mSettings.customDestination, state);
}

// A partly checked box counts as off.
void MainWindow::SetFlag(bool& option, int state)
{
    option = state == Qt::Checked;
    RefreshControls();
    UpdateControlState();
}

void MainWindow::on_mpEditDestination_textChanged(QString rText)
{
    mSettings.destination = rText;
    UpdateControlState();
}

void MainWindow::on_mpButtonDestination_clicked()
{
    const QString chosen =
        mDialogs.existingDirectory(this, QStringLiteral("Choose common destination directory"), mSettings.destination);
    if (chosen.isEmpty())
        return;
    mSettings.destination = chosen;
    RefreshControls();
    UpdateControlState();
}

// ---- Run control ----

void MainWindow::on_mpButtonStop_clicked()
{
    mRunState = RunState::Stopping;
    UpdateControlState();
}

void MainWindow::on_mpButtonGo_clicked()
{
    mBatchJobCount = 0;
    for (MLVWorker& job : mSettings.workers) {
        if (job.GetStatus() == JobStatus::Finished)
            continue;
        job.mCommandLine.clear();
        job.mStdOut.clear();
        job.mStdErr.clear();
        job.mStartTime = QTime();
        ++mBatchJobCount;
    }

    std::unique_ptr<QThread> thread(new (std::nothrow) QThread);
    if (!thread)
        return;
    std::unique_ptr<MLVProcessor> processor(new (std::nothrow) MLVProcessor(mSettings));
    if (!processor)
        return;

    mRunState = RunState::Running;
    UpdateControlState();

    processor->moveToThread(thread.get());
    // From here on the pair deletes itself once the batch has finished.
    QThread* pThread = thread.release();
    MLVProcessor* pProcessor = processor.release();
    connect(pThread, &QThread::started, pProcessor, &MLVProcessor::StartProcessing);
    connect(mpButtonStop, &QPushButton::clicked, pProcessor, &MLVProcessor::StopProcessing);
    connect(pProcessor, &MLVProcessor::FileCompleted, this, &MainWindow::FileCompleted);
    connect(pProcessor, &MLVProcessor::UpdateTable, this, &MainWindow::UpdateTable);
    connect(pProcessor, &MLVProcessor::RefreshTable, this, &MainWindow::RefreshTable);
    connect(pProcessor, &MLVProcessor::Finished, this, &MainWindow::Stopped);
    connect(pProcessor, &MLVProcessor::Finished, pThread, &QThread::quit);
    connect(pProcessor, &MLVProcessor::Finished, pProcessor, &QObject::deleteLater);
    connect(pThread, &QThread::finished, pThread, &QObject::deleteLater);
    pThread->start(QThread::InheritPriority);

    mBatchClock.start();
    mElapsedTimer.start();
}

void MainWindow::FileCompleted()
{
    ++mCompletedJobCount;
    RefreshControls();
}

void MainWindow::Stopped()
{
    if (mSessionEndCode != 0) {
        FinishSession();
        return;
    }
    mRunState = RunState::Idle;
    mCompletedJobCount = 0;
    mLastDuration = static_cast<qint32>(mBatchClock.elapsed());
    mElapsedTimer.stop();
    RefreshControls();
    UpdateControlState();
    mpStatus->showMessage(QStringLiteral("Last duration: ") + DurationText::Format(mLastDuration));
}

void MainWindow::TimerSignal()
{
    mpStatus->showMessage(QStringLiteral("Elapsed time: ") + DurationText::Format(mBatchClock.elapsed()));
}

void MainWindow::EndSession(int signalNumber)
{
    if (mSessionEndCode != 0)
        return;
    mSessionEndCode = 128 + signalNumber;
    if (mRunState == RunState::Idle) {
        FinishSession();
        return;
    }
    // Stop first, so that the scheduler starts nothing more; the batch's end then finishes the session.
    if (mpButtonStop->isEnabled())
        mpButtonStop->click();
    mSessionEndClock.start();
    EndConverters();
    mEndConvertersTimer.start();
}

void MainWindow::EndConverters()
{
    ChildProcesses::EndAll(mSessionEndClock.elapsed() >= kForceConvertersAfterMs);
}

void MainWindow::FinishSession()
{
    mEndConvertersTimer.stop();
    mElapsedTimer.stop();
    mRunState = RunState::Idle;
    for (const MLVWorker& job : mSettings.workers)
        RemoveUnfinishedFiles(job);
    // No SaveSettings(): the options are stored only when the user confirms leaving, and a logout is no answer.
    mDialogs.exitApplication(mSessionEndCode);
}

// ---- File list ----

void MainWindow::on_mpButtonAdd_clicked()
{
    const QStringList paths = mDialogs.openFileNames(this, QStringLiteral("Choose MLV files"), mSettings.source,
                                                     QStringLiteral("MLV files (*.mlv)"));
    if (paths.isEmpty())
        return;
    for (const QString& path : paths)
        JobList::AppendIfAcceptable(mSettings.workers, path);
    mSettings.source = QFileInfo(paths.first()).absolutePath();
    ListChanged();
}

void MainWindow::on_mpButtonClear_clicked()
{
    mSettings.workers.clear();
    ListChanged();
}

void MainWindow::ListChanged()
{
    RefreshControls();
    UpdateControlState();
}

void MainWindow::AddShortcuts()
{
    // A disabled button ignores click(), so the keys follow the buttons' enabling.
    connect(new QShortcut(QKeySequence(Qt::CTRL + Qt::Key_O), this), &QShortcut::activated, mpButtonAdd,
            &QPushButton::click);
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(Qt::CTRL + key), this), &QShortcut::activated, mpButtonGo,
                &QPushButton::click);
        auto* pDetails = new QShortcut(QKeySequence(key), mpTable, nullptr, nullptr, Qt::WidgetShortcut);
        connect(pDetails, &QShortcut::activated, this, [this] {
            if (mRunState == RunState::Idle && !mpTable->selectedItems().isEmpty())
                ShowJobDetails(mpTable->currentRow());
        });
    }
    connect(new QShortcut(QKeySequence(Qt::CTRL + Qt::Key_Q), this), &QShortcut::activated, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Delete), mpTable, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, this, &MainWindow::RemoveSelectedJob);
}

void MainWindow::RemoveSelectedJob()
{
    const int row = mpTable->currentRow();
    if (mRunState != RunState::Idle || mpTable->selectedItems().isEmpty() || row < 0
        || std::size_t(row) >= mSettings.workers.size())
        return;
    mSettings.workers.erase(std::next(mSettings.workers.begin(), row));
    // The rebuild selects the row that moved up into its place, so Delete can go on down the list.
    ListChanged();
}

void MainWindow::ShowJobDetails(int row)
{
    if (row < 0 || std::size_t(row) >= mSettings.workers.size())
        return;
    auto* pDialog = new JobDetailsDialog(*std::next(mSettings.workers.begin(), row), this);
    pDialog->setAttribute(Qt::WA_DeleteOnClose);
    pDialog->show();
}

// ---- Thread count ----

void MainWindow::on_mpSpinThreads_valueChanged(int value)
{
    mSettings.threads = value;
}

void MainWindow::on_mpButtonOne_clicked()
{
    SetThreads(1);
}

void MainWindow::on_mpButtonQuarter_clicked()
{
    SetThreads(ThreadPresets::Quarter(mIdealThreadCount()));
}

void MainWindow::on_mpButtonHalf_clicked()
{
    SetThreads(ThreadPresets::Half(mIdealThreadCount()));
}

void MainWindow::on_mpButtonAll_clicked()
{
    SetThreads(ThreadPresets::All(mIdealThreadCount()));
}

void MainWindow::SetThreads(int threads)
{
    mSettings.threads = threads;
    RefreshControls();
}

void MainWindow::on_mpButtonAbout_clicked()
{
    mDialogs.information(this, QStringLiteral("About the software"), ProgramIdentity::AboutText());
}

// ---- Table ----

void MainWindow::UpdateTable(MLVWorker worker)
{
    {
        const QMutexLocker locker(&mTableLock);
        auto& jobs = mSettings.workers;
        for (auto it = jobs.begin(); it != jobs.end(); ++it) {
            if (it->mSourceFile != worker.mSourceFile)
                continue;
            it = jobs.erase(it);
            it = jobs.insert(it, worker);
        }
    }
    // The lock is not recursive, and the rebuild takes it again.
    RefreshTable();
    if (worker.GetStatus() == JobStatus::Processing && mpTable->isVisible())
        ScrollToLowestRunningRow();
}

// The table is disabled during a batch, so the user cannot scroll to the jobs as they start.
void MainWindow::ScrollToLowestRunningRow()
{
    int row = int(mSettings.workers.size()) - 1;
    for (auto it = mSettings.workers.rbegin(); it != mSettings.workers.rend(); ++it, --row) {
        if (it->GetStatus() != JobStatus::Processing || !mpTable->item(row, 0))
            continue;
        // Only up and down: the Status column stays where the user left it.
        QScrollBar* pHorizontal = mpTable->horizontalScrollBar();
        const int across = pHorizontal->value();
        mpTable->scrollToItem(mpTable->item(row, 0), QAbstractItemView::EnsureVisible);
        pHorizontal->setValue(across);
        return;
    }
}

void MainWindow::RefreshTable(std::vector<MLVWorker> workers)
{
    const QMutexLocker locker(&mTableLock);
    TableWriter(mpTable, ProgressText(mReadCounters, mClock)).Rebuild(mSettings.workers, workers);
}

// ---- Showing the options ----

void MainWindow::RefreshControls()
{
    WriteBlocked(mpCheckColdPixels, [this](QCheckBox* p) { p->setChecked(mSettings.fixColdPixels); });
    WriteBlocked(mpCheckMovingColdPixels, [this](QCheckBox* p) { p->setChecked(mSettings.fixMovingColdPixels); });
    WriteBlocked(mpCheckVerticalStripes, [this](QCheckBox* p) { p->setChecked(mSettings.fixVerticalStripes); });
    WriteBlocked(mpCheckVerbose, [this](QCheckBox* p) { p->setChecked(mSettings.verbose); });
    WriteBlocked(mpCheckRelaxed, [this](QCheckBox* p) { p->setChecked(mSettings.skipErrors); });
    WriteBlocked(mpCheckCompress, [this](QCheckBox* p) { p->setChecked(mSettings.compressDng); });
    WriteBlocked(mpCheckDestination, [this](QCheckBox* p) { p->setChecked(mSettings.customDestination); });
    WriteBlocked(mpEditDestination, [this](QLineEdit* p) {
        p->setText(mSettings.customDestination ? mSettings.destination : QStringLiteral("<into source directory>"));
    });
    WriteBlocked(mpEditExecutable, [this](QLineEdit* p) { p->setText(mSettings.executable); });
    WriteBlocked(mpSpinThreads, [this](QSpinBox* p) { p->setValue(mSettings.threads); });
    WriteBlocked(mpComboChroma, [this](QComboBox* p) {
        p->setCurrentIndex(p->findData(ChromaSmoothing::CodeToText(mSettings.chromaSmoothing), Qt::UserRole,
                                       Qt::MatchExactly | Qt::MatchCaseSensitive));
    });

    RefreshTable();

    const quint64 percent = mBatchJobCount == 0 ? 0 : mCompletedJobCount * 100 / mBatchJobCount;
    mpProgress->setValue(static_cast<int>(percent));
}

void MainWindow::UpdateControlState()
{
    const bool idle = mRunState == RunState::Idle;
    const bool hasJobs = !mSettings.workers.empty();
    const bool executableGiven = !mSettings.executable.isEmpty();
    const bool destinationGiven = !mSettings.destination.isEmpty();
    const bool custom = mSettings.customDestination;

    mpTable->setEnabled(idle);
    mpButtonAdd->setEnabled(idle);
    mpLabelDnD->setEnabled(idle);
    mpButtonClear->setEnabled(idle && hasJobs);
    mpEditExecutable->setEnabled(idle);
    mpButtonExecutable->setEnabled(idle);
    for (QWidget* pWidget : {static_cast<QWidget*>(mpSpinThreads), static_cast<QWidget*>(mpButtonOne),
                             static_cast<QWidget*>(mpButtonQuarter), static_cast<QWidget*>(mpButtonHalf),
                             static_cast<QWidget*>(mpButtonAll), static_cast<QWidget*>(mpComboChroma)})
        pWidget->setEnabled(idle);
    for (QCheckBox* pCheck : {mpCheckColdPixels, mpCheckMovingColdPixels, mpCheckVerticalStripes, mpCheckRelaxed,
                              mpCheckVerbose, mpCheckCompress, mpCheckDestination})
        pCheck->setEnabled(idle);
    mpEditDestination->setEnabled(idle && custom);
    // A directory picked during a run waits in the record for the next batch.
    mpButtonDestination->setEnabled(custom);
    mpButtonGo->setEnabled(idle && hasJobs && executableGiven && (!custom || destinationGiven));
    mpButtonStop->setEnabled(mRunState == RunState::Running);

    mpTable->setStyleSheet(hasJobs ? QString() : kMissingTable);
    mpEditExecutable->setStyleSheet(executableGiven ? QString() : kMissingEdit);
    mpEditDestination->setStyleSheet(custom && !destinationGiven ? kMissingEdit : QString());
}

// ---- Storage ----

void MainWindow::LoadSettings()
{
    SettingsStore::Load(mSettings, mBundledConverter);
    restoreGeometry(QSettings().value(kGeometryKey).toByteArray());
}

void MainWindow::SaveSettings()
{
    SettingsStore::Save(mSettings);
    QSettings().setValue(kGeometryKey, saveGeometry());
}
