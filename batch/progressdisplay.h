// Shows a running batch: a display redrawn in place on a terminal, one plain line per start and end elsewhere.
#pragma once

#include <cstdio>
#include <functional>
#include <vector>

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "batch/jobreport.h"

class ProgressDisplay
{
public:
    enum class Mode { Live, Plain, Quiet };
    // The terminal's width in columns, asked before each drawing so that a resize is followed.
    using Columns = std::function<int()>;

    ProgressDisplay(Mode mode, std::FILE* out);
    ProgressDisplay(Mode mode, std::FILE* out, Columns columns);

    // Live when the stream is a terminal, else Plain; Quiet when asked to.
    static Mode ModeFor(std::FILE* out, bool quiet);

    void JobStarted(const JobReport& report);
    void JobEnded(const JobReport& report);
    // A line of a job's converter output, led by the clip's name; not in Quiet mode.
    void JobOutput(const JobReport& report, const QString& line);
    // Live mode: redraws the running jobs and the overall line.
    void Redraw(const std::vector<JobReport>& reports, const QDateTime& startedAt);
    // A line that stays, such as the answer to Ctrl-C; shown in every mode, on standard error.
    void Notice(const QString& text);
    // Removes the live lines before the summary.
    void Clear();

    // The live lines, each cut to fit `columns`: a line per running job with its name shortened in the
    // middle where needed, then the overall line.
    static QStringList LiveLines(const std::vector<JobReport>& reports, qint64 elapsedMs, int columns);
    // "done 3, failed 1, of 40 | read 1.2 GiB of 4.0 GiB | 0:01:23, about 0:03:10 left"
    static QString OverallLine(const std::vector<JobReport>& reports, qint64 elapsedMs);

private:
    void Write(const QString& text);
    // Terminal rows the last drawing takes now: more than its lines when a narrower terminal rewrapped them.
    int DrawnRows(int columns) const;

    Mode mMode;
    std::FILE* mOut;
    Columns mColumns;
    std::vector<int> mDrawnLengths;
};
