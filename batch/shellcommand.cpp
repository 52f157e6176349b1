#include "batch/shellcommand.h"

#include <QProcess>
#include <QStringList>

#include "engine/commandline.h"

namespace ShellCommand {

QString Quote(const QString& word)
{
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

std::optional<QString> ForJob(const ConversionSettings& settings, const QString& sourceFile)
{
    QString cleanedPath;
    QString outputPath;
    QString commandLine;
    if (!BuildCommandLine(settings, sourceFile, cleanedPath, outputPath, commandLine))
        return std::nullopt;
    // The job splits its command line this same way before it starts the converter.
    const QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return std::nullopt;
    QString line = QStringLiteral("mkdir -p -- ") + Quote(outputPath) + QStringLiteral(" &&");
    for (const QString& word : words)
        line += QLatin1Char(' ') + Quote(word);
    if (line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r')))
        return std::nullopt;
    return line;
}

}  // namespace ShellCommand
