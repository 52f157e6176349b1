#include "settings/settingsstore.h"

#include <QSettings>

#include "settings/chromasmoothing.h"

namespace {

// Shared by load and save, so the two can never disagree on a name.
const QString kGroup = QStringLiteral("Global");
const QString kSource = QStringLiteral("Source");
const QString kDestination = QStringLiteral("Destination");
const QString kExecutable = QStringLiteral("Executable");
const QString kThreads = QStringLiteral("Threads");
const QString kChromaSmoothing = QStringLiteral("ChromaSmoothing");
const QString kCustomDestination = QStringLiteral("CustomDestination");
const QString kFixColdPixels = QStringLiteral("FixColdPixels");
const QString kFixMovingColdPixels = QStringLiteral("FixMovingColdPixels");
const QString kFixVerticalStripes = QStringLiteral("FixVerticalStripes");
const QString kSkipErrors = QStringLiteral("SkipErrors");
const QString kVerbose = QStringLiteral("Verbose");

// A hand-edited or foreign value must still give the spin box and the scheduler a usable count.
int ClampThreads(const QVariant& stored)
{
    bool ok = false;
    const qlonglong value = stored.toLongLong(&ok);
    if (!ok || value < SettingsStore::MinThreads)
        return SettingsStore::MinThreads;
    if (value > SettingsStore::MaxThreads)
        return SettingsStore::MaxThreads;
    return static_cast<int>(value);
}

}  // namespace

namespace SettingsStore {

void Load(ConversionSettings& settings, const QString& executableDefault)
{
    const ConversionSettings defaults;
    QSettings storage;
    storage.beginGroup(kGroup);
    settings.source = storage.value(kSource, defaults.source).toString();
    settings.destination = storage.value(kDestination, defaults.destination).toString();
    settings.executable = storage.value(kExecutable, executableDefault).toString();
    settings.threads = ClampThreads(storage.value(kThreads, defaults.threads));
    settings.chromaSmoothing = ChromaSmoothing::TextToCode(
        storage.value(kChromaSmoothing, ChromaSmoothing::CodeToText(defaults.chromaSmoothing)).toString());
    settings.customDestination = storage.value(kCustomDestination, defaults.customDestination).toBool();
    settings.fixColdPixels = storage.value(kFixColdPixels, defaults.fixColdPixels).toBool();
    settings.fixMovingColdPixels = storage.value(kFixMovingColdPixels, defaults.fixMovingColdPixels).toBool();
    settings.fixVerticalStripes = storage.value(kFixVerticalStripes, defaults.fixVerticalStripes).toBool();
    settings.skipErrors = storage.value(kSkipErrors, defaults.skipErrors).toBool();
    settings.verbose = storage.value(kVerbose, defaults.verbose).toBool();
    storage.endGroup();
}

void Save(const ConversionSettings& settings)
{
    QSettings storage;
    storage.beginGroup(kGroup);
    storage.setValue(kSource, settings.source);
    storage.setValue(kDestination, settings.destination);
    storage.setValue(kExecutable, settings.executable);
    storage.setValue(kThreads, settings.threads);
    storage.setValue(kChromaSmoothing, ChromaSmoothing::CodeToText(settings.chromaSmoothing));
    storage.setValue(kCustomDestination, settings.customDestination);
    storage.setValue(kFixColdPixels, settings.fixColdPixels);
    storage.setValue(kFixMovingColdPixels, settings.fixMovingColdPixels);
    storage.setValue(kFixVerticalStripes, settings.fixVerticalStripes);
    storage.setValue(kSkipErrors, settings.skipErrors);
    storage.setValue(kVerbose, settings.verbose);
    storage.endGroup();
}

}  // namespace SettingsStore
