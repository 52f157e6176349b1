#include "engine/joblist.h"

#include <algorithm>

#include <QDir>
#include <QFile>

namespace {

// The scheduler reports jobs under the cleaned path, so the list must hold that same form
// for every report to find its row.
QString Clean(const QString& path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(path);
}

bool IsAcceptableCleaned(const std::list<MLVWorker>& workers, const QString& cleaned)
{
    if (cleaned.right(4).toLower() != QLatin1String(".mlv"))
        return false;
    if (!QFile::exists(cleaned))
        return false;
    return std::none_of(workers.begin(), workers.end(),
                        [&cleaned](const MLVWorker& job) { return job.mSourceFile == cleaned; });
}

}  // namespace

namespace JobList {

bool IsAcceptable(const std::list<MLVWorker>& workers, const QString& path)
{
    return IsAcceptableCleaned(workers, Clean(path));
}

bool AppendIfAcceptable(std::list<MLVWorker>& workers, const QString& path)
{
    const QString cleaned = Clean(path);
    if (!IsAcceptableCleaned(workers, cleaned))
        return false;
    workers.emplace_back(cleaned, QString(), QString());
    return true;
}

}  // namespace JobList
