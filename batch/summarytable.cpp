#include "batch/summarytable.h"

#include <algorithm>
#include <array>

#include "ui/durationtext.h"

namespace SummaryTable {

QString Format(const std::vector<JobReport>& reports)
{
    using Row = std::array<QString, 5>;
    std::vector<Row> rows{{QStringLiteral("File"), QStringLiteral("State"), QStringLiteral("Duration"),
                           QStringLiteral("Output folder"), QStringLiteral("Error")}};
    for (const JobReport& report : reports) {
        rows.push_back({report.record->mSourceFile, report.StateText(), report.DurationShown(),
                        report.record->mOutputPath, report.FirstErrorLine()});
    }
    std::array<int, 5> widths{};
    for (const Row& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], int(row[column].size()));
    }
    QString text;
    for (const Row& row : rows) {
        QString line;
        for (std::size_t column = 0; column < row.size(); ++column)
            line += row[column].leftJustified(widths[column]) + QStringLiteral("  ");
        text += line.trimmed() + QLatin1Char('\n');
    }
    return text;
}

QString Totals(const std::vector<JobReport>& reports, qint64 elapsedMs)
{
    int finished = 0;
    int failed = 0;
    int notStarted = 0;
    qint64 written = 0;
    for (const JobReport& report : reports) {
        if (report.Status() == JobStatus::Ready)
            ++notStarted;
        else
            ++(report.Status() == JobStatus::Finished ? finished : failed);
        written += report.WrittenBytes();
    }
    // Decimal units, as cards and drives are sold and file managers count.
    const double megabytes = double(written) / 1e6;
    const QString size = megabytes < 1000 ? QStringLiteral("%1 MB").arg(megabytes, 0, 'f', 1)
                                          : QStringLiteral("%1 GB").arg(megabytes / 1000, 0, 'f', 1);
    QString line = QStringLiteral("%1 %2: %3 finished, %4 failed")
                       .arg(reports.size())
                       .arg(reports.size() == 1 ? QStringLiteral("clip") : QStringLiteral("clips"))
                       .arg(finished)
                       .arg(failed);
    if (notStarted > 0)
        line += QStringLiteral(", %1 not started").arg(notStarted);
    return line + QStringLiteral(", %1 written in %2").arg(size, DurationText::Format(elapsedMs));
}

}  // namespace SummaryTable
