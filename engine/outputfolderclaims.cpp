#include "engine/outputfolderclaims.h"

#include <QDir>

OutputFolderClaims::OutputFolderClaims(Qt::CaseSensitivity folderCase) : mFolderCase(folderCase)
{
}

Qt::CaseSensitivity OutputFolderClaims::PlatformFolderCase()
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}

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
    return mFolderCase == Qt::CaseInsensitive ? cleaned.toCaseFolded() : cleaned;
}
