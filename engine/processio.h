// Reads a running process's I/O byte counters by process id, where the platform can tell.
#pragma once

#include <optional>

#include <QtGlobal>

struct ProcessIoCounters
{
    quint64 bytesRead = 0;     // everything handed to the process by reads, cache hits included
    quint64 bytesWritten = 0;  // everything the process wrote
};

// Nothing when the id is 0, the process has ended, may not be queried, or the platform has no such counters.
std::optional<ProcessIoCounters> ReadProcessIoCounters(qint64 processId);
