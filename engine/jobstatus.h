// The state of a conversion job, derived from its texts rather than stored.
#pragma once

#include <QString>

enum class JobStatus { Ready = 0, Processing = 1, Error = 2, Finished = 3 };

// The state's name as every front end shows it: "Ready", "Processing", "Error" or "Finished".
QString JobStatusText(JobStatus status);
