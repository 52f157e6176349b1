#include "testsettings.h"

#include <QCoreApplication>
#include <QSettings>

TestSettings::TestSettings()
{
    QCoreApplication::setApplicationName(QStringLiteral("Korvalin"));
    QCoreApplication::setOrganizationName(QStringLiteral("Veltrano"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("veltrano.example"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, mFolder.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, mFolder.path());
}

void TestSettings::clear() const
{
    QSettings settings;
    settings.clear();
    settings.sync();
}
