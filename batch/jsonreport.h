// The end-of-batch summary as JSON, for scripts: per job its paths, command line, state, times and texts.
#pragma once

#include <vector>

#include <QByteArray>
#include <QDateTime>

#include "batch/jobreport.h"

namespace JsonReport {

QByteArray Format(const std::vector<JobReport>& reports, const QDateTime& startedAt, int exitCode);

}  // namespace JsonReport
