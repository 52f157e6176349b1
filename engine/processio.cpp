#include "engine/processio.h"

#ifdef Q_OS_WIN
#include <windows.h>
#elif defined(Q_OS_LINUX)
#include <QByteArray>
#include <QFile>
#include <QList>
#endif

#ifdef Q_OS_LINUX
namespace {

// /proc/<pid>/io is a short "key: value" list; rchar and wchar count every byte handed to and
// taken from the process, whether the page cache or the disk served it.
std::optional<ProcessIoCounters> ParseProcIo(const QByteArray& text)
{
    std::optional<quint64> read;
    std::optional<quint64> written;
    for (const QByteArray& line : text.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray key = line.left(colon).trimmed();
        bool ok = false;
        const quint64 value = line.mid(colon + 1).trimmed().toULongLong(&ok);
        if (!ok)
            continue;
        if (key == "rchar")
            read = value;
        else if (key == "wchar")
            written = value;
    }
    if (!read || !written)
        return std::nullopt;
    return ProcessIoCounters{*read, *written};
}

}  // namespace
#endif

std::optional<ProcessIoCounters> ReadProcessIoCounters(qint64 processId)
{
    if (processId <= 0)
        return std::nullopt;
#ifdef Q_OS_WIN
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, DWORD(processId));
    if (!process)
        return std::nullopt;
    IO_COUNTERS counters{};
    const BOOL ok = GetProcessIoCounters(process, &counters);
    CloseHandle(process);
    if (!ok)
        return std::nullopt;
    return ProcessIoCounters{counters.ReadTransferCount, counters.WriteTransferCount};
#elif defined(Q_OS_LINUX)
    QFile file(QStringLiteral("/proc/%1/io").arg(processId));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The file reports a size of 0, so it is read up to its end rather than by its size.
    QByteArray text;
    char buffer[1024];
    for (qint64 got; (got = file.read(buffer, sizeof buffer)) > 0 && text.size() < 64 * 1024;)
        text.append(buffer, int(got));
    return ParseProcIo(text);
#else
    return std::nullopt;
#endif
}
