#include "batch/progressdisplay.h"

#include <algorithm>
#include <utility>

#include <QFileInfo>
#include <QTextCodec>

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
#include <sys/ioctl.h>
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

QString Ellipsis()
{
    const QTextCodec* codec = QTextCodec::codecForLocale();
    return codec && codec->canEncode(QChar(0x2026)) ? QStringLiteral("\u2026") : QStringLiteral("...");
}

// Keeps both ends of a name, where clip names differ: "A001_very_long…_C0042.MLV".
QString ShortenMiddle(const QString& text, int width)
{
    const QString ellipsis = Ellipsis();
    if (text.size() <= width || width <= ellipsis.size())
        return text.left(std::max(0, width));
    const int keep = width - int(ellipsis.size());
    return text.left(keep - keep / 2) + ellipsis + text.right(keep / 2);
}

// The counts, the bytes read, and the time with what is left of it.
QStringList OverallParts(const std::vector<JobReport>& reports, qint64 elapsedMs)
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
            read += std::min(report.bytesRead, size);
        }
    }
    QString time = DurationText::Format(elapsedMs);
    if (read > 0 && read < total) {
        const qint64 left = qint64(double(elapsedMs) * double(total - read) / double(read));
        time += QStringLiteral(", about %1 left").arg(DurationText::Format(left));
    }
    return {QStringLiteral("done %1, failed %2, of %3").arg(done).arg(failed).arg(reports.size()),
            QStringLiteral("read %1 of %2").arg(Size(read), Size(total)), time};
}

int TerminalColumns(std::FILE* out)
{
    constexpr int kFallback = 80;
#ifdef Q_OS_WIN
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(HANDLE(_get_osfhandle(_fileno(out))), &info))
        return kFallback;
    return std::max(1, info.srWindow.Right - info.srWindow.Left + 1);
#else
    winsize size{};
    if (::ioctl(fileno(out), TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
        return kFallback;
    return size.ws_col;
#endif
}

}  // namespace

ProgressDisplay::ProgressDisplay(Mode mode, std::FILE* out)
    : ProgressDisplay(mode, out, [out] { return TerminalColumns(out); })
{
}

ProgressDisplay::ProgressDisplay(Mode mode, std::FILE* out, Columns columns)
    : mMode(mode), mOut(out), mColumns(std::move(columns))
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
    QString line =
        QStringLiteral("%1 %2 after %3").arg(report.StateText(), report.record->mSourceFile, report.DurationShown());
    if (!report.FirstErrorLine().isEmpty())
        line += QStringLiteral(": ") + report.FirstErrorLine();
    Clear();
    Write(line + QLatin1Char('\n'));
}

void ProgressDisplay::JobOutput(const JobReport& report, const QString& line)
{
    if (mMode == Mode::Quiet)
        return;
    Clear();
    Write(QStringLiteral("%1: %2\n").arg(Name(report), line));
}

void ProgressDisplay::Redraw(const std::vector<JobReport>& reports, const QDateTime& startedAt)
{
    if (mMode != Mode::Live)
        return;
    const int columns = mColumns();
    const QStringList lines = LiveLines(reports, startedAt.msecsTo(QDateTime::currentDateTime()), columns);
    // Back to the first line of the previous drawing, then over it; leftovers below are erased.
    const int rows = DrawnRows(columns);
    QString text = rows > 0 ? QStringLiteral("\x1b[%1F").arg(rows) : QString();
    mDrawnLengths.clear();
    for (const QString& line : lines) {
        text += line + QStringLiteral("\x1b[K\n");
        mDrawnLengths.push_back(int(line.size()));
    }
    Write(text + QStringLiteral("\x1b[J"));
}

void ProgressDisplay::Notice(const QString& text)
{
    Clear();
    std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
    std::fflush(stderr);
}

void ProgressDisplay::Clear()
{
    if (mMode != Mode::Live || mDrawnLengths.empty())
        return;
    Write(QStringLiteral("\x1b[%1F\x1b[J").arg(DrawnRows(mColumns())));
    mDrawnLengths.clear();
}

int ProgressDisplay::DrawnRows(int columns) const
{
    int rows = 0;
    for (const int length : mDrawnLengths)
        rows += std::max(1, (length + std::max(1, columns) - 1) / std::max(1, columns));
    return rows;
}

QStringList ProgressDisplay::LiveLines(const std::vector<JobReport>& reports, qint64 elapsedMs, int columns)
{
    // One column short of the width: a line that fills the last column leaves some terminals waiting to wrap.
    const int width = std::max(1, columns - 1);
    // One column for the names and one for the progress, so the percentages stand in line.
    QStringList names;
    QStringList progress;
    for (const JobReport& report : reports) {
        if (!report.IsRunning())
            continue;
        names.append(Name(report));
        progress.append(report.progress.isEmpty() ? QStringLiteral("Processing") : report.progress);
    }
    int progressWidth = 0;
    for (const QString& text : progress)
        progressWidth = std::max(progressWidth, int(text.size()));
    int nameWidth = 0;
    for (QString& name : names) {
        name = ShortenMiddle(name, std::max(12, width - 4 - progressWidth));
        nameWidth = std::max(nameWidth, int(name.size()));
    }
    QStringList lines;
    for (int i = 0; i < names.size(); ++i)
        lines.append((QStringLiteral("  ") + names[i].leftJustified(nameWidth) + QStringLiteral("  ") + progress[i])
                         .left(width));
    const QStringList parts = OverallParts(reports, elapsedMs);
    QString overall = parts.join(QStringLiteral(" | "));
    // The bytes read give way first: the counts and the time left say more.
    if (overall.size() > width)
        overall = parts[0] + QStringLiteral(" | ") + parts[2];
    lines.append(overall.left(width));
    return lines;
}

QString ProgressDisplay::OverallLine(const std::vector<JobReport>& reports, qint64 elapsedMs)
{
    return OverallParts(reports, elapsedMs).join(QStringLiteral(" | "));
}

void ProgressDisplay::Write(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), mOut);
    std::fflush(mOut);
}
