// Runs a program to its end for the tests that drive mlv2dng or exiftool: exit code and both texts.
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace mlvtest {

struct ProgramRun
{
    int exitCode = -1;  // -1 also when the program crashed or never ended
    QString out, err;
};

inline ProgramRun runProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

// exiftool's numeric values of the tags, in the order asked for; with -f, "-" stands for a tag not written.
inline QStringList exifValues(const QString& file, QStringList tags, const QStringList& options = {})
{
    tags.replaceInStrings(QRegularExpression("^"), "-");
    return runProgram("exiftool", QStringList{"-s3", "-n"} + options + tags << file)
        .out.split('\n', Qt::SkipEmptyParts);
}

}  // namespace mlvtest
