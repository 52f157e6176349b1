#include "engine/childprocesses.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <tlhelp32.h>
#include <windows.h>
#elif defined(Q_OS_LINUX)
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#endif

namespace ChildProcesses {

int EndAll(bool force)
{
    int signalled = 0;
#ifdef Q_OS_WIN
    Q_UNUSED(force)
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID != self)
            continue;
        if (const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
            signalled += TerminateProcess(process, 1) ? 1 : 0;
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
#elif defined(Q_OS_LINUX)
    const pid_t self = ::getpid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const pid_t pid = pid_t(entry.toLongLong(&numeric));
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and parentheses, so read after the last ')'.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 1).simplified().split(' ');
        if (fields.size() < 2 || fields[1].toLongLong() != self)
            continue;
        signalled += ::kill(pid, force ? SIGKILL : SIGTERM) == 0 ? 1 : 0;
    }
#else
    Q_UNUSED(force)
#endif
    return signalled;
}

}  // namespace ChildProcesses
