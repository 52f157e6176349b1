// Writes a job as one self-contained POSIX shell line: make its output folder, run its converter.
#pragma once

#include <optional>

#include <QString>

#include "engine/conversionsettings.h"

namespace ShellCommand {

// One word for sh: inside single quotes, each ' becomes '\'' ; nothing else is special there.
QString Quote(const QString& word);

// "mkdir -p -- 'FOLDER' && 'CONVERTER' 'ARG'..." with exactly the arguments the engine passes for the
// source; nothing when the engine would make no job of it or a word holds a line break (one line per job).
std::optional<QString> ForJob(const ConversionSettings& settings, const QString& sourceFile);

}  // namespace ShellCommand
