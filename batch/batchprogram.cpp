#include "batch/batchprogram.h"

#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QMetaType>
#include <QSaveFile>
#include <QTimer>

#include "batch/batchoptions.h"
#include "batch/batchrun.h"
#include "batch/interruptwatcher.h"
#include "batch/jsonreport.h"
#include "batch/progressdisplay.h"
#include "batch/shellcommand.h"
#include "batch/summarytable.h"
#include "engine/commandline.h"
#include "engine/outputfolderclaims.h"
#include "korvalinversion.h"

namespace {

QString ProgramVersion()
{
    return QStringLiteral("%1 %2").arg(QLatin1String(korvalin::kVersion), QLatin1String(korvalin::kStage));
}

constexpr int kExitFinished = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadCommandLine = 2;
const int kRedrawEveryMs = 500;

void PrintLine(std::FILE* stream, const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stream);
}

int PrintCommands(const BatchOptions& options)
{
    int status = kExitFinished;
    OutputFolderClaims claims;
    for (const MLVWorker& job : options.settings.workers) {
        // The scheduler's rule: one output folder per batch, or two clips would mix their frames.
        QString cleanedPath;
        QString outputPath;
        QString commandLine;
        if (BuildCommandLine(options.settings, job.mSourceFile, cleanedPath, outputPath, commandLine)) {
            const QString owner = claims.Owner(outputPath);
            if (!owner.isEmpty()) {
                PrintLine(stderr, QStringLiteral("korvalin-batch: not printed: %1, as %2 already writes into %3")
                                      .arg(cleanedPath, owner, outputPath));
                status = kExitFailed;
                continue;
            }
            claims.Claim(outputPath, cleanedPath);
        }
        const std::optional<QString> line = ShellCommand::ForJob(options.settings, job.mSourceFile);
        if (line) {
            std::fputs(line->toUtf8().constData(), stdout);
            std::fputc('\n', stdout);
        } else {
            PrintLine(stderr, QStringLiteral("korvalin-batch: no one-line command for %1").arg(job.mSourceFile));
            status = kExitFailed;
        }
    }
    std::fflush(stdout);
    return status;
}

int ExitCode(const BatchRun& run, int interruptStatus)
{
    if (interruptStatus != 0)
        return interruptStatus;
    for (const JobReport& report : run.Reports()) {
        if (report.Status() != JobStatus::Finished)
            return kExitFailed;
    }
    return kExitFinished;
}

int RunJobs(QCoreApplication& application, const BatchOptions& options)
{
    ProgressDisplay display(ProgressDisplay::ModeFor(stdout, options.quiet), stdout);
    BatchRun run(options.settings);
    InterruptWatcher watcher;
    int interrupts = 0;
    QObject::connect(&watcher, &InterruptWatcher::Interrupted, &run, [&](bool urgent) {
        ++interrupts;
        if (interrupts == 1 && !urgent) {
            display.Notice(QStringLiteral("Stopping: running jobs finish, queued jobs are dropped. "
                                          "Press Ctrl-C again to end the running converters."));
            run.Stop();
        } else if (interrupts == 1 || interrupts == 2 || urgent) {
            display.Notice(QStringLiteral("Ending the running converters and removing their unfinished files."));
            run.Abort();
        }
    });
    QObject::connect(&run, &BatchRun::JobStarted, &run,
                     [&](int index) { display.JobStarted(run.Reports()[std::size_t(index)]); });
    // The live lines come back at once after an ended job's line, not at the next redraw.
    QObject::connect(&run, &BatchRun::JobEnded, &run, [&](int index) {
        display.JobEnded(run.Reports()[std::size_t(index)]);
        display.Redraw(run.Reports(), run.StartedAt());
    });
    if (options.showOutput) {
        QObject::connect(&run, &BatchRun::JobOutput, &run, [&](int index, const QString& line) {
            display.JobOutput(run.Reports()[std::size_t(index)], line);
        });
    }
    QTimer redraw;
    QObject::connect(&redraw, &QTimer::timeout, &run, [&] {
        run.SampleProgress();
        display.Redraw(run.Reports(), run.StartedAt());
    });
    QObject::connect(&run, &BatchRun::Finished, &application, [&] {
        redraw.stop();
        QCoreApplication::exit(0);
    });

    run.Start();
    redraw.start(kRedrawEveryMs);
    application.exec();

    display.Clear();
    const int status = ExitCode(run, watcher.ExitStatus());
    const qint64 elapsedMs = run.StartedAt().msecsTo(QDateTime::currentDateTime());
    std::fputs(SummaryTable::Format(run.Reports()).toLocal8Bit().constData(), stdout);
    PrintLine(stdout, SummaryTable::Totals(run.Reports(), elapsedMs));
    std::fflush(stdout);
    if (!options.jsonFile.isEmpty()) {
        QSaveFile json(options.jsonFile);
        const QByteArray text = JsonReport::Format(run.Reports(), run.StartedAt(), status);
        if (!json.open(QIODevice::WriteOnly) || json.write(text) != text.size() || !json.commit()) {
            PrintLine(stderr,
                      QStringLiteral("korvalin-batch: cannot write %1: %2").arg(options.jsonFile, json.errorString()));
            return status == kExitFinished ? kExitFailed : status;
        }
    }
    return status;
}

}  // namespace

namespace BatchProgram {

int Run(QCoreApplication& application)
{
    // These names locate the window's stored options, which --saved reads.
    QCoreApplication::setApplicationName(QStringLiteral("Korvalin"));
    QCoreApplication::setOrganizationName(QStringLiteral("Veltrano"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("veltrano.example"));
    QCoreApplication::setApplicationVersion(ProgramVersion());
    qRegisterMetaType<MLVWorker>("MLVWorker");
    qRegisterMetaType<std::vector<MLVWorker>>("std::vector<MLVWorker>");

    const BatchOptions options = BatchOptions::Parse(QCoreApplication::arguments());
    for (const QString& path : options.skipped)
        PrintLine(stderr, QStringLiteral("korvalin-batch: skipped (not an MLV file, or listed already): %1").arg(path));
    switch (options.action) {
    case BatchOptions::Action::Refuse:
        PrintLine(stderr, QStringLiteral("korvalin-batch: ") + options.problem);
        PrintLine(stderr, BatchOptions::UsageLine());
        return kExitBadCommandLine;
    case BatchOptions::Action::ShowHelp:
        std::fputs(qPrintable(options.helpText), stdout);
        return kExitFinished;
    case BatchOptions::Action::ShowVersion:
        PrintLine(stdout, QStringLiteral("korvalin-batch ") + ProgramVersion());
        return kExitFinished;
    case BatchOptions::Action::PrintCommands:
        return PrintCommands(options);
    case BatchOptions::Action::Run:
        break;
    }
    return RunJobs(application, options);
}

}  // namespace BatchProgram
