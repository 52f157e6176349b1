// Loads the options from the settings folder given as the first argument and prints them, one per
// line, so a test can see what a fresh process reads back from what another one saved.
#include <cstdio>

#include <QCoreApplication>
#include <QSettings>
#include <QTextStream>

#include "settings/settingsstore.h"

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 2)
        return 2;
    QCoreApplication::setApplicationName(QStringLiteral("Korvalin"));
    QCoreApplication::setOrganizationName(QStringLiteral("Veltrano"));
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);

    ConversionSettings settings;
    SettingsStore::Load(settings);
    QTextStream out(stdout);
    out << "source=" << settings.source << '\n'
        << "destination=" << settings.destination << '\n'
        << "executable=" << settings.executable << '\n'
        << "threads=" << settings.threads << '\n'
        << "chromaSmoothing=" << settings.chromaSmoothing << '\n'
        << "customDestination=" << settings.customDestination << '\n'
        << "fixColdPixels=" << settings.fixColdPixels << '\n'
        << "fixMovingColdPixels=" << settings.fixMovingColdPixels << '\n'
        << "fixVerticalStripes=" << settings.fixVerticalStripes << '\n'
        << "skipErrors=" << settings.skipErrors << '\n'
        << "verbose=" << settings.verbose << '\n';
    return 0;
}
