#include "batch/jsonreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace JsonReport {

QByteArray Format(const std::vector<JobReport>& reports, const QDateTime& startedAt, int exitCode)
{
    const auto time = [](const QDateTime& when) {
        return when.isValid() ? QJsonValue(when.toString(Qt::ISODateWithMs)) : QJsonValue();
    };
    QJsonArray jobs;
    for (const JobReport& report : reports) {
        const MLVWorker& record = *report.record;
        jobs.append(QJsonObject{{QStringLiteral("source"), record.mSourceFile},
                                {QStringLiteral("outputFolder"), record.mOutputPath},
                                {QStringLiteral("commandLine"), record.mCommandLine},
                                {QStringLiteral("state"), report.StateText()},
                                {QStringLiteral("interrupted"), report.interrupted},
                                {QStringLiteral("started"), time(report.started)},
                                {QStringLiteral("ended"), time(report.ended)},
                                {QStringLiteral("durationMs"), report.DurationMs()},
                                {QStringLiteral("output"), record.mStdOut},
                                {QStringLiteral("errors"), report.ErrorText()}});
    }
    const QJsonObject root{{QStringLiteral("started"), time(startedAt)},
                           {QStringLiteral("ended"), time(QDateTime::currentDateTime())},
                           {QStringLiteral("exitCode"), exitCode},
                           {QStringLiteral("jobs"), jobs}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

}  // namespace JsonReport
