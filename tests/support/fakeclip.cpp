#include "fakeclip.h"

#include <QFile>
#include <QSaveFile>

namespace {

QByteArray Line(const char* key, const QByteArray& value)
{
    return QByteArray(key) + ' ' + value + '\n';
}

}  // namespace

FakeClip& FakeClip::runFor(int milliseconds)
{
    mHeader += Line("run-ms", QByteArray::number(milliseconds));
    return *this;
}

FakeClip& FakeClip::read(qint64 bytes, int overMilliseconds)
{
    mHeader += Line("read-bytes", QByteArray::number(bytes));
    mHeader += Line("read-ms", QByteArray::number(overMilliseconds));
    return *this;
}

FakeClip& FakeClip::printOut(const QByteArray& text, qint64 repeat)
{
    mHeader += Line("out", text.toHex());
    mHeader += Line("out-repeat", QByteArray::number(repeat));
    return *this;
}

FakeClip& FakeClip::printErr(const QByteArray& text, qint64 repeat)
{
    mHeader += Line("err", text.toHex());
    mHeader += Line("err-repeat", QByteArray::number(repeat));
    return *this;
}

FakeClip& FakeClip::exitWith(int code)
{
    mHeader += Line("exit-code", QByteArray::number(code));
    return *this;
}

FakeClip& FakeClip::crash()
{
    mHeader += "crash\n";
    return *this;
}

FakeClip& FakeClip::hang()
{
    mHeader += "hang\n";
    return *this;
}

FakeClip& FakeClip::holdUntil(const QString& releaseFile)
{
    mHeader += Line("hold-until", releaseFile.toUtf8().toHex());
    return *this;
}

FakeClip& FakeClip::writeDngFiles(int count)
{
    mHeader += Line("dng-files", QByteArray::number(count));
    return *this;
}

FakeClip& FakeClip::recordArguments(const QString& file)
{
    mHeader += Line("record-args", file.toUtf8().toHex());
    return *this;
}

FakeClip& FakeClip::sizeAtLeast(qint64 bytes)
{
    mSize = bytes;
    return *this;
}

bool FakeClip::write(const QString& path) const
{
    const QByteArray header = "KORVALIN-FAKE-CLIP 1\n" + mHeader + "end\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(header) != header.size())
        return false;
    const QByteArray filler(64 * 1024, 'M');
    for (qint64 left = mSize - header.size(); left > 0; left -= filler.size()) {
        const qint64 part = qMin<qint64>(left, filler.size());
        if (file.write(filler.constData(), part) != part)
            return false;
    }
    return file.commit();
}

QString FakeClip::toolPath()
{
    return QStringLiteral(FAKE_MLV_DUMP_PATH);
}

QStringList FakeClip::recordedArguments(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QStringList arguments;
    const QList<QByteArray> parts = in.readAll().split('\0');
    // Every argument ends with a NUL, so the last part is the empty rest.
    for (int i = 0; i + 1 < parts.size(); ++i)
        arguments << QString::fromUtf8(parts.at(i));
    return arguments;
}

bool FakeClip::release(const QString& releaseFile)
{
    QFile file(releaseFile);
    return file.open(QIODevice::WriteOnly);
}
