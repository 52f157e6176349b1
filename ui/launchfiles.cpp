#include "ui/launchfiles.h"

#include <cstdio>
#include <cstdlib>

#include <QCommandLineParser>
#include <QFileInfo>

#include "korvalinversion.h"

namespace LaunchFiles {

QStringList FromArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts MLV raw video into DNG images with mlv2dng or mlv_dump."));
    parser.addHelpOption();
    // Not addVersionOption(): the name and text must match what korvalin-batch and mlv2dng print.
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Displays version information."));
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("MLV files or folders to add to the list."),
                                 QStringLiteral("[FILE...]"));
    parser.process(arguments);
    if (parser.isSet(version)) {
        std::printf("korvalin %s\n", korvalin::kVersionText);
        std::exit(0);
    }
    QStringList paths;
    // A relative path means the folder the program was started from; a job needs the full path.
    for (const QString& path : parser.positionalArguments())
        paths.append(path.isEmpty() ? path : QFileInfo(path).absoluteFilePath());
    return paths;
}

}  // namespace LaunchFiles
