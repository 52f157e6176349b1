#include "batch/batchoptions.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include "engine/bundledconverter.h"
#include "engine/joblist.h"
#include "settings/settingsstore.h"

namespace {

const QStringList kChromaChoices{QStringLiteral("none"), QStringLiteral("2x2"), QStringLiteral("3x3"),
                                 QStringLiteral("5x5")};

struct Options
{
    QCommandLineOption jobs{{QStringLiteral("j"), QStringLiteral("jobs")},
                            QStringLiteral("Converters running side by side, 1 to 128 (default: the number of cores)."),
                            QStringLiteral("N")};
    QCommandLineOption executable{QStringLiteral("executable"),
                                  QStringLiteral("The converter to run (default: the mlv2dng beside this program)."),
                                  QStringLiteral("PATH")};
    QCommandLineOption destination{{QStringLiteral("d"), QStringLiteral("destination")},
                                   QStringLiteral("One folder for every clip's DNG folder (default: beside each)."),
                                   QStringLiteral("DIR")};
    QCommandLineOption chroma{QStringLiteral("chroma"),
                              QStringLiteral("Chroma smoothing: none, 2x2, 3x3 or 5x5 (default: none)."),
                              QStringLiteral("SIZE")};
    QCommandLineOption noFixcp{QStringLiteral("no-fixcp"), QStringLiteral("Do not fix cold pixels.")};
    QCommandLineOption fixcp2{QStringLiteral("fixcp2"), QStringLiteral("Also fix moving cold pixels.")};
    QCommandLineOption noStripes{QStringLiteral("no-stripes"), QStringLiteral("Do not fix vertical stripes.")};
    QCommandLineOption relaxed{QStringLiteral("relaxed"), QStringLiteral("Skip damaged frames instead of stopping.")};
    QCommandLineOption compress{QStringLiteral("compress"),
                                QStringLiteral("Write lossless-JPEG compressed DNGs (the converter's -c).")};
    QCommandLineOption verbose{QStringLiteral("v"),
                               QStringLiteral("Ask the converter for verbose output and show it as it comes, each "
                                              "line led by its clip's name.")};
    QCommandLineOption recursive{{QStringLiteral("r"), QStringLiteral("recursive")},
                                 QStringLiteral("Also take the MLV files in sub-folders of the given folders.")};
    QCommandLineOption saved{QStringLiteral("saved"),
                             QStringLiteral("Start from the options the window has stored; the command line "
                                            "overrides them. Nothing is written back.")};
    QCommandLineOption quiet{{QStringLiteral("q"), QStringLiteral("quiet")}, QStringLiteral("Print only the summary.")};
    QCommandLineOption json{QStringLiteral("json"), QStringLiteral("Also write the summary as JSON to FILE."),
                            QStringLiteral("FILE")};
    QCommandLineOption printCommands{QStringLiteral("print-commands"),
                                     QStringLiteral("Run nothing; print one POSIX shell command per job, for GNU "
                                                    "parallel or a job array.")};
};

// The converter is run by the batch itself, so a path that cannot be run is refused before any job starts.
// A name without a folder is looked up on PATH, as the job's start looks it up.
QString ExecutableProblem(const QString& executable)
{
    if (executable.isEmpty())
        return QStringLiteral("No converter to run: give --executable PATH.");
    const bool bare = !executable.contains(QLatin1Char('/')) && !executable.contains(QLatin1Char('\\'));
    const QString found = bare ? QStandardPaths::findExecutable(executable) : executable;
    const QFileInfo info(found.isEmpty() ? executable : found);
    if (!info.exists())
        return QStringLiteral("The converter %1 does not exist.").arg(executable);
    if (!info.isFile() || !info.isExecutable())
        return QStringLiteral("The converter %1 cannot be run (not an executable file).").arg(executable);
    return QString();
}

// The JSON summary is written after the last job: a folder it cannot go into would lose it after all the work.
QString JsonFileProblem(const QString& file)
{
    const QFileInfo info(file);
    const QFileInfo folder(info.absolutePath());
    if (info.isDir())
        return QStringLiteral("--json %1 is a folder, not a file.").arg(file);
    if (!folder.isDir())
        return QStringLiteral("--json %1: the folder %2 does not exist.").arg(file, folder.filePath());
    if (!folder.isWritable())
        return QStringLiteral("--json %1: the folder %2 cannot be written.").arg(file, folder.filePath());
    if (info.exists() && !info.isWritable())
        return QStringLiteral("--json %1 cannot be written.").arg(file);
    return QString();
}

BatchOptions Refused(const QString& problem)
{
    BatchOptions refused;
    refused.action = BatchOptions::Action::Refuse;
    refused.problem = problem;
    return refused;
}

}  // namespace

