// Whether letter case tells two names apart where output goes: a folder on a camera's exFAT or FAT card
// takes clip.MLV's and CLIP.MLV's frames into one place even on Linux.
#pragma once

#include <QByteArray>
#include <QString>

class FolderCase
{
public:
    // The rule of the file system that holds the folder, or its nearest existing parent, on Linux;
    // Platform() elsewhere.
    static Qt::CaseSensitivity Of(const QString& folder);
    // The rule for a Linux file system, by the type its mount table gives (QStorageInfo::fileSystemType()).
    static Qt::CaseSensitivity OfFileSystem(const QByteArray& type);
    // How Windows' and macOS's usual file systems compare names: they ignore case; the rest do not.
    static Qt::CaseSensitivity Platform();
};
