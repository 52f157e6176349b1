#include "engine/jobstatus.h"

QString JobStatusText(JobStatus status)
{
    switch (status) {
    case JobStatus::Ready:
        return QStringLiteral("Ready");
    case JobStatus::Processing:
        return QStringLiteral("Processing");
    case JobStatus::Error:
        return QStringLiteral("Error");
    case JobStatus::Finished:
        return QStringLiteral("Finished");
    }
    return QString();
}
