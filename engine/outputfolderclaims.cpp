#include "engine/outputfolderclaims.h"

#include "engine/foldercase.h"

#include <QDir>

QString OutputFolderClaims::Owner(const QString& folder) const
{
    return mOwners.value(Key(folder));
}

void OutputFolderClaims::Claim(const QString& folder, const QString& sourceFile)
{
    const QString key = Key(folder);
    if (!mOwners.contains(key))
        mOwners.insert(key, sourceFile);
}

QString OutputFolderClaims::Key(const QString& folder) const
{
    const QString cleaned = QDir::cleanPath(folder);
    const Qt::CaseSensitivity folderCase = mFolderCase ? *mFolderCase : FolderCase::Of(cleaned);
    // Marked by its rule, so a folded name never meets a case-sensitive one that happens to be lower case.
    return folderCase == Qt::CaseInsensitive ? QLatin1Char('i') + cleaned.toCaseFolded() : QLatin1Char('s') + cleaned;
}
