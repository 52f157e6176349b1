#include "engine/commandline.h"

#include <QDir>
#include <QLatin1Char>
#include <QLatin1String>

#include "settings/chromasmoothing.h"

namespace {

// Wraps a path in double quotes. A quote inside the path becomes three quotes, which
// QProcess::splitCommand turns back into one, so such a path still reaches the tool whole.
QString Quoted(const QString& path)
{
    QString escaped = path;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// The directory that receives the job's own folder; always ends with exactly one "/".
QString BaseDirectory(const ConversionSettings& settings, const QString& cleanedPath, int lastSlash)
{
    if (!settings.customDestination)
        return cleanedPath.left(lastSlash + 1);
    QString base = QDir::cleanPath(settings.destination);
    // A root destination ("/", "E:/") keeps its separator through cleaning.
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return base;
}

}  // namespace

bool BuildCommandLine(const ConversionSettings& settings, const QString& sourceFile,
                      QString& cleanedPath, QString& outputPath, QString& commandLine)
{
    const QString cleaned = QDir::cleanPath(sourceFile);
    const int lastSlash = cleaned.lastIndexOf(QLatin1Char('/'));
    if (lastSlash < 0)
        return false;

    // The file list admits only ".mlv" names, so dropping four characters drops the extension.
    QString name = cleaned.mid(lastSlash + 1);
    name.chop(4);

    const QString output = BaseDirectory(settings, cleaned, lastSlash) + name + QLatin1Char('/');

    QString line = Quoted(settings.executable);
    line += QLatin1String(" -o ");
    line += Quoted(output + name + QLatin1Char('_'));
    if (settings.verbose)
        line += QLatin1String(" -v");
    if (settings.skipErrors)
        line += QLatin1String(" --relaxed");
    line += QLatin1String(" --dng ");
    line += QLatin1String("--") + ChromaSmoothing::CodeToText(settings.chromaSmoothing) + QLatin1Char(' ');
    if (!settings.fixColdPixels)
        line += QLatin1String("--no-fixcp ");
    if (settings.fixMovingColdPixels)
        line += QLatin1String("--fixcp2 ");
    if (!settings.fixVerticalStripes)
        line += QLatin1String("--no-stripes ");
    line += Quoted(cleaned);

    cleanedPath = cleaned;
    outputPath = output;
    commandLine = line;
    return true;
}
