#include "batch/jobreport.h"

JobReport::JobReport(const QString& sourceFile) : record(std::make_unique<MLVWorker>(sourceFile, QString(), QString()))
{
}

QString JobReport::StateText() const
{
    return JobStatusText(Status());
}

qint64 JobReport::DurationMs() const
{
    if (!started.isValid())
        return 0;
    return started.msecsTo(ended.isValid() ? ended : QDateTime::currentDateTime());
}

QString JobReport::ErrorText() const
{
    if (!interrupted)
        return record->mStdErr;
    return QStringLiteral("Interrupted: korvalin-batch ended the converter.\n") + record->mStdErr;
}

QString JobReport::FirstErrorLine() const
{
    const QString text = ErrorText().trimmed();
    return text.left(text.indexOf(QLatin1Char('\n'))).trimmed();
}
