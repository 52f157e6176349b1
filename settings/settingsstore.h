// Reads and writes the options of a ConversionSettings in the group "Global" of the settings storage.
#pragma once

#include "engine/conversionsettings.h"

namespace SettingsStore {

// Limits of the parallel job count; a stored value outside them is brought back inside.
constexpr int MinThreads = 1;
constexpr int MaxThreads = 128;

// Fills every option of settings from storage (defaults for absent keys); the job list is untouched.
// An absent "Executable" becomes executableDefault; a stored one, even empty, wins.
void Load(ConversionSettings& settings, const QString& executableDefault = QString());

// Writes all eleven options; the job list is never stored.
void Save(const ConversionSettings& settings);

}  // namespace SettingsStore
