// Ends the processes this program started, wherever they were started from.
#pragma once

namespace ChildProcesses {

// Asks every direct child process to end (SIGTERM), or makes it end (SIGKILL, or TerminateProcess on
// Windows, where both are the same); returns how many were signalled.
int EndAll(bool force);

}  // namespace ChildProcesses
