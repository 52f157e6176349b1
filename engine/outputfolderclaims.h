// Remembers which source writes into which output folder during one batch, so no two jobs share one.
#pragma once

#include <QHash>
#include <QString>

class OutputFolderClaims
{
public:
    explicit OutputFolderClaims(Qt::CaseSensitivity folderCase = PlatformFolderCase());

    // How the platform's usual file systems compare names: Windows and macOS ignore letter case.
    static Qt::CaseSensitivity PlatformFolderCase();

    // The source that already writes into the folder, or empty when the folder is free.
    QString Owner(const QString& folder) const;
    // Records that the source writes into the folder; a folder keeps its first owner.
    void Claim(const QString& folder, const QString& sourceFile);

private:
    QString Key(const QString& folder) const;

    Qt::CaseSensitivity mFolderCase;
    QHash<QString, QString> mOwners;
};
