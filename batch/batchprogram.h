// korvalin-batch from its arguments to its exit status: parse, print commands or run, summarise.
#pragma once

class QCoreApplication;

namespace BatchProgram {

// 0 when every job finished, 1 when any did not, 2 for a bad command line, 130 after an interrupt.
int Run(QCoreApplication& application);

}  // namespace BatchProgram
