#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/processio.h"
#include "fakeclip.h"

class TestProcessIo : public QObject
{
    Q_OBJECT

private slots:
    // The counters reach what the child read and wrote, and stop there; an ended process gives nothing.
    void childThatReadsAKnownFile()
    {
        const qint64 size = 3 * 1024 * 1024 + 123;
        QVERIFY(!ReadProcessIoCounters(0) && !ReadProcessIoCounters(-1));
        QTemporaryDir dir;
        const QString clip = dir.filePath(QStringLiteral("clip.mlv")), release = dir.filePath(QStringLiteral("release"));
        QVERIFY(FakeClip().printOut(QByteArray(1000, 'w'), 500).holdUntil(release).sizeAtLeast(size).write(clip));
        QProcess process;
        process.start(FakeClip::toolPath(), {clip});
        QVERIFY(process.waitForStarted(30000));
        const qint64 processId = process.processId();
        const auto counted = [&] {
            const auto counters = ReadProcessIoCounters(processId);
            return counters && counters->bytesRead >= quint64(size) && counters->bytesWritten >= 500 * 1000;
        };
        QTRY_VERIFY_WITH_TIMEOUT(counted(), 20000);
        QVERIFY(ReadProcessIoCounters(processId)->bytesRead < quint64(size) + 1024 * 1024);
        QVERIFY(FakeClip::release(release));
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!ReadProcessIoCounters(processId));
    }
};

QTEST_GUILESS_MAIN(TestProcessIo)
#include "tst_processio.moc"
