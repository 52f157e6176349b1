// The table printed at the end of a batch: each file, its state, duration, output folder and first error line.
#pragma once

#include <vector>

#include <QString>

#include "batch/jobreport.h"

namespace SummaryTable {

QString Format(const std::vector<JobReport>& reports);

}  // namespace SummaryTable
