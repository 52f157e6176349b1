#include "engine/joblist.h"

#include <algorithm>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

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

// Letter case only breaks ties, so "b.mlv" lands between "A.MLV" and "C.MLV" as a file manager shows it.
bool NameBefore(const QString& left, const QString& right)
{
    const int folded = QString::compare(left, right, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : left < right;
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

int AppendFolder(std::list<MLVWorker>& workers, const QString& folder, bool recursive)
{
    const QString base = Clean(folder);
    if (base.isEmpty() || !QFileInfo(base).isDir())
        return 0;
    // Hidden files stay out: cards copied from a Mac carry "._" shadows of every clip.
    QDirIterator files(base, {QStringLiteral("*.mlv")}, QDir::Files,
                       recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    QStringList below;
    while (files.hasNext())
        below.append(files.next().mid(base.size()));
    std::sort(below.begin(), below.end(), NameBefore);
    int appended = 0;
    for (const QString& path : below)
        appended += AppendIfAcceptable(workers, base + path) ? 1 : 0;
    return appended;
}

int AppendPath(std::list<MLVWorker>& workers, const QString& path, bool recursive)
{
    if (!path.isEmpty() && QFileInfo(path).isDir())
        return AppendFolder(workers, path, recursive);
    return AppendIfAcceptable(workers, path) ? 1 : 0;
}

}  // namespace JobList
