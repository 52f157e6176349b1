#include "engine/foldercase.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

Qt::CaseSensitivity FolderCase::Platform()
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}

Qt::CaseSensitivity FolderCase::OfFileSystem(const QByteArray& type)
{
    // FAT and exFAT, the cards cameras write; NTFS by the kernel's drivers; "fuseblk" is a FUSE driver on a
    // disk, in practice ntfs-3g or exfat-fuse; a network share is most often served by Windows or by Samba
    // set up for it. Where the rule is not certain (ntfs3 and ntfs-3g can be mounted case-sensitive), ignoring
    // case only refuses a job, whereas wrongly heeding it mixes two clips' frames in one folder.
    static const QByteArray kIgnoringCase[] = {"vfat",    "msdos", "exfat", "ntfs", "ntfs3",
                                               "fuseblk", "cifs",  "smb3",  "smbfs"};
    for (const QByteArray& kind : kIgnoringCase)
        if (type == kind)
            return Qt::CaseInsensitive;
    return Qt::CaseSensitive;
}

Qt::CaseSensitivity FolderCase::Of(const QString& folder)
{
#if defined(Q_OS_LINUX)
    // The folder may not exist yet: the file system that will hold it is its nearest existing parent's.
    QString existing = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    while (!QFileInfo(existing).isDir() && existing != QDir::rootPath())
        existing = QFileInfo(existing).path();
    const QStorageInfo storage(existing);
    return storage.isValid() ? OfFileSystem(storage.fileSystemType()) : Platform();
#else
    Q_UNUSED(folder);
    return Platform();
#endif
}
