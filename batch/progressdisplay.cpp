#include "batch/progressdisplay.h"

#include <algorithm>

#include <QFileInfo>
#include <QTime>

#include "engine/processio.h"
#include "ui/durationtext.h"

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif
#define KORVALIN_ISATTY _isatty
#define KORVALIN_FILENO _fileno
#else
#include <unistd.h>
#define KORVALIN_ISATTY isatty
#define KORVALIN_FILENO fileno
#endif

namespace {

QString Name(const JobReport& report)
{
    return QFileInfo(report.record->mSourceFile).fileName();
}

// "12.3 MiB" below a gibibyte, "1.2 GiB" above.
QString Size(quint64 bytes)
{
    constexpr double kMiB = 1024.0 * 1024.0;
    if (double(bytes) < 1024.0 * kMiB)
        return QStringLiteral("%1 MiB").arg(double(bytes) / kMiB, 0, 'f', 1);
    return QStringLiteral("%1 GiB").arg(double(bytes) / (1024.0 * kMiB), 0, 'f', 1);
}

}  // namespace

ProgressDisplay::ProgressDisplay(Mode mode, std::FILE* out) : mMode(mode), mOut(out)
{
}

ProgressDisplay::Mode ProgressDisplay::ModeFor(std::FILE* out, bool quiet)
{
    if (quiet)
        return Mode::Quiet;
    if (!KORVALIN_ISATTY(KORVALIN_FILENO(out)))
        return Mode::Plain;
#ifdef Q_OS_WIN
    // Windows consoles understand the cursor movements of the live display only when asked to.
    const HANDLE console = HANDLE(_get_osfhandle(_fileno(out)));
    DWORD consoleMode = 0;
    if (!GetConsoleMode(console, &consoleMode)
        || !SetConsoleMode(console, consoleMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING))
        return Mode::Plain;
#endif
    return Mode::Live;
}

void ProgressDisplay::JobStarted(const JobReport& report)
{
    if (mMode == Mode::Plain)
        Write(QStringLiteral("Started %1 -> %2\n").arg(report.record->mSourceFile, report.record->mOutputPath));
}

void ProgressDisplay::JobEnded(const JobReport& report)
{
    if (mMode == Mode::Quiet)
        return;
    QString line = QStringLiteral("%1 %2 after %3")
                       .arg(report.StateText(), report.record->mSourceFile, DurationText::Format(report.DurationMs()));
    if (!report.FirstErrorLine().isEmpty())
        line += QStringLiteral(": ") + report.FirstErrorLine();
    if (mMode == Mode::Live)
        Clear();
    Write(line + QLatin1Char('\n'));
}

void ProgressDisplay::Redraw(const std::vector<JobReport>& reports, const QDateTime& startedAt)
{
    if (mMode != Mode::Live)
        return;
    const ProgressText progress(ReadProcessIoCounters, [] { return QTime::currentTime(); });
    QString text;
    int lines = 0;
    for (const JobReport& report : reports) {
        if (!report.IsRunning())
            continue;
        text += QStringLiteral("  %1  %2\x1b[K\n").arg(Name(report), progress.ForJob(*report.record));
        ++lines;
    }
    text += OverallLine(reports, startedAt.msecsTo(QDateTime::currentDateTime()), ReadProcessIoCounters)
            + QStringLiteral("\x1b[K\n");
    ++lines;
    // Back to the first line of the previous drawing, then over it; leftovers below are erased.
    QString up;
    if (mLiveLines > 0)
        up = QStringLiteral("\x1b[%1F").arg(mLiveLines);
    Write(up + text + QStringLiteral("\x1b[J"));
    mLiveLines = lines;
}

void ProgressDisplay::Notice(const QString& text)
{
    if (mMode == Mode::Live)
        Clear();
    std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
    std::fflush(stderr);
}

void ProgressDisplay::Clear()
{
    if (mMode != Mode::Live || mLiveLines == 0)
        return;
    Write(QStringLiteral("\x1b[%1F\x1b[J").arg(mLiveLines));
    mLiveLines = 0;
}

QString ProgressDisplay::OverallLine(const std::vector<JobReport>& reports, qint64 elapsedMs,
                                     const ProgressText::CounterSource& counters)
{
    int done = 0;
    int failed = 0;
    quint64 total = 0;
    quint64 read = 0;
    for (const JobReport& report : reports) {
        const quint64 size = quint64(std::max<qint64>(0, report.record->mFileSize));
        total += size;
        if (report.ended.isValid()) {
            ++(report.Status() == JobStatus::Finished ? done : failed);
            read += size;
        } else if (report.IsRunning()) {
            const auto io = counters(report.record->mProcessId);
            read += io ? std::min(io->bytesRead, size) : 0;
        }
    }
    QString line = QStringLiteral("done %1, failed %2, of %3 | read %4 of %5 | %6")
                       .arg(done)
                       .arg(failed)
                       .arg(reports.size())
                       .arg(Size(read), Size(total), DurationText::Format(elapsedMs));
    if (read > 0 && read < total) {
        const qint64 left = qint64(double(elapsedMs) * double(total - read) / double(read));
        line += QStringLiteral(", about %1 left").arg(DurationText::Format(left));
    }
    return line;
}

void ProgressDisplay::Write(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), mOut);
    std::fflush(mOut);
}
