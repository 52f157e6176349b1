#include "engine/commandline.h"

#include <QDir>
#include <QLatin1Char>
#include <QLatin1String>

#include "cli/optionspellings.h"

namespace {

// Wraps a path in double quotes. A quote inside the path becomes three quotes, which
// QProcess::splitCommand turns back into one, so such a path still reaches the tool whole.
QString Quoted(const QString& path)
{
    QString escaped = path;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// The directory that receives the job's own folder; always ends with "/".
QString BaseDirectory(const ConversionSettings& settings, const QString& cleanedPath, int lastSlash)
{
    if (!settings.customDestination)
        return cleanedPath.left(lastSlash + 1);
    return QDir::cleanPath(settings.destination) + QLatin1Char('/');
}

}  // namespace

bool BuildCommandLine(const ConversionSettings& settings, const QString& sourceFile, QString& cleanedPath,
                      QString& outputPath, QString& commandLine)
{
    const QString cleaned = QDir::cleanPath(sourceFile);
    const int lastSlash = cleaned.lastIndexOf(QLatin1Char('/'));
    if (lastSlash < 0)
        return false;

    // The file list admits only ".mlv" names, so dropping four characters drops the extension.
    QString name = cleaned.mid(lastSlash + 1);
    name.chop(4);

    const QString output = BaseDirectory(settings, cleaned, lastSlash) + name + QLatin1Char('/');

    namespace spelling = mlv2dng::spelling;
    QString line = Quoted(settings.executable);
    // Options before the -o value lead with their blank, those after --dng end with one.
    const auto leading = [&line](const char* option) {
        line += QLatin1Char(' ');
        line += QLatin1String(option);
    };
    const auto trailing = [&line](const char* option) {
        line += QLatin1String(option);
        line += QLatin1Char(' ');
    };
    leading(spelling::kOutput);
    line += QLatin1Char(' ');
    line += Quoted(output + name + QLatin1Char('_'));
    if (settings.verbose)
        leading(spelling::kVerbose);
    if (settings.skipErrors)
        leading(spelling::kRelaxed);
    leading(spelling::kDng);
    line += QLatin1Char(' ');
    if (settings.compressDng)
        trailing(spelling::kCompress);
    line += QLatin1String("--");
    trailing(spelling::chromaWord(settings.chromaSmoothing));
    if (!settings.fixColdPixels)
        trailing(spelling::kNoColdPixels);
    if (settings.fixMovingColdPixels)
        trailing(spelling::kMovingColdPixels);
    if (!settings.fixVerticalStripes)
        trailing(spelling::kNoStripes);
    line += Quoted(cleaned);

    cleanedPath = cleaned;
    outputPath = output;
    commandLine = line;
    return true;
}
