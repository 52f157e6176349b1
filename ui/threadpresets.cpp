#include "ui/threadpresets.h"

#include <QtGlobal>

#include "settings/settingsstore.h"

namespace {

int Clamp(int count)
{
    return qBound(SettingsStore::MinThreads, count, SettingsStore::MaxThreads);
}

}  // namespace

namespace ThreadPresets {

int Quarter(int idealThreadCount)
{
    return Clamp(idealThreadCount / 4);
}

int Half(int idealThreadCount)
{
    return Clamp(idealThreadCount / 2);
}

int All(int idealThreadCount)
{
    return Clamp(idealThreadCount);
}

}  // namespace ThreadPresets
