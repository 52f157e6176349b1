// Gives a test its own settings storage, so no test ever reads or writes the user's options.
#pragma once

#include <QString>
#include <QTemporaryDir>

class TestSettings
{
public:
    // Must run before the first QSettings object of the process exists.
    TestSettings();

    // The folder that now holds the native user-scope settings.
    QString folder() const { return mFolder.path(); }
    // Removes every stored option, as on a first start.
    void clear() const;

private:
    QTemporaryDir mFolder;
};
