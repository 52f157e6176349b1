// Derives a job's cleaned source path, output directory and mlv_dump command line from the options.
#pragma once

#include <QString>

#include "engine/conversionsettings.h"

// Fails (returns false, outputs untouched) only when the cleaned source path holds no "/".
// Touches no file; nothing is checked for existence.
bool BuildCommandLine(const ConversionSettings& settings, const QString& sourceFile, QString& cleanedPath,
                      QString& outputPath, QString& commandLine);
