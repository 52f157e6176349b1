// Shows a running batch: a display redrawn in place on a terminal, one plain line per start and end elsewhere.
#pragma once

#include <cstdio>
#include <vector>

#include <QDateTime>
#include <QString>

#include "batch/jobreport.h"
#include "ui/progresstext.h"

class ProgressDisplay
{
public:
    enum class Mode { Live, Plain, Quiet };

    ProgressDisplay(Mode mode, std::FILE* out);

    // Live when the stream is a terminal, else Plain; Quiet when asked to.
    static Mode ModeFor(std::FILE* out, bool quiet);

    void JobStarted(const JobReport& report);
    void JobEnded(const JobReport& report);
    // Live mode: redraws the running jobs and the overall line.
    void Redraw(const std::vector<JobReport>& reports, const QDateTime& startedAt);
    // A line that stays, such as the answer to Ctrl-C; shown in every mode, on standard error.
    void Notice(const QString& text);
    // Removes the live lines before the summary.
    void Clear();

    // "done 3, failed 1, of 40 | read 1.2 GiB of 4.0 GiB | 0:01:23, about 0:03:10 left"
    static QString OverallLine(const std::vector<JobReport>& reports, qint64 elapsedMs,
                               const ProgressText::CounterSource& counters);

private:
    void Write(const QString& text);

    Mode mMode;
    std::FILE* mOut;
    int mLiveLines = 0;
};
