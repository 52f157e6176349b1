#include "ui/launchfiles.h"

#include <cstdio>
#include <cstring>

#include <QCommandLineParser>
#include <QFileInfo>

#include "korvalinversion.h"

namespace LaunchFiles {

bool PrintVersionIfAsked(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            // Not addVersionOption(): the name and text must match what korvalin-batch and mlv2dng print.
            std::printf("korvalin %s\n", korvalin::kVersionText);
            return true;
        }
    }
    return false;
}

QStringList FromArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts MLV raw video into DNG images with mlv2dng or mlv_dump."));
    parser.addHelpOption();
    // Listed for --help; PrintVersionIfAsked answers it before there is an application.
    parser.addOption(QCommandLineOption(QStringLiteral("version"), QStringLiteral("Displays version information.")));
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
