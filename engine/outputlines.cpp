#include "engine/outputlines.h"

namespace {

QString Line(const QByteArray& bytes)
{
    // Whole lines only, so a character split across two reads is never decoded in halves.
    return QString::fromUtf8(bytes.endsWith('\r') ? bytes.chopped(1) : bytes);
}

}  // namespace

OutputLines::OutputLines(QProcess& process, QProcess::ProcessChannel channel) : mProcess(process), mChannel(channel)
{
}

QStringList OutputLines::Take()
{
    mAll += mChannel == QProcess::StandardOutput ? mProcess.readAllStandardOutput() : mProcess.readAllStandardError();
    QStringList lines;
    for (int end; (end = mAll.indexOf('\n', mPassed)) >= 0; mPassed = end + 1)
        lines.append(Line(mAll.mid(mPassed, end - mPassed)));
    return lines;
}

QStringList OutputLines::TakeRest()
{
    if (mPassed >= mAll.size())
        return {};
    const QByteArray rest = mAll.mid(mPassed);
    mPassed = mAll.size();
    return {Line(rest)};
}
