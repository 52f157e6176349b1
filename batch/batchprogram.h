// korvalin-batch from its arguments to its exit status: parse, print commands or run, summarise.
#pragma once

class QCoreApplication;

namespace BatchProgram {

// 0 when every job finished, 1 when any did not, 2 for a bad command line; after an interrupt, as a shell reports
// the signal: 130 for Ctrl-C, 143 for SIGTERM, 129 for SIGHUP.
int Run(QCoreApplication& application);

}  // namespace BatchProgram
