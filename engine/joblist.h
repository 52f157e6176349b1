// Decides which paths may join the window's job list, and appends them under their cleaned form.
#pragma once

#include <list>

#include <QString>

#include "engine/mlvworker.h"

namespace JobList {

// An existing file whose cleaned path ends in ".mlv" (any case) and is not in the list yet.
bool IsAcceptable(const std::list<MLVWorker>& workers, const QString& path);

// Appends a Ready job for the cleaned path when it is acceptable; tells whether it did.
bool AppendIfAcceptable(std::list<MLVWorker>& workers, const QString& path);

}  // namespace JobList
