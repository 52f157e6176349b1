#include "ui/tablewriter.h"

#include <new>
#include <utility>

#include <QBrush>
#include <QColor>
#include <QSignalBlocker>
#include <QStringList>
#include <QTableWidget>

namespace {

const QString kSeeTooltip = QStringLiteral("<see tooltip>");

QString SeeTooltipIf(const QString& text)
{
    return text.isEmpty() ? QString() : kSeeTooltip;
}

QColor Background(JobStatus status)
{
    switch (status) {
    case JobStatus::Ready:
        return QColor(Qt::white);
    case JobStatus::Processing:
        return QColor(Qt::yellow);
    case JobStatus::Error:
        return QColor(Qt::red);
    case JobStatus::Finished:
        return QColor(Qt::green);
    }
    return QColor(Qt::white);
}

const MLVWorker& RunningCopyOr(const MLVWorker& job, const std::vector<MLVWorker>& running)
{
    for (const MLVWorker& copy : running) {
        if (copy.mSourceFile == job.mSourceFile && copy.mOutputPath == job.mOutputPath)
            return copy;
    }
    return job;
}

}  // namespace

TableWriter::TableWriter(QTableWidget* pTable, ProgressText progress) : mpTable(pTable), mProgress(std::move(progress))
{
}

void TableWriter::Rebuild(const std::list<MLVWorker>& jobs, const std::vector<MLVWorker>& running) const
{
    const QSignalBlocker blocker(mpTable);
    // Clearing drops the selection, which a rebuild after every option change must not cost the user.
    const int selectedRow = mpTable->selectedItems().isEmpty() ? -1 : mpTable->currentRow();
    mpTable->clear();
    mpTable->setHorizontalHeaderLabels({QStringLiteral("Source file"), QStringLiteral("Status"),
                                        QStringLiteral("Output"), QStringLiteral("Errors"),
                                        QStringLiteral("Command line")});
    mpTable->setRowCount(static_cast<int>(jobs.size()));
    int row = 0;
    for (const MLVWorker& job : jobs)
        WriteRow(row++, RunningCopyOr(job, running));
    if (selectedRow >= 0 && selectedRow < mpTable->rowCount())
        mpTable->selectRow(selectedRow);
    mpTable->resizeColumnsToContents();
    // Long paths would push the Status column out of view; the whole path is in the tooltip.
    const int widest = mpTable->viewport()->width() / 2;
    if (mpTable->columnWidth(0) > widest)
        mpTable->setColumnWidth(0, widest);
}

void TableWriter::WriteRow(int row, const MLVWorker& job) const
{
    const JobStatus status = job.GetStatus();
    const QString statusText = status == JobStatus::Processing ? mProgress.ForJob(job) : StatusText(status);
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    WriteCell(job, row, 0, job.mSourceFile, job.mSourceFile, flags);
    WriteCell(job, row, 1, statusText, QString(), flags);
    WriteCell(job, row, 2, SeeTooltipIf(job.mStdOut), job.mStdOut, flags);
    WriteCell(job, row, 3, SeeTooltipIf(job.mStdErr), job.mStdErr, flags);
    WriteCell(job, row, 4, SeeTooltipIf(job.mCommandLine), job.mCommandLine, flags);
}

void TableWriter::WriteCell(const MLVWorker& job, int row, int column, const QString& text, const QString& tooltip,
                            Qt::ItemFlags flags) const
{
    auto* pItem = new (std::nothrow) QTableWidgetItem(text);
    if (!pItem)
        return;
    pItem->setFlags(flags);
    // A new item has no tooltip; storing an empty one would only cost a value per cell.
    if (!tooltip.isEmpty())
        pItem->setToolTip(tooltip);
    if (column == 1) {
        const JobStatus status = job.GetStatus();
        pItem->setForeground(QBrush(status == JobStatus::Error ? Qt::white : Qt::black, Qt::SolidPattern));
        pItem->setBackground(Background(status));
    }
    mpTable->setItem(row, column, pItem);
}

QString TableWriter::StatusText(JobStatus status)
{
    return JobStatusText(status);
}
