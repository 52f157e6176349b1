// The table printed at the end of a batch: each file, its state, duration, output folder and first error line.
#pragma once

#include <vector>

#include <QString>

#include "batch/jobreport.h"

namespace SummaryTable {

QString Format(const std::vector<JobReport>& reports);
// "200 clips: 198 finished, 2 failed, 31.4 GB written in 0:00:42", with the jobs not started when there are any.
QString Totals(const std::vector<JobReport>& reports, qint64 elapsedMs);

}  // namespace SummaryTable
