#include "ui/launchfiles.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace LaunchFiles {

QStringList FromArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts MLV raw video into DNG images with mlv2dng or mlv_dump."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("MLV files or folders to add to the list."),
                                 QStringLiteral("[FILE...]"));
    parser.process(arguments);
    QStringList paths;
    // A relative path means the folder the program was started from; a job needs the full path.
    for (const QString& path : parser.positionalArguments())
        paths.append(path.isEmpty() ? path : QFileInfo(path).absoluteFilePath());
    return paths;
}

}  // namespace LaunchFiles
