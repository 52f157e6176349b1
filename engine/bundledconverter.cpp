#include "engine/bundledconverter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace BundledConverter {

QString FileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("mlv2dng.exe");
#else
    return QStringLiteral("mlv2dng");
#endif
}

QString FindIn(const QString& folder)
{
    if (folder.isEmpty())
        return QString();
    const QFileInfo converter(QDir(folder), FileName());
    return converter.isFile() ? QDir::cleanPath(converter.absoluteFilePath()) : QString();
}

QString BesideProgram()
{
    return FindIn(QCoreApplication::applicationDirPath());
}

}  // namespace BundledConverter
