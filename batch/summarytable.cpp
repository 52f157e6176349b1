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
        rows.push_back({report.record->mSourceFile, report.StateText(),
                        report.started.isValid() ? DurationText::Format(report.DurationMs()) : QStringLiteral("-"),
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

}  // namespace SummaryTable
