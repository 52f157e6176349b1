#include "engine/mlvworker.h"

#include <filesystem>
#include <system_error>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QProcess>
#include <QStringList>

#include "engine/outputlines.h"

namespace {

// How long a process may take to come up before the job stops waiting for it.
const int kStartTimeoutMs = 30000;

// One line to add to the error text when the process did not end by itself with code 0.
// mlv_dump reports its own failures on standard error and exits 0, so this only adds
// something when a start failed, the tool crashed, or it gave a failure code.
QString EndingNote(const QProcess& process, const QString& program, bool started)
{
    QString name = QFileInfo(program).fileName();
    if (name.isEmpty())
        name = program.isEmpty() ? QStringLiteral("mlv_dump") : program;
    if (!started) {
        const QString reason = program.isEmpty() ? QStringLiteral("no program is named") : process.errorString();
        return QStringLiteral("%1 could not be started: %2\n").arg(name, reason.simplified());
    }
    if (process.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("%1 crashed.\n").arg(name);
    if (process.exitCode() != 0)
        return QStringLiteral("%1 exited with code %2.\n").arg(name, QString::number(process.exitCode()));
    return QString();
}

// Creates the folder with every missing parent. On failure, `reason` gets the system's own words,
// which say far more than the complaint a converter makes about a folder it cannot write into.
bool CreateFolder(const QString& folder, QString& reason)
{
    const QString cleaned = QDir::cleanPath(folder);
#ifdef Q_OS_WIN
    const std::filesystem::path path(QDir::toNativeSeparators(cleaned).toStdWString());
#else
    const std::filesystem::path path(QFile::encodeName(cleaned).toStdString());
#endif
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (!error && std::filesystem::is_directory(path, error))
        return true;
    if (!error)
        error = std::make_error_code(std::errc::not_a_directory);
    reason = QString::fromLocal8Bit(error.message().c_str());
    return false;
}

}  // namespace

MLVWorker::MLVWorker() : MLVWorker(QString(), QString(), QString())
{
}

MLVWorker::MLVWorker(const QString& sourceFile, const QString& outputPath, const QString& commandLine)
    : QObject(nullptr)
    , mSourceFile(sourceFile)
    , mOutputPath(outputPath)
    , mCommandLine(commandLine)
    , mFileSize(QFile(sourceFile).size())
{
}

MLVWorker::MLVWorker(const MLVWorker& other) : QObject(nullptr)
{
    const QMutexLocker locker(&other.mRecordLock);
    mSourceFile = other.mSourceFile;
    mOutputPath = other.mOutputPath;
    mCommandLine = other.mCommandLine;
    mStdOut = other.mStdOut;
    mStdErr = other.mStdErr;
    mStartTime = other.mStartTime;
    mProcessId = other.mProcessId;
    mFileSize = other.mFileSize;
    mDurationMs = other.mDurationMs;
    mExitCode = other.mExitCode;
}

MLVWorker::~MLVWorker() = default;

JobStatus MLVWorker::GetStatus() const
{
    if (!mStdErr.isEmpty())
        return JobStatus::Error;
    if (!mCommandLine.isEmpty())
        return mStdOut.isEmpty() ? JobStatus::Processing : JobStatus::Finished;
    return JobStatus::Ready;
}

void MLVWorker::StartProcessing()
{
    QElapsedTimer clock;
    clock.start();
    QString reason;
    if (!mOutputPath.isEmpty() && !CreateFolder(mOutputPath, reason)) {
        {
            const QMutexLocker locker(&mRecordLock);
            mStartTime = QTime::currentTime();
            mDurationMs = clock.elapsed();
            mStdErr = QStringLiteral("Cannot create the output folder %1: %2\n").arg(mOutputPath, reason);
        }
        emit Finished(this);
        emit FinishedSignal();
        return;
    }

    QProcess process;
    {
        const QMutexLocker locker(&mRecordLock);
        mStartTime = QTime::currentTime();
    }

    // The command line quotes every path, so splitting it gives back the program and its
    // arguments; an empty quoted program would otherwise leave "-o" in its place.
    const QStringList parts = QProcess::splitCommand(mCommandLine);
    const bool programNamed = !parts.isEmpty() && !mCommandLine.startsWith(QLatin1String("\"\" "));
    const QString program = programNamed ? parts.first() : QString();
    if (programNamed)
        process.start(program, parts.mid(1), QIODevice::ReadWrite);
    if (programNamed)
        process.waitForStarted(kStartTimeoutMs);

    {
        const QMutexLocker locker(&mRecordLock);
        mProcessId = process.processId();
    }
    // Both channels are gathered as they come, so that each line can be passed on at once.
    OutputLines out(process, QProcess::StandardOutput);
    OutputLines err(process, QProcess::StandardError);
    const auto passOn = [this](const QStringList& lines) {
        for (const QString& line : lines)
            emit OutputLine(mSourceFile, line);
    };
    if (programNamed && process.state() != QProcess::NotRunning) {
        QEventLoop loop;
        connect(&process, &QProcess::readyReadStandardOutput, &loop, [&] { passOn(out.Take()); });
        connect(&process, &QProcess::readyReadStandardError, &loop, [&] { passOn(err.Take()); });
        connect(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), &loop, &QEventLoop::quit);
        loop.exec();
        // A quit() of this thread ends every loop in it; the converter is still waited for to its end.
        if (process.state() != QProcess::NotRunning)
            process.waitForFinished(-1);
    }
    // Whatever came with the end, and a last line without a line break.
    passOn(out.Take());
    passOn(err.Take());
    passOn(out.TakeRest());
    passOn(err.TakeRest());
    {
        const QMutexLocker locker(&mRecordLock);
        mProcessId = 0;
    }

    const bool started = programNamed && process.error() != QProcess::FailedToStart;
    QString errors;
    QString output;
    if (started) {
        errors = QString::fromUtf8(err.All());
        output = QString::fromUtf8(out.All());
    }
    const QString note = EndingNote(process, program, started);
    if (!note.isEmpty() && !errors.isEmpty() && !errors.endsWith(QLatin1Char('\n')))
        errors += QLatin1Char('\n');
    errors += note;

    {
        // Both texts appear together, so a copy sees the job either running or ended.
        const QMutexLocker locker(&mRecordLock);
        mStdErr = errors;
        mStdOut = output;
        mDurationMs = clock.elapsed();
        mExitCode = started && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    emit Finished(this);
    emit FinishedSignal();
}
