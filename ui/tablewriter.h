// Writes the job list into the progress table: five cells per job, only the status cell coloured.
#pragma once

#include <list>
#include <vector>

#include <QString>
#include <Qt>

#include "engine/mlvworker.h"
#include "ui/progresstext.h"

class QTableWidget;

class TableWriter
{
public:
    TableWriter(QTableWidget* pTable, ProgressText progress);

    // Clears the table and writes one row per job; a running copy with the same source file and
    // output directory stands in for its job. The table emits no signals meanwhile.
    void Rebuild(const std::list<MLVWorker>& jobs, const std::vector<MLVWorker>& running) const;

    void WriteRow(int row, const MLVWorker& job) const;
    void WriteCell(const MLVWorker& job, int row, int column, const QString& text, const QString& tooltip,
                   Qt::ItemFlags flags) const;

    static QString StatusText(JobStatus status);

private:
    QTableWidget* mpTable;
    ProgressText mProgress;
};
