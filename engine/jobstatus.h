// The state of a conversion job, derived from its texts rather than stored.
#pragma once

enum class JobStatus { Ready = 0, Processing = 1, Error = 2, Finished = 3 };