QString BatchOptions::UsageLine()
{
    return QStringLiteral("Usage: korvalin-batch [options] PATH...  (korvalin-batch --help lists the options)");
}

BatchOptions BatchOptions::Parse(const QStringList& arguments)
{
    const Options o;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts MLV files, or the MLV files in folders, into folders of DNG images, running the "
                       "converter as Korvalin's window does."));
    parser.addOptions({o.jobs, o.executable, o.destination, o.chroma, o.noFixcp, o.fixcp2, o.noStripes, o.relaxed,
                       o.compress, o.verbose, o.recursive, o.saved, o.quiet, o.json, o.printCommands});
    const QCommandLineOption help = parser.addHelpOption();
    // Not addVersionOption(): its -v would take the converter's verbose switch.
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Displays version information."));
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("An MLV file or a folder of them."),
                                 QStringLiteral("PATH..."));

    if (!parser.parse(arguments))
        return Refused(parser.errorText());
    BatchOptions result;
    if (parser.isSet(help)) {
        result.action = Action::ShowHelp;
        result.helpText = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = Action::ShowVersion;
        return result;
    }

    ConversionSettings& settings = result.settings;
    settings.threads = qBound(SettingsStore::MinThreads, QThread::idealThreadCount(), SettingsStore::MaxThreads);
    if (parser.isSet(o.saved))
        SettingsStore::Load(settings);
    if (settings.executable.isEmpty())
        settings.executable = BundledConverter::BesideProgram();

    if (parser.isSet(o.jobs)) {
        bool ok = false;
        const int jobs = parser.value(o.jobs).toInt(&ok);
        if (!ok || jobs < SettingsStore::MinThreads || jobs > SettingsStore::MaxThreads)
            return Refused(QStringLiteral("--jobs takes a whole number from %1 to %2, not \"%3\".")
                               .arg(SettingsStore::MinThreads)
                               .arg(SettingsStore::MaxThreads)
                               .arg(parser.value(o.jobs)));
        settings.threads = jobs;
    }
    if (parser.isSet(o.executable))
        settings.executable = QFileInfo(parser.value(o.executable)).absoluteFilePath();
    if (parser.isSet(o.destination)) {
        if (parser.value(o.destination).isEmpty())
            return Refused(QStringLiteral("--destination needs a folder."));
        settings.customDestination = true;
        settings.destination = QFileInfo(parser.value(o.destination)).absoluteFilePath();
    }
    if (parser.isSet(o.chroma)) {
        const int code = int(kChromaChoices.indexOf(parser.value(o.chroma)));
        if (code < 0)
            return Refused(
                QStringLiteral("--chroma takes none, 2x2, 3x3 or 5x5, not \"%1\".").arg(parser.value(o.chroma)));
        settings.chromaSmoothing = code;
    }
    settings.fixColdPixels = settings.fixColdPixels && !parser.isSet(o.noFixcp);
    settings.fixMovingColdPixels = settings.fixMovingColdPixels || parser.isSet(o.fixcp2);
    settings.fixVerticalStripes = settings.fixVerticalStripes && !parser.isSet(o.noStripes);
    settings.skipErrors = settings.skipErrors || parser.isSet(o.relaxed);
    settings.compressDng = settings.compressDng || parser.isSet(o.compress);
    settings.verbose = settings.verbose || parser.isSet(o.verbose);
    if (settings.customDestination && settings.destination.isEmpty())
        return Refused(QStringLiteral("The stored options ask for a destination folder but name none: give -d DIR."));

    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty())
        return Refused(QStringLiteral("No MLV file or folder given."));
    const bool recursive = parser.isSet(o.recursive);
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (path.isEmpty() || !info.exists())
            return Refused(QStringLiteral("No such file or folder: %1").arg(path));
        // The scheduler needs a "/" in every path, and jobs must not depend on the working folder.
        if (JobList::AppendPath(settings.workers, info.absoluteFilePath(), recursive) == 0)
            result.skipped.append(path);
    }
    if (settings.workers.empty())
        return Refused(QStringLiteral("No MLV files in the given paths."));

    result.quiet = parser.isSet(o.quiet);
    result.showOutput = parser.isSet(o.verbose);
    result.jsonFile = parser.value(o.json);
    result.action = parser.isSet(o.printCommands) ? Action::PrintCommands : Action::Run;
    // Printed commands may run elsewhere, with a converter this machine does not have.
    if (result.action == Action::Run) {
        const QString problem = ExecutableProblem(settings.executable);
        if (!problem.isEmpty())
            return Refused(problem);
        if (parser.isSet(o.json) && !JsonFileProblem(result.jsonFile).isEmpty())
            return Refused(JsonFileProblem(result.jsonFile));
    }
    return result;
}
