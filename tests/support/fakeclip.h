// Writes a source clip that tells the fake mlv_dump (fakemlvdump) how to behave for that job.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class FakeClip
{
public:
    // The text is written `repeat` times; the two channels are written in alternation.
    FakeClip& printOut(const QByteArray& text, qint64 repeat = 1) { return print("out", text, repeat); }
    FakeClip& printErr(const QByteArray& text, qint64 repeat = 1) { return print("err", text, repeat); }
    FakeClip& exitWith(int code) { return set("exit-code", QByteArray::number(code)); }
    // Ends by a signal after printing.
    FakeClip& crash() { return set("crash", {}); }
    // Waits, after reading and printing, until this file exists (see release()).
    FakeClip& holdUntil(const QString& releaseFile) { return set("hold-until", releaseFile.toUtf8().toHex()); }
    // Records every argument the tool receives, for recordedArguments().
    FakeClip& recordArguments(const QString& file) { return set("record-args", file.toUtf8().toHex()); }
    // Pads the clip with filler bytes up to this size.
    FakeClip& sizeAtLeast(qint64 bytes) { return mSize = bytes, *this; }

    bool write(const QString& path) const;

    // The fake tool's executable.
    static QString toolPath();
    static QStringList recordedArguments(const QString& file);
    // Lets every tool held on this file go on.
    static bool release(const QString& releaseFile);

private:
    FakeClip& set(const QByteArray& key, const QByteArray& value) { return mHeader += key + ' ' + value + '\n', *this; }
    FakeClip& print(const char* key, const QByteArray& text, qint64 repeat)
    {
        return set(key, text.toHex()).set(QByteArray(key) + "-repeat", QByteArray::number(repeat));
    }

    QByteArray mHeader;
    qint64 mSize = 0;
};
