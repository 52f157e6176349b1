// Decides which paths may join a job list, and appends them under their cleaned form.
#pragma once

#include <list>

#include <QString>

#include "engine/mlvworker.h"

namespace JobList {

// An existing file whose cleaned path ends in ".mlv" (any case) and is not in the list yet.
bool IsAcceptable(const std::list<MLVWorker>& workers, const QString& path);

// Appends a Ready job for the cleaned path when it is acceptable; tells whether it did.
bool AppendIfAcceptable(std::list<MLVWorker>& workers, const QString& path);

// Appends the acceptable MLV files inside the folder (and, when recursive, inside its sub-folders),
// sorted by their path below the folder; returns how many were appended.
int AppendFolder(std::list<MLVWorker>& workers, const QString& folder, bool recursive);

// A folder is appended as by AppendFolder, anything else as by AppendIfAcceptable; returns how many
// were appended. Drops, the window's command line and korvalin-batch all add paths this way.
int AppendPath(std::list<MLVWorker>& workers, const QString& path, bool recursive);

}  // namespace JobList
