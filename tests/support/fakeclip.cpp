#include "fakeclip.h"

#include <QFile>
#include <QSaveFile>

bool FakeClip::write(const QString& path) const
{
    const QByteArray header = "KORVALIN-FAKE-CLIP 1\n" + mHeader + "end\n";
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(header) == header.size()
           && file.write(QByteArray(int(qMax<qint64>(0, mSize - header.size())), 'M')) >= 0 && file.commit();
}

QString FakeClip::toolPath()
{
    return QStringLiteral(FAKE_MLV_DUMP_PATH);
}

QStringList FakeClip::recordedArguments(const QString& file)
{
    QFile in(file);
    const QByteArray data = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    // Every argument ends with a NUL, so the last part is the empty rest.
    QStringList arguments = QString::fromUtf8(data.constData(), data.size()).split(QChar(0));
    arguments.removeLast();
    return arguments;
}

bool FakeClip::release(const QString& releaseFile)
{
    return QFile(releaseFile).open(QIODevice::WriteOnly);
}
